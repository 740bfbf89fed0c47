#include "metrics/MetricsServer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#if __has_include(<microhttpd.h>) && !defined(_WIN32)
#define BRINEWATCH_METRICS_HTTP 1
#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <crypt.h>
#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <sys/stat.h>
#include <cerrno>

#include <QCryptographicHash>
#include <QFile>
#endif

namespace bw {

struct MetricsServer::Impl {
  explicit Impl(const Limits& given) : limits(given) {}

  Limits limits;

  // The text to serve, handed over by publish().
  std::mutex textMutex;
  QByteArray text;
  std::uint64_t version = 0;

  quint16 port = 0;

#ifdef BRINEWATCH_METRICS_HTTP
  using Clock = std::chrono::steady_clock;

  // One certificate chain and its key, as read at one time.
  struct Credentials {
    std::vector<gnutls_pcert_st> chain;
    gnutls_privkey_t key = nullptr;
    std::uint64_t generation = 0;
    Credentials() = default;
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;
    ~Credentials() {
      for (gnutls_pcert_st& c : chain) gnutls_pcert_deinit(&c);
      if (key) gnutls_privkey_deinit(key);
    }
  };
  // What a file was when it was read, to see that it changed.
  struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const FileStamp& o) const {
      return device == o.device && inode == o.inode && size == o.size &&
             modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
  };

  // One per open connection, for the deadlines the library has none of.
  struct Connection {
    int fd = -1;
    std::uint64_t credentials = 0;  // the generation current when it came
    Clock::time_point deadline;
    Clock::time_point waitingSince;  // for its request: since its start or its last answer
    std::string address;             // the client's, as bytes
    bool answering = false;
    bool shut = false;
  };

  ~Impl() {
    stop();
  }

  std::optional<QString> start(const ListenAddress& where);
  void stop();

  // The server thread's own: the answers made once, and the one for the
  // text last published, shared by every connection that sends it.
  MHD_Response* metrics = nullptr;
  std::uint64_t metricsVersion = ~std::uint64_t{0};
  MHD_Response* notFound = nullptr;
  MHD_Response* notAllowed = nullptr;
  MHD_Response* bodyRefused = nullptr;
  MHD_Response* headersTooLarge = nullptr;
  MHD_Response* lineTooLong = nullptr;

  MHD_Response* unauthorized = nullptr;
  MHD_Response* forbidden = nullptr;

  MHD_Daemon* daemon = nullptr;
  int listener = -1;

  // TLS and users, as the web configuration says. The credentials are the
  // server thread's own; a retired set is freed once no connection that
  // came while it was current is left, as its handshake may still use it.
  std::optional<WebConfig> web;
  std::unique_ptr<Credentials> credentials;
  std::vector<std::unique_ptr<Credentials>> retired;
  std::uint64_t generation = 0;
  FileStamp certStamp, keyStamp;
  Clock::time_point lastLook;
  QByteArray clientCa;
  // The users whose password was last found good, by a digest of both,
  // so that a scrape every few seconds does not run bcrypt each time.
  std::unordered_set<std::string> goodCredentials;

  std::optional<QString> loadCredentials();
  void refreshCredentials();
  void freeRetired();
  static int certificateFor(gnutls_session_t, const gnutls_datum_t*, int,
                            const gnutls_pk_algorithm_t*, int, gnutls_pcert_st** chain,
                            unsigned int* length, gnutls_privkey_t* key);
  bool authorized(MHD_Connection* connection);
  bool clientCertificateAccepted(MHD_Connection* connection);

  // Connections and their deadlines, kept by the reaper thread, which shuts
  // down a connection past its deadline; the server thread then closes it.
  std::mutex connectionsMutex;
  std::condition_variable connectionsChanged;
  std::unordered_set<Connection*> connections;
  bool stopping = false;
  std::thread reaper;

  void setPhase(MHD_Connection* connection, bool answering);
  bool admit();
  void reap();
  MHD_Result answer(MHD_Connection* connection, const char* url, const char* method,
                    const char* version, void** request);
  MHD_Response* currentMetrics();
#endif
};

#ifdef BRINEWATCH_METRICS_HTTP

namespace {

// The server whose thread this is: the library's certificate callback has
// no argument of its own, and each server runs on one thread of its own.
thread_local MetricsServer::Impl* serving = nullptr;

constexpr qint64 kMostPemBytes = 1 << 20;

std::optional<QByteArray> readPem(const QString& path, QString& why) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    why = QStringLiteral("%1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  QByteArray bytes = file.read(kMostPemBytes + 1);
  if (bytes.size() > kMostPemBytes) {
    why = QStringLiteral("%1: larger than %2 bytes").arg(path).arg(kMostPemBytes);
    return std::nullopt;
  }
  return bytes;
}

std::optional<MetricsServer::Impl::FileStamp> stampOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
  return MetricsServer::Impl::FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

bool sameBytes(const std::string& a, const char* b) {
  // Time alike for every wrong hash.
  const std::size_t n = std::strlen(b);
  unsigned char differ = a.size() != n;
  for (std::size_t i = 0; i < std::min(a.size(), n); ++i)
    differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  return differ == 0;
}

MHD_Response* fixedAnswer(const char* body,
                          std::initializer_list<std::pair<const char*, const char*>> headers) {
  MHD_Response* response = MHD_create_response_from_buffer(
      std::strlen(body), const_cast<char*>(body), MHD_RESPMEM_PERSISTENT);
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
  for (const auto& [name, value] : headers) MHD_add_response_header(response, name, value);
  return response;
}

struct RequestBytes {
  std::size_t total = 0;
};

MHD_Result countHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  // "Name: value" and its CR LF.
  static_cast<RequestBytes*>(cls)->total += std::strlen(key) + 4 + (value ? std::strlen(value) : 0);
  return MHD_YES;
}

MHD_Result countArgument(void* cls, MHD_ValueKind, const char* key, const char* value) {
  // "name=value" and its separator.
  static_cast<RequestBytes*>(cls)->total += std::strlen(key) + 2 + (value ? std::strlen(value) : 0);
  return MHD_YES;
}

}  // namespace

std::optional<QString> MetricsServer::Impl::loadCredentials() {
  QString why;
  const auto stampedCert = stampOf(web->certFile);
  const auto stampedKey = stampOf(web->keyFile);
  const auto cert = readPem(web->certFile, why);
  if (!cert) return why;
  const auto key = readPem(web->keyFile, why);
  if (!key) return why;
  auto loaded = std::make_unique<Credentials>();
  gnutls_pcert_st chain[16];
  unsigned int count = 16;
  const gnutls_datum_t certData{reinterpret_cast<unsigned char*>(const_cast<char*>(cert->data())),
                                static_cast<unsigned int>(cert->size())};
  if (const int e =
          gnutls_pcert_list_import_x509_raw(chain, &count, &certData, GNUTLS_X509_FMT_PEM, 0);
      e < 0 || count == 0)
    return QStringLiteral("%1: not a PEM certificate (%2)")
        .arg(web->certFile, QString::fromLatin1(gnutls_strerror(e)));
  loaded->chain.assign(chain, chain + count);
  const gnutls_datum_t keyData{reinterpret_cast<unsigned char*>(const_cast<char*>(key->data())),
                               static_cast<unsigned int>(key->size())};
  gnutls_privkey_init(&loaded->key);
  if (const int e =
          gnutls_privkey_import_x509_raw(loaded->key, &keyData, GNUTLS_X509_FMT_PEM, nullptr, 0);
      e < 0)
    return QStringLiteral("%1: not a PEM private key without a passphrase (%2)")
        .arg(web->keyFile, QString::fromLatin1(gnutls_strerror(e)));
  // A key that is not the certificate's would fail every handshake.
  unsigned char certId[64], keyId[64];
  std::size_t certIdSize = sizeof certId, keyIdSize = sizeof keyId;
  gnutls_pubkey_t fromKey = nullptr;
  gnutls_pubkey_init(&fromKey);
  const bool matches =
      gnutls_pubkey_import_privkey(fromKey, loaded->key, 0, 0) == 0 &&
      gnutls_pubkey_get_key_id(fromKey, GNUTLS_KEYID_USE_SHA256, keyId, &keyIdSize) == 0 &&
      gnutls_pubkey_get_key_id(loaded->chain.front().pubkey, GNUTLS_KEYID_USE_SHA256, certId,
                               &certIdSize) == 0 &&
      certIdSize == keyIdSize && std::memcmp(certId, keyId, keyIdSize) == 0;
  gnutls_pubkey_deinit(fromKey);
  if (!matches)
    return QStringLiteral("%1 is not the key of the certificate %2")
        .arg(web->keyFile, web->certFile);
  loaded->generation = ++generation;
  if (credentials) retired.push_back(std::move(credentials));
  credentials = std::move(loaded);
  certStamp = stampedCert.value_or(FileStamp{});
  keyStamp = stampedKey.value_or(FileStamp{});
  return std::nullopt;
}

void MetricsServer::Impl::refreshCredentials() {
  const auto now = Clock::now();
  if (now - lastLook < std::chrono::seconds(1)) return;
  lastLook = now;
  freeRetired();
  const auto cert = stampOf(web->certFile);
  const auto key = stampOf(web->keyFile);
  if (!cert || !key || (*cert == certStamp && *key == keyStamp)) return;
  // A pair half written, or a key not yet the certificate's: the set in use
  // stays, and the files are looked at again a second later.
  loadCredentials();
}

void MetricsServer::Impl::freeRetired() {
  std::uint64_t oldest = generation;
  {
    std::lock_guard lock(connectionsMutex);
    for (const Connection* c : connections) oldest = std::min(oldest, c->credentials);
  }
  retired.erase(std::remove_if(retired.begin(), retired.end(),
                               [oldest](const std::unique_ptr<Credentials>& r) {
                                 return r->generation < oldest;
                               }),
                retired.end());
}

int MetricsServer::Impl::certificateFor(gnutls_session_t, const gnutls_datum_t*, int,
                                        const gnutls_pk_algorithm_t*, int, gnutls_pcert_st** chain,
                                        unsigned int* length, gnutls_privkey_t* key) {
  Impl* self = serving;
  if (!self || !self->web) return -1;
  self->refreshCredentials();
  if (!self->credentials) return -1;
  *chain = self->credentials->chain.data();
  *length = static_cast<unsigned int>(self->credentials->chain.size());
  *key = self->credentials->key;
  return 0;
}

bool MetricsServer::Impl::authorized(MHD_Connection* connection) {
  if (!web || web->users.empty()) return true;
  char* password = nullptr;
  char* user = MHD_basic_auth_get_username_password(connection, &password);
  bool good = false;
  if (user && password) {
    const std::string name(user);
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(user) + '\0' + QByteArray(password), QCryptographicHash::Sha256);
    const std::string remembered(digest.constData(), static_cast<std::size_t>(digest.size()));
    if (goodCredentials.count(remembered)) {
      good = true;
    } else {
      const auto found = std::find_if(web->users.begin(), web->users.end(),
                                      [&](const auto& u) { return u.first == name; });
      // An unknown user costs a bcrypt as a known one does, so the time
      // of the answer does not tell which names exist.
      static const std::string unknown =
          "$2y$10$zqR6QvW4yJ6bJ3pW3Fv6Ne3yhXw1qkFq5tT2N8i0iV6oQeB2mC7lG";
      const std::string& hash = found != web->users.end() ? found->second : unknown;
      crypt_data data{};
      const char* made = crypt_r(password, hash.c_str(), &data);
      good = found != web->users.end() && made && made[0] != '*' && sameBytes(hash, made);
      if (good) {
        if (goodCredentials.size() >= 64) goodCredentials.clear();
        goodCredentials.insert(remembered);
      }
    }
  }
  if (user) MHD_free(user);
  if (password) MHD_free(password);
  return good;
}

bool MetricsServer::Impl::clientCertificateAccepted(MHD_Connection* connection) {
  if (!web || web->clientAuth == WebConfig::ClientAuth::None) return true;
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
  if (!info || !info->tls_session) return false;
  auto session = static_cast<gnutls_session_t>(info->tls_session);
  unsigned int count = 0;
  if (!gnutls_certificate_get_peers(session, &count) || count == 0)
    return web->clientAuth == WebConfig::ClientAuth::VerifyIfGiven;
  unsigned int status = 0;
  return gnutls_certificate_verify_peers2(session, &status) == GNUTLS_E_SUCCESS && status == 0;
}

void MetricsServer::Impl::setPhase(MHD_Connection* connection, bool answering) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  if (!info || !info->socket_context) return;
  auto* c = static_cast<Connection*>(info->socket_context);
  const auto now = Clock::now();
  std::lock_guard lock(connectionsMutex);
  c->answering = answering;
  c->deadline = now + (answering ? limits.answerTime : limits.requestTime);
  if (!answering) c->waitingSince = now;
}

bool MetricsServer::Impl::admit() {
  std::lock_guard lock(connectionsMutex);
  std::vector<Connection*> open;
  for (Connection* c : connections)
    if (!c->shut) open.push_back(c);
  if (open.size() < static_cast<std::size_t>(limits.connections)) return true;
  // Full: of the address holding the most connections, the one that has
  // waited longest for a request makes room, so connections held open for
  // nothing cannot lock out a scraper that comes with one. With every one
  // being answered, the new one is closed.
  const auto held = [&](const Connection* of) {
    return std::count_if(open.begin(), open.end(),
                         [of](const Connection* c) { return c->address == of->address; });
  };
  Connection* room = nullptr;
  long roomHeld = 0;
  for (Connection* c : open) {
    if (c->answering) continue;
    const long n = held(c);
    if (!room || n > roomHeld || (n == roomHeld && c->waitingSince < room->waitingSince))
      room = c, roomHeld = n;
  }
  if (!room) return false;
  ::shutdown(room->fd, SHUT_RDWR);
  room->shut = true;
  return true;
}

void MetricsServer::Impl::reap() {
  std::unique_lock lock(connectionsMutex);
  while (!stopping) {
    if (connections.empty()) {
      connectionsChanged.wait(lock);
      continue;
    }
    connectionsChanged.wait_for(lock, std::chrono::milliseconds(100));
    const auto now = Clock::now();
    // Under the lock: the server thread closes a connection's socket only
    // after it has left the set, so the descriptor is still this one's.
    for (Connection* c : connections)
      if (!c->shut && c->deadline <= now) {
        ::shutdown(c->fd, SHUT_RDWR);
        c->shut = true;
      }
  }
}

MHD_Response* MetricsServer::Impl::currentMetrics() {
  QByteArray latest;
  {
    std::lock_guard lock(textMutex);
    if (version == metricsVersion && metrics) return metrics;
    latest = text;
    metricsVersion = version;
  }
  if (metrics) MHD_destroy_response(metrics);  // connections still sending it keep it
  metrics = MHD_create_response_from_buffer(static_cast<std::size_t>(latest.size()), latest.data(),
                                            MHD_RESPMEM_MUST_COPY);
  MHD_add_response_header(metrics, MHD_HTTP_HEADER_CONTENT_TYPE,
                          "text/plain; version=0.0.4; charset=utf-8");
  return metrics;
}

MHD_Result MetricsServer::Impl::answer(MHD_Connection* connection, const char* url,
                                       const char* method, const char* version, void** request) {
  if (!*request) {
    // The headers are in. An answer queued now closes the connection after
    // it, which is what a request refused before its body needs.
    setPhase(connection, true);
    // The library takes a request as large as a connection's memory: the
    // limit itself is counted here, the line and then the headers.
    RequestBytes size{std::strlen(method) + std::strlen(url) + std::strlen(version) + 4};
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, countArgument, &size);
    if (size.total > limits.requestBytes)
      return MHD_queue_response(connection, MHD_HTTP_URI_TOO_LONG, lineTooLong);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, countHeader, &size);
    if (size.total > limits.requestBytes)
      return MHD_queue_response(connection, MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE,
                                headersTooLarge);
    // A body is never read.
    const char* length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if ((length && std::strcmp(length, "0") != 0) ||
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
      return MHD_queue_response(connection, MHD_HTTP_CONTENT_TOO_LARGE, bodyRefused);
    *request = this;
    return MHD_YES;
  }
  // Queued on the second call, the answer leaves the connection open for
  // the next request, unless the client asked otherwise. Who asks is
  // checked first: a stranger learns nothing of what is served here.
  if (!clientCertificateAccepted(connection))
    return MHD_queue_response(connection, MHD_HTTP_FORBIDDEN, forbidden);
  if (!authorized(connection))
    return MHD_queue_response(connection, MHD_HTTP_UNAUTHORIZED, unauthorized);
  if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
      std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
    return MHD_queue_response(connection, MHD_HTTP_METHOD_NOT_ALLOWED, notAllowed);
  if (std::strcmp(url, "/metrics") != 0)
    return MHD_queue_response(connection, MHD_HTTP_NOT_FOUND, notFound);
  // HEAD: the library sends the headers of the answer without its body.
  return MHD_queue_response(connection, MHD_HTTP_OK, currentMetrics());
}

std::optional<QString> MetricsServer::Impl::start(const ListenAddress& where) {
  const QByteArray host = where.host.toLatin1();
  sockaddr_storage storage{};
  socklen_t length = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (inet_pton(AF_INET, host.constData(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(where.port);
    length = sizeof *v4;
  } else if (inet_pton(AF_INET6, host.constData(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(where.port);
    length = sizeof *v6;
  } else {
    return QStringLiteral("%1 is not an IP address").arg(where.host);
  }
  const auto failed = [&](int error) {
    if (listener >= 0) ::close(listener);
    listener = -1;
    return QStringLiteral("cannot listen on %1: %2")
        .arg(where.text, QString::fromLocal8Bit(std::strerror(error)));
  };
  listener = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener < 0) return failed(errno);
  const int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
      ::listen(listener, 64) != 0)
    return failed(errno);
  length = sizeof storage;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&storage), &length);
  port = ntohs(storage.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);

  notFound = fixedAnswer("Only /metrics is served here.\n", {});
  notAllowed =
      fixedAnswer("Only GET and HEAD are answered.\n", {{MHD_HTTP_HEADER_ALLOW, "GET, HEAD"}});
  bodyRefused = fixedAnswer("A request here has no body.\n", {});
  headersTooLarge = fixedAnswer("The request's headers are too large.\n", {});
  lineTooLong = fixedAnswer("The request's line is too long.\n", {});
  // The shared answer holds its challenge once: the library's own call for
  // it adds the header to the answer again at every refusal.
  unauthorized = fixedAnswer("A user and password are needed here.\n",
                             {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"brinewatch\""}});
  forbidden = fixedAnswer("A client certificate this server trusts is needed here.\n", {});

  const auto onConnection = [](void* cls, MHD_Connection* connection, void** context,
                               MHD_ConnectionNotificationCode code) {
    auto* self = static_cast<Impl*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      const auto now = Clock::now();
      const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      auto* c = new Connection;
      c->fd = info ? info->connect_fd : -1;
      c->deadline = now + self->limits.requestTime;
      c->waitingSince = now;
      c->credentials = self->generation;
      if (const MHD_ConnectionInfo* client =
              MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
        const sockaddr* a = client->client_addr;
        if (a->sa_family == AF_INET)
          c->address.assign(
              reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in*>(a)->sin_addr),
              sizeof(in_addr));
        else if (a->sa_family == AF_INET6)
          c->address.assign(
              reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr),
              sizeof(in6_addr));
      }
      *context = c;
      std::lock_guard lock(self->connectionsMutex);
      self->connections.insert(c);
      self->connectionsChanged.notify_one();
    } else if (*context) {
      auto* c = static_cast<Connection*>(*context);
      {
        std::lock_guard lock(self->connectionsMutex);
        self->connections.erase(c);
      }
      delete c;
      *context = nullptr;
    }
  };
  const auto onRequest = [](void* cls, MHD_Connection* connection, const char* url,
                            const char* method, const char* version, const char*, std::size_t*,
                            void** request) {
    return static_cast<Impl*>(cls)->answer(connection, url, method, version, request);
  };
  const auto onCompleted = [](void* cls, MHD_Connection* connection, void**,
                              MHD_RequestTerminationCode) {
    auto* self = static_cast<Impl*>(cls);
    self->setPhase(connection, false);
  };

  // The library's own deadline is for silence alone; the reaper's are whole.
  const auto idle = static_cast<unsigned>(std::max<std::int64_t>(
      1, std::chrono::ceil<std::chrono::seconds>(std::max(limits.requestTime, limits.answerTime))
             .count()));
  // The library at its own limit leaves new connections waiting in the
  // listen queue, a good client among them: past this limit they are taken
  // and closed at once instead (admit), and the library's own is only
  // reached while connections shut for room wait to be closed.
  const auto onAccept = [](void* cls, const sockaddr*, socklen_t) {
    serving = static_cast<Impl*>(cls);
    return serving->admit() ? MHD_YES : MHD_NO;
  };
  // TLS: the certificate is handed over at each handshake, so a renewed
  // one is served from the next connection on.
  std::vector<MHD_OptionItem> tls;
  if (web && web->tls()) {
    tls.push_back({MHD_OPTION_HTTPS_CERT_CALLBACK, 0, reinterpret_cast<void*>(&certificateFor)});
    if (!clientCa.isEmpty()) tls.push_back({MHD_OPTION_HTTPS_MEM_TRUST, 0, clientCa.data()});
  }
  tls.push_back({MHD_OPTION_END, 0, nullptr});
  daemon = MHD_start_daemon(
      MHD_USE_EPOLL_INTERNAL_THREAD | (web && web->tls() ? MHD_USE_TLS : 0), 0, onAccept, this,
      onRequest, this, MHD_OPTION_ARRAY, tls.data(), MHD_OPTION_LISTEN_SOCKET, listener,
      MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(2 * limits.connections),
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(limits.connectionsPerAddress),
      MHD_OPTION_CONNECTION_TIMEOUT, idle,
      // The request and the headers of the answer share this memory; a
      // request that does not fit is refused (431, or 414 for its line).
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<std::size_t>(limits.requestBytes + 4096),
      MHD_OPTION_CONNECTION_MEMORY_INCREMENT, std::size_t{1024}, MHD_OPTION_NOTIFY_CONNECTION,
      +onConnection, this, MHD_OPTION_NOTIFY_COMPLETED, +onCompleted, this, MHD_OPTION_END);
  if (!daemon) return failed(errno ? errno : EINVAL);
  listener = -1;  // the library's now: it closes it when it stops
  reaper = std::thread([this] { reap(); });
  return std::nullopt;
}

void MetricsServer::Impl::stop() {
  if (reaper.joinable()) {
    {
      std::lock_guard lock(connectionsMutex);
      stopping = true;
    }
    connectionsChanged.notify_one();
    reaper.join();
  }
  if (daemon) MHD_stop_daemon(daemon);
  daemon = nullptr;
  if (listener >= 0) ::close(listener);
  listener = -1;
  for (MHD_Response** response : {&metrics, &notFound, &notAllowed, &bodyRefused, &headersTooLarge,
                                  &lineTooLong, &unauthorized, &forbidden})
    if (*response) MHD_destroy_response(std::exchange(*response, nullptr));
  retired.clear();
  credentials.reset();
}

#endif  // BRINEWATCH_METRICS_HTTP

MetricsServer::MetricsServer(Limits limits) : d_(std::make_unique<Impl>(limits)) {}

MetricsServer::~MetricsServer() = default;

void MetricsServer::publish(QByteArray text) {
  std::lock_guard lock(d_->textMutex);
  d_->text = std::move(text);
  ++d_->version;
}

std::optional<QString> MetricsServer::secure(const WebConfig& config) {
#ifdef BRINEWATCH_METRICS_HTTP
  if (d_->daemon) return QStringLiteral("the metrics are served already");
  d_->web = config;
  if (!config.tls()) return std::nullopt;
  if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES ||
      MHD_is_feature_supported(MHD_FEATURE_HTTPS_CERT_CALLBACK) != MHD_YES)
    return QStringLiteral("the HTTP library here was built without TLS");
  if (!config.clientCaFile.isEmpty()) {
    QString why;
    const auto ca = readPem(config.clientCaFile, why);
    if (!ca) return why;
    d_->clientCa = *ca;
    if (!d_->clientCa.endsWith('\0')) d_->clientCa.append('\0');  // the library takes a C string
  }
  return d_->loadCredentials();
#else
  if (!config.tls() && config.users.empty()) return std::nullopt;
  return QStringLiteral("this build has no HTTP server for the metrics");
#endif
}

std::optional<QString> MetricsServer::listen(const ListenAddress& address) {
#ifdef BRINEWATCH_METRICS_HTTP
  if (d_->daemon) return QStringLiteral("the metrics are served already");
  return d_->start(address);
#else
  Q_UNUSED(address);
  return QStringLiteral("this build has no HTTP server for the metrics");
#endif
}

quint16 MetricsServer::port() const {
  return d_->port;
}

}  // namespace bw
