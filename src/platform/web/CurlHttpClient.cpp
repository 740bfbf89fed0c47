#include "platform/web/CurlHttpClient.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <optional>

#include <curl/curl.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include "platform/web/HostResolver.h"

namespace bw {

namespace {

// Fds seen so far keep their (disabled) notifiers, so a kept-alive connection
// does not cost two new notifiers per query; past this many, the idle ones go.
constexpr std::size_t kCachedSockets = 8;

void initCurlOnce() {
  // Must run before the first handle; the lock inside curl makes later calls
  // harmless, the static makes them free.
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  Q_UNUSED(result);
}

long toCurlMs(std::chrono::milliseconds ms) {
  return static_cast<long>(
      std::clamp<std::chrono::milliseconds::rep>(ms.count(), 1, std::numeric_limits<long>::max()));
}

// A host name to look up before curl may have the URL, with the port curl
// will connect to.
struct Target {
  QByteArray host;
  long port = 0;
};

bool isAddress(const char* host) {
  if (host[0] == '[') return true;  // curl takes only an IPv6 address in brackets
  in_addr four{};
  return ::inet_pton(AF_INET, host, &four) == 1;
}

// Nothing when there is no name to look up: an address, or a URL that curl
// refuses before it would look anything up.
std::optional<Target> nameIn(const QByteArray& url) {
  // The flags curl itself parses a URL with, so the host is the one it would look up.
  constexpr unsigned int kAsCurlParses =
      CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS;
  std::optional<Target> target;
  CURLU* parsed = curl_url();
  char* scheme = nullptr;
  char* host = nullptr;
  char* port = nullptr;
  if (parsed && curl_url_set(parsed, CURLUPART_URL, url.constData(), kAsCurlParses) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      qstricmp(scheme, "http") == 0 &&
      curl_url_get(parsed, CURLUPART_HOST, &host, CURLU_PUNYCODE) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK &&
      !isAddress(host))
    target = Target{QByteArray(host), std::atol(port)};
  curl_free(scheme);
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(parsed);
  return target;
}

// "name:80:192.0.2.7,[2001:db8::7]" for CURLOPT_RESOLVE.
QByteArray resolveEntry(const Target& target, const QList<QByteArray>& addresses) {
  QByteArray entry = target.host + ':' + QByteArray::number(target.port) + ':';
  for (qsizetype i = 0; i < addresses.size(); ++i) {
    if (i > 0) entry += ',';
    entry += addresses[i].contains(':') ? '[' + addresses[i] + ']' : addresses[i];
  }
  return entry;
}

}  // namespace

class CurlHttpClient::Private {
 public:
  Private(CurlHttpClient* q, std::shared_ptr<HostResolver> resolver);
  ~Private();

  void start(const QByteArray& url);
  void cancel();
  void applyTimeouts();
  void lookUp(const Target& target);
  void onAddresses(const HostAddresses& found);
  void transfer();
  std::chrono::milliseconds timeLeft() const;

  static int onSocketChange(CURL*, curl_socket_t fd, int what, void* userp, void*);
  static int onTimerChange(CURLM*, long timeoutMs, void* userp);
  static size_t onBody(char* data, size_t size, size_t count, void* userp);

  void watch(curl_socket_t fd, int what);
  void drive(curl_socket_t fd, int events);
  void acknowledgeAtOnce();
  void finishIfDone();
  bool retryOnFreshConnection(CURLcode result);
  void finish(CURLcode result);
  void failLater(const QString& reason);
  QString describe(CURLcode result) const;

  struct Watch {
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
  };

  CurlHttpClient* q;
  std::shared_ptr<HostResolver> resolver;
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  curl_slist* resolved = nullptr;  // the address for the name, for curl
  QTimer timer;
  // While the running query waits for the address of its host.
  std::unique_ptr<HostLookup> lookup;
  Target lookedUp;
  QTimer deadline;
  std::map<curl_socket_t, Watch> sockets;
  QByteArray body;
  char errorText[CURL_ERROR_SIZE] = {};
  bool overCap = false;
  bool busy = false;
  bool closing = false;
  quint64 generation = 0;  // tells a stale deferred failure from the current query
  std::chrono::milliseconds queryTimeout = kQueryTimeout;
  std::chrono::milliseconds connectTimeout = kConnectTimeout;
  std::chrono::milliseconds appliedTimeout = kQueryTimeout;  // the running query's
  std::chrono::milliseconds appliedConnectTimeout = kConnectTimeout;
  std::chrono::steady_clock::time_point started;  // of the running query
  bool retried = false;                           // the running query went out again
};

CurlHttpClient::Private::Private(CurlHttpClient* owner, std::shared_ptr<HostResolver> names)
    : q(owner), resolver(std::move(names)) {
  initCurlOnce();
  multi = curl_multi_init();
  easy = curl_easy_init();

  curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &Private::onSocketChange);
  curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &Private::onTimerChange);
  curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
  curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 2L);

  // Set once: every query after this only changes the URL.
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);  // keep the path's dot segments too
  curl_easy_setopt(easy, CURLOPT_PROXY, "");       // the adapter sits on the local network
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Brinewatch");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_FAILONERROR, 0L);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Private::onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
  // Should curl ever look a name up itself, ending the query does not wait for it.
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
  // A body in any content encoding curl was built with (gzip, deflate, ...)
  // is decoded, as a browser does. The request still offers none: an
  // "Accept-Encoding:" without a value keeps curl from sending the header,
  // so the adapter gets the bytes it always got.
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  headers = curl_slist_append(headers, "Accept-Encoding:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  applyTimeouts();

  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, q, [this] { drive(CURL_SOCKET_TIMEOUT, 0); });
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);  // a coarse one may run 5 % late
  QObject::connect(&deadline, &QTimer::timeout, q, [this] {
    lookup.reset();  // its thread runs on for nobody
    failLater(QStringLiteral("no answer within %1 ms (could not resolve %2 in time)")
                  .arg(appliedTimeout.count())
                  .arg(QString::fromLatin1(lookedUp.host)));
  });
}

CurlHttpClient::Private::~Private() {
  closing = true;
  timer.stop();
  deadline.stop();
  lookup.reset();
  if (busy) curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  curl_slist_free_all(headers);
  curl_slist_free_all(resolved);
  for (auto& [fd, w] : sockets) {
    delete w.read;
    delete w.write;
  }
}

void CurlHttpClient::Private::applyTimeouts() {
  appliedTimeout = queryTimeout;
  appliedConnectTimeout = std::min(connectTimeout, queryTimeout);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, toCurlMs(appliedTimeout));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, toCurlMs(appliedConnectTimeout));
}

std::chrono::milliseconds CurlHttpClient::Private::timeLeft() const {
  return appliedTimeout - std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started);
}

void CurlHttpClient::Private::start(const QByteArray& url) {
  cancel();
  // Also undoes the shorter ones of a query that waited for an address or went out again.
  applyTimeouts();
  if (retried) curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 0L);
  retried = false;
  started = std::chrono::steady_clock::now();
  body.clear();
  overCap = false;
  errorText[0] = '\0';
  busy = true;
  ++generation;
  // curl copies the text; it parses it but keeps the spelling of escapes.
  if (curl_easy_setopt(easy, CURLOPT_URL, url.constData()) != CURLE_OK) {
    failLater(QStringLiteral("unusable URL"));
    return;
  }
  if (const std::optional<Target> target = nameIn(url)) {
    lookUp(*target);
    return;
  }
  curl_easy_setopt(easy, CURLOPT_RESOLVE, nullptr);
  transfer();
}

void CurlHttpClient::Private::transfer() {
  // Adding only arms the timer; the transfer starts from the event loop, so
  // `finished` cannot come from inside get().
  const CURLMcode added = curl_multi_add_handle(multi, easy);
  if (added != CURLM_OK) failLater(QString::fromUtf8(curl_multi_strerror(added)));
}

void CurlHttpClient::Private::lookUp(const Target& target) {
  lookedUp = target;
  lookup = resolver->lookUp(target.host);
  // Only the lookup of the running query counts, and only its first word.
  QObject::connect(lookup.get(), &HostLookup::finished, q,
                   [this, asked = lookup.get()](const HostAddresses& found) {
                     if (lookup.get() == asked) onAddresses(found);
                   });
  deadline.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(timeLeft().count(), 0)));
}

void CurlHttpClient::Private::onAddresses(const HostAddresses& found) {
  lookup.release()->deleteLater();  // its signal is on the stack
  deadline.stop();
  const QString host = QString::fromLatin1(lookedUp.host);
  if (found.addresses.isEmpty()) {
    const QString why = found.error.isEmpty() ? QStringLiteral("no address") : found.error;
    failLater(QStringLiteral("could not resolve %1 (%2)").arg(host, why));
    return;
  }
  const std::chrono::milliseconds left = timeLeft();
  if (left.count() <= 0) {
    failLater(QStringLiteral("no answer within %1 ms (could not resolve %2 in time)")
                  .arg(appliedTimeout.count())
                  .arg(host));
    return;
  }
  // curl keeps the URL's host for the request and the connection cache,
  // and connects to these addresses instead of looking the name up.
  curl_slist* entry = curl_slist_append(nullptr, resolveEntry(lookedUp, found.addresses));
  if (!entry) {
    failLater(QStringLiteral("out of memory"));
    return;
  }
  curl_easy_setopt(easy, CURLOPT_RESOLVE, entry);
  curl_slist_free_all(resolved);
  resolved = entry;
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, toCurlMs(left));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   toCurlMs(std::min(appliedConnectTimeout, left)));
  transfer();
}

void CurlHttpClient::Private::cancel() {
  if (!busy) return;
  busy = false;
  ++generation;
  deadline.stop();
  lookup.reset();
  curl_multi_remove_handle(multi, easy);
}

void CurlHttpClient::Private::failLater(const QString& reason) {
  const quint64 query = generation;
  QTimer::singleShot(0, q, [this, query, reason] {
    if (!busy || query != generation) return;
    busy = false;
    HttpAnswer answer;
    answer.error = reason;
    emit q->finished(answer);
  });
}

int CurlHttpClient::Private::onSocketChange(CURL*, curl_socket_t fd, int what, void* userp, void*) {
  static_cast<Private*>(userp)->watch(fd, what);
  return 0;
}

int CurlHttpClient::Private::onTimerChange(CURLM*, long timeoutMs, void* userp) {
  auto* d = static_cast<Private*>(userp);
  if (d->closing) return 0;
  if (timeoutMs < 0) {
    d->timer.stop();
  } else {
    // curl must not be re-entered from here, so even "now" goes through the loop.
    d->timer.start(static_cast<int>(std::min<long>(timeoutMs, std::numeric_limits<int>::max())));
  }
  return 0;
}

size_t CurlHttpClient::Private::onBody(char* data, size_t size, size_t count, void* userp) {
  auto* d = static_cast<Private*>(userp);
  const size_t bytes = size * count;
  if (bytes > static_cast<size_t>(kMaxBodyBytes - d->body.size())) {
    d->overCap = true;
    return 0;  // anything but `bytes` ends the transfer with an error
  }
  d->body.append(data, static_cast<qsizetype>(bytes));
  return bytes;
}

void CurlHttpClient::Private::watch(curl_socket_t fd, int what) {
  if (closing) return;
  auto it = sockets.find(fd);
  if (what == CURL_POLL_REMOVE) {
    // curl calls this before it closes the fd; a notifier left enabled on a
    // closed fd would fire without end.
    if (it != sockets.end()) {
      it->second.read->setEnabled(false);
      it->second.write->setEnabled(false);
    }
    return;
  }
  if (it == sockets.end()) {
    if (sockets.size() >= kCachedSockets) {
      for (auto idle = sockets.begin(); idle != sockets.end();) {
        if (idle->second.read->isEnabled() || idle->second.write->isEnabled()) {
          ++idle;
          continue;
        }
        // Possibly the notifier whose signal is on the stack right now.
        idle->second.read->deleteLater();
        idle->second.write->deleteLater();
        idle = sockets.erase(idle);
      }
    }
    Watch w;
    w.read = new QSocketNotifier(QSocketNotifier::Read, q);
    w.write = new QSocketNotifier(QSocketNotifier::Write, q);
    w.read->setEnabled(false);
    w.write->setEnabled(false);
    w.read->setSocket(fd);
    w.write->setSocket(fd);
    QObject::connect(w.read, &QSocketNotifier::activated, w.read,
                     [this, fd] { drive(fd, CURL_CSELECT_IN); });
    QObject::connect(w.write, &QSocketNotifier::activated, w.write,
                     [this, fd] { drive(fd, CURL_CSELECT_OUT); });
    it = sockets.emplace(fd, w).first;
  }
  it->second.read->setEnabled((what & CURL_POLL_IN) != 0);
  it->second.write->setEnabled((what & CURL_POLL_OUT) != 0);
}

void CurlHttpClient::Private::drive(curl_socket_t fd, int events) {
  if (!busy) return;
  int running = 0;
  curl_multi_socket_action(multi, fd, events, &running);
  acknowledgeAtOnce();
  finishIfDone();
}

void CurlHttpClient::Private::acknowledgeAtOnce() {
#if defined(Q_OS_LINUX) && defined(TCP_QUICKACK)
  // Many small servers write the headers and the body apart, with Nagle's
  // algorithm on: the body then waits until the headers are acknowledged,
  // and on a kept-alive connection the kernel delays that acknowledgement
  // by up to 40 ms per query. Quick acknowledgement does not last, so it is
  // asked for again at every step of the transfer: the request has just
  // gone out, or part of the answer has just come in. The request itself is
  // not touched.
  // Only sockets that wait for an answer: the others may be closed already.
  const int on = 1;
  for (const auto& [fd, w] : sockets)
    if (w.read->isEnabled()) ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

void CurlHttpClient::Private::finishIfDone() {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
      finish(message->data.result);  // may delete *this; return at once
      return;
    }
  }
}

bool CurlHttpClient::Private::retryOnFreshConnection(CURLcode result) {
  // A kept-alive connection that the adapter closed without saying so dies
  // under the next request, before any byte of the answer. curl sends such a
  // request again itself, but counts these resends over the whole life of
  // the handle and gives up on every sixth. As a browser does, the GET then
  // goes out once more on a fresh connection, within what is left of the
  // query time-out; a failure on a connection made for this query stays no
  // answer.
  if (retried || overCap) return false;
  if (result != CURLE_SEND_ERROR && result != CURLE_RECV_ERROR && result != CURLE_GOT_NOTHING)
    return false;
  long connects = 0;
  long headerBytes = 0;
  curl_off_t bodyBytes = 0;
  curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
  curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headerBytes);
  curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &bodyBytes);
  if (connects != 0 || headerBytes != 0 || bodyBytes != 0 || !body.isEmpty()) return false;
  const std::chrono::milliseconds left = timeLeft();
  if (left.count() <= 0) return false;

  curl_multi_remove_handle(multi, easy);
  retried = true;
  errorText[0] = '\0';
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, toCurlMs(left));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   toCurlMs(std::min(appliedConnectTimeout, left)));
  const CURLMcode added = curl_multi_add_handle(multi, easy);
  if (added != CURLM_OK) failLater(QString::fromUtf8(curl_multi_strerror(added)));
  return true;
}

void CurlHttpClient::Private::finish(CURLcode result) {
  if (retryOnFreshConnection(result)) return;
  HttpAnswer answer;
  if (result == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    answer.answered = true;
    answer.status = static_cast<int>(status);
    answer.body = std::move(body);
  } else {
    answer.error = describe(result);
  }
  body = QByteArray();
  // Out of the multi handle before anyone hears of it, so that a slot may
  // start the next query at once.
  busy = false;
  ++generation;
  curl_multi_remove_handle(multi, easy);
  emit q->finished(answer);
}

QString CurlHttpClient::Private::describe(CURLcode result) const {
  if (overCap || result == CURLE_FILESIZE_EXCEEDED)
    return QStringLiteral("answer larger than %1 bytes").arg(kMaxBodyBytes);
  const QString detail =
      QString::fromUtf8(errorText[0] != '\0' ? errorText : curl_easy_strerror(result));
  if (result == CURLE_OPERATION_TIMEDOUT)
    return QStringLiteral("no answer within %1 ms (%2)").arg(appliedTimeout.count()).arg(detail);
  return detail;
}

CurlHttpClient::CurlHttpClient(QObject* parent)
    : CurlHttpClient(ThreadedHostResolver::shared(), parent) {}

CurlHttpClient::CurlHttpClient(std::shared_ptr<HostResolver> resolver, QObject* parent)
    : HttpClient(parent), d_(std::make_unique<Private>(this, std::move(resolver))) {}

CurlHttpClient::~CurlHttpClient() = default;

void CurlHttpClient::get(const QByteArray& url) {
  d_->start(url);
}

void CurlHttpClient::abort() {
  d_->cancel();
}

bool CurlHttpClient::busy() const {
  return d_->busy;
}

void CurlHttpClient::setTimeouts(std::chrono::milliseconds query,
                                 std::chrono::milliseconds connect) {
  // Applied as the next query starts.
  d_->queryTimeout = query;
  d_->connectTimeout = connect;
}

}  // namespace bw
