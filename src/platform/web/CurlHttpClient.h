#pragma once

#include <QtGlobal>
#include <chrono>
#include <memory>

#include "platform/web/HttpClient.h"

namespace bw {

class HostResolver;

// HttpClient on libcurl's multi interface, driven by the Qt event loop of the
// thread it lives in: socket notifiers and one single-shot timer, no thread of
// its own, nothing that ticks while it waits. One easy handle serves every
// query, so the adapter's connection stays open from one query to the next.
//
// An ASCII URL goes out byte for byte, escapes in the case they are written;
// curl escapes bytes above 0x7F itself and refuses a URL with blanks.
//
// Any HTTP status is an answer. No answer is: refused, reset, nothing within
// the query time-out, a body over kMaxBodyBytes, any other transport error.
// A query whose kept-alive connection dies before any byte of the answer
// goes out once more on a fresh connection, within the same time-out. A body
// in a content encoding that curl decodes comes decoded; one that does not
// decode is no answer.
//
// A host name is looked up by a HostResolver, never by curl: curl's own
// lookup is waited for, blocking, when a query that is still looking up ends
// or is abandoned. The address found goes to curl beside the URL, so the
// request line and the Host header stay as the URL spells them; a name not
// looked up within the query time-out is no answer. An address in the URL is
// used as it is.
class CurlHttpClient : public HttpClient {
  Q_OBJECT

 public:
  // The whole query, connect included. Long enough for a 750 ms conversion
  // on a busy adapter, short enough that a dead one does not stall the loop.
  static constexpr std::chrono::milliseconds kQueryTimeout{5000};
  static constexpr std::chrono::milliseconds kConnectTimeout{3000};
  // A device page is a few hundred bytes; a broken adapter streaming without
  // end must not eat the memory of a logger that runs for days.
  static constexpr qsizetype kMaxBodyBytes = 1024 * 1024;

  // On the resolver the process shares.
  explicit CurlHttpClient(QObject* parent = nullptr);
  explicit CurlHttpClient(std::shared_ptr<HostResolver> resolver, QObject* parent = nullptr);
  ~CurlHttpClient() override;

  void get(const QByteArray& url) override;
  void abort() override;
  bool busy() const override;

  // Time-outs for the following queries (a running one keeps its own). The
  // connect time-out is capped at the query time-out.
  void setTimeouts(std::chrono::milliseconds query,
                   std::chrono::milliseconds connect = kConnectTimeout);

 private:
  class Private;
  std::unique_ptr<Private> d_;
};

}  // namespace bw
