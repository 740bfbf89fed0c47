#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace bw::sim {

class SimServer;

// One client connection: reads HTTP/1.1 requests one after the other,
// answers each (after the conversion time for sensor queries) and keeps the
// connection open unless the client asks to close it.
class SimConnection : public QObject {
  Q_OBJECT

 public:
  SimConnection(qintptr socketDescriptor, SimServer* server);

 private:
  void readInput();
  void processInput();
  // Handles the request at the start of input_, `headerEnd` past its blank
  // line; false while its body is still incomplete.
  bool handleRequest(qsizetype headerEnd, qsizetype terminatorLength);
  void answer(int status, const QByteArray& body);
  void answerLater(int status, QByteArray body, std::chrono::milliseconds delay);
  // After the conversion time, or at once when there is none.
  void answerAfter(int status, QByteArray body, std::chrono::milliseconds conversionTime);
  void sendPending();
  void resetConnection();

  SimServer* server_;
  QTcpSocket* socket_;
  QTimer conversionTimer_;
  QByteArray input_;
  QByteArray output_;
  int pendingStatus_ = 0;
  QByteArray pendingBody_;
  bool waiting_ = false;    // an answer is due from the timer
  bool keepAlive_ = true;   // of the request being answered
  bool mute_ = false;       // a no-answer fault: read, never reply
  bool twoWrites_ = false;  // headers and body in separate writes
  bool finished_ = false;   // closing; ignore further input
};

}  // namespace bw::sim
