#pragma once

#include <QObject>

class QSocketNotifier;

namespace bw {

// Turns the system's requests to end the program into a signal delivered by
// the event loop, so the program can end as if asked to. Every live notifier
// reports each request; with the last one gone the earlier handling is back.
// GUI thread only.
//
// On Linux: SIGTERM and SIGINT, reported with their numbers; while any
// notifier lives they no longer kill the process.
//
// On Windows: the console's control events. Ctrl+C is reported as SIGINT,
// Ctrl+Break as SIGBREAK, closing the console window, logoff and shutdown as
// SIGTERM. For the last three the system ends the process once the handler
// returns, so the handler waits (a few seconds at most) until the last
// notifier is gone, that is until the end sequence has run. A process with
// windows gets no logoff or shutdown control event: the end of the session
// reaches it as window messages, which Qt turns into a save request
// (QGuiApplication::commitDataRequest) and then a quit; listen to the quit
// as well.
class TerminationNotifier : public QObject {
  Q_OBJECT

 public:
  explicit TerminationNotifier(QObject* parent = nullptr);
  ~TerminationNotifier() override;

 signals:
  void terminationRequested(int signalNumber);

 private:
  void listen();
  void readPending();

  QSocketNotifier* reader_ = nullptr;  // Linux: only the oldest live notifier reads the pipe
};

}  // namespace bw
