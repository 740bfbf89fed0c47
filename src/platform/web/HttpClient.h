#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace bw {

// What came back for one GET. `answered` is false when no answer arrived at all
// (refused, reset, timed out, body over the size cap); the status is then 0.
struct HttpAnswer {
  bool answered = false;
  int status = 0;
  QByteArray body;
  QString error;  // why there is no answer, for diagnostics only
};

// One GET at a time, sent exactly as the caller spells the URL: no
// normalisation of percent escapes, so "%7b" reaches the adapter as "%7b".
class HttpClient : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~HttpClient() override = default;

  // Starts a GET; any request still running is abandoned first. `finished`
  // is emitted exactly once per call, never from inside get() itself.
  virtual void get(const QByteArray& url) = 0;
  // Abandons the running request, if any, without emitting `finished`.
  virtual void abort() = 0;
  virtual bool busy() const = 0;

 signals:
  void finished(const bw::HttpAnswer& answer);
};

}  // namespace bw
