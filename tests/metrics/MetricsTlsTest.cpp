// The endpoint as a web configuration file sets it up: TLS with a
// certificate made here by openssl, users with bcrypt hashes, told apart
// by curl and by a real Prometheus scraping it.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "metrics/MetricsServer.h"
#include "site/WebConfig.h"

namespace bw {
namespace {

using namespace std::chrono_literals;

// "s3cret", at the lowest cost bcrypt takes, so the test spends no time on it.
const char* const kHash = "$2b$05$Ai311Ftc9TR22.aiqdkYve3GofINwg6S4YW1BLhMdc4kPfMb2SvRC";
const QByteArray kMetrics = "brinewatch_secret_reading 4.25\n";

struct Outcome {
  int exitCode = -1;
  QByteArray out;
};

Outcome run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000)) {
    p.kill();
    p.waitForFinished();
    return {};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput()};
}

class MetricsTlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (openssl.isEmpty() || curl.isEmpty()) GTEST_SKIP() << "needs openssl and curl";
    ASSERT_TRUE(makeCertificate(QStringLiteral("server")));
    config.file = dir.filePath(QStringLiteral("web.yml"));
    config.certFile = dir.filePath(QStringLiteral("server.crt"));
    config.keyFile = dir.filePath(QStringLiteral("server.key"));
    config.users = {{"prometheus", kHash}};
  }

  // A self-signed certificate for 127.0.0.1 and its key, NAME.crt and NAME.key.
  bool makeCertificate(const QString& name) {
    return run(openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                         QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                         QStringLiteral("-keyout"), dir.filePath(name + QStringLiteral(".key")),
                         QStringLiteral("-out"), dir.filePath(name + QStringLiteral(".crt")),
                         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                         QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                         QStringLiteral("subjectAltName=IP:127.0.0.1")})
               .exitCode == 0;
  }

  void serve() {
    server.publish(kMetrics);
    ASSERT_EQ(server.secure(config), std::nullopt);
    ASSERT_EQ(server.listen(*parseListenAddress(QStringLiteral("127.0.0.1:0"))), std::nullopt);
  }

  // curl's answer: the headers, the body and, last, the status code.
  Outcome fetch(const QString& trusted, const QString& user = {}) {
    QStringList args{QStringLiteral("-s"),       QStringLiteral("-i"),
                     QStringLiteral("-m"),       QStringLiteral("10"),
                     QStringLiteral("--cacert"), dir.filePath(trusted + QStringLiteral(".crt")),
                     QStringLiteral("-w"),       QStringLiteral("\n%{http_code}")};
    if (!user.isEmpty()) args << QStringLiteral("-u") << user;
    args << QStringLiteral("https://127.0.0.1:%1/metrics").arg(server.port());
    return run(curl, args);
  }

  QTemporaryDir dir;
  QString openssl, curl;
  WebConfig config;
  MetricsServer server;
};

TEST_F(MetricsTlsTest, ServesTheRightUserOverTlsAndNobodyElse) {
  serve();
  const Outcome good = fetch(QStringLiteral("server"), QStringLiteral("prometheus:s3cret"));
  EXPECT_EQ(good.exitCode, 0);
  EXPECT_TRUE(good.out.endsWith("\n200")) << good.out.constData();
  EXPECT_TRUE(good.out.contains(kMetrics));

  for (const QString& user : {QStringLiteral("prometheus:wrong"), QStringLiteral("nobody:s3cret"),
                              QString(), QStringLiteral("prometheus:wrong")}) {
    const Outcome refused = fetch(QStringLiteral("server"), user);
    EXPECT_TRUE(refused.out.endsWith("\n401")) << refused.out.constData();
    EXPECT_FALSE(refused.out.contains("brinewatch_")) << refused.out.constData();
    // One challenge, however many refusals came before.
    EXPECT_EQ(refused.out.count("WWW-Authenticate: Basic realm=\"brinewatch\""), 1)
        << refused.out.constData();
  }

  // Plain HTTP to the TLS port gets no answer of HTTP, and nothing of the metrics.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(server.port());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  const std::string request =
      "GET /metrics HTTP/1.1\r\nHost: x\r\nAuthorization: Basic "
      "cHJvbWV0aGV1czpzM2NyZXQ=\r\n\r\n";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string got;
  char buffer[4096];
  for (const auto end = std::chrono::steady_clock::now() + 3s;
       std::chrono::steady_clock::now() < end;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  EXPECT_EQ(got.find("HTTP/1."), std::string::npos) << got;
  EXPECT_EQ(got.find("brinewatch_"), std::string::npos) << got;
}

TEST_F(MetricsTlsTest, TakesACertificateReplacedOnDiskAtTheNextConnection) {
  serve();
  ASSERT_TRUE(QFile::copy(config.certFile, dir.filePath(QStringLiteral("first.crt"))));
  ASSERT_TRUE(makeCertificate(QStringLiteral("renewed")));
  EXPECT_NE(fetch(QStringLiteral("renewed"), QStringLiteral("prometheus:s3cret")).exitCode, 0);

  // A certificate whose key has not come yet is not taken: the old pair stays.
  const auto replace = [&](const QString& from, const QString& to) {
    QFile::remove(dir.filePath(QStringLiteral("next")));
    QFile::copy(dir.filePath(from), dir.filePath(QStringLiteral("next")));
    ASSERT_EQ(std::rename(QFile::encodeName(dir.filePath(QStringLiteral("next"))).constData(),
                          QFile::encodeName(dir.filePath(to)).constData()),
              0);
  };
  replace(QStringLiteral("renewed.crt"), QStringLiteral("server.crt"));
  std::this_thread::sleep_for(1100ms);
  EXPECT_TRUE(
      fetch(QStringLiteral("first"), QStringLiteral("prometheus:s3cret")).out.endsWith("\n200"))
      << "the old pair should serve till the key is there";
  replace(QStringLiteral("renewed.key"), QStringLiteral("server.key"));
  std::this_thread::sleep_for(1100ms);
  const Outcome renewed = fetch(QStringLiteral("renewed"), QStringLiteral("prometheus:s3cret"));
  EXPECT_EQ(renewed.exitCode, 0);
  EXPECT_TRUE(renewed.out.endsWith("\n200")) << renewed.out.constData();
}

TEST_F(MetricsTlsTest, AsksForAClientCertificateOfItsAuthority) {
  // The plant's authority and a client certificate it signed.
  ASSERT_TRUE(makeCertificate(QStringLiteral("ca")));
  ASSERT_EQ(run(openssl, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"),
                          QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                          QStringLiteral("-keyout"), dir.filePath(QStringLiteral("client.key")),
                          QStringLiteral("-out"), dir.filePath(QStringLiteral("client.csr")),
                          QStringLiteral("-subj"), QStringLiteral("/CN=prometheus")})
                .exitCode,
            0);
  ASSERT_EQ(run(openssl, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                          dir.filePath(QStringLiteral("client.csr")), QStringLiteral("-CA"),
                          dir.filePath(QStringLiteral("ca.crt")), QStringLiteral("-CAkey"),
                          dir.filePath(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"),
                          QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-out"),
                          dir.filePath(QStringLiteral("client.crt"))})
                .exitCode,
            0);
  ASSERT_TRUE(makeCertificate(QStringLiteral("stranger")));
  config.users.clear();
  config.clientCaFile = dir.filePath(QStringLiteral("ca.crt"));
  config.clientAuth = WebConfig::ClientAuth::RequireAndVerify;
  serve();
  const auto withCertificate = [&](const QString& name) {
    QStringList args{QStringLiteral("-s"),
                     QStringLiteral("-m"),
                     QStringLiteral("10"),
                     QStringLiteral("--cacert"),
                     config.certFile,
                     QStringLiteral("-w"),
                     QStringLiteral("\n%{http_code}")};
    if (!name.isEmpty())
      args << QStringLiteral("--cert") << dir.filePath(name + QStringLiteral(".crt"))
           << QStringLiteral("--key") << dir.filePath(name + QStringLiteral(".key"));
    args << QStringLiteral("https://127.0.0.1:%1/metrics").arg(server.port());
    return run(curl, args).out;
  };
  const QByteArray signed_ = withCertificate(QStringLiteral("client"));
  EXPECT_TRUE(signed_.endsWith("\n200") && signed_.contains(kMetrics)) << signed_.constData();
  for (const QString& other : {QString(), QStringLiteral("stranger")}) {
    const QByteArray refused = withCertificate(other);
    EXPECT_FALSE(refused.contains("brinewatch_")) << refused.constData();
    EXPECT_FALSE(refused.endsWith("\n200")) << refused.constData();
  }
}

TEST_F(MetricsTlsTest, SaysWhyItCannotServeTheGivenFiles) {
  WebConfig missing = config;
  missing.certFile = dir.filePath(QStringLiteral("absent.crt"));
  const auto noFile = MetricsServer().secure(missing);
  ASSERT_TRUE(noFile);
  EXPECT_TRUE(noFile->contains(QStringLiteral("absent.crt"))) << noFile->toStdString();

  ASSERT_TRUE(makeCertificate(QStringLiteral("other")));
  WebConfig mismatched = config;
  mismatched.keyFile = dir.filePath(QStringLiteral("other.key"));
  const auto wrongKey = MetricsServer().secure(mismatched);
  ASSERT_TRUE(wrongKey);
  EXPECT_TRUE(wrongKey->contains(QStringLiteral("is not the key of the certificate")))
      << wrongKey->toStdString();
}

// A real Prometheus over HTTPS: up with the right password, down with a
// wrong one.
TEST_F(MetricsTlsTest, ARealPrometheusScrapesItOverTlsWithItsUser) {
  const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
  if (prometheus.isEmpty()) GTEST_SKIP() << "needs prometheus";
  serve();
  QFile yml(dir.filePath(QStringLiteral("prometheus.yml")));
  ASSERT_TRUE(yml.open(QIODevice::WriteOnly));
  QByteArray jobs;
  for (const char* password : {"s3cret", "wrong"})
    jobs += QStringLiteral(
                "  - job_name: %1\n    scrape_interval: 1s\n    scrape_timeout: 1s\n"
                "    scheme: https\n    tls_config:\n      ca_file: %2\n"
                "    basic_auth:\n      username: prometheus\n      password: %1\n"
                "    static_configs:\n      - targets: [\"127.0.0.1:%3\"]\n")
                .arg(QLatin1String(password), config.certFile)
                .arg(server.port())
                .toUtf8();
  yml.write("scrape_configs:\n" + jobs);
  yml.close();
  // Prometheus's own port: one picked by the kernel and closed again may be
  // taken meanwhile; a failed start is tried on another.
  QProcess p;
  quint16 apiPort = 0;
  for (int attempt = 0; attempt < 3 && p.state() != QProcess::Running; ++attempt) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof any;
    ::bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&any), &length);
    apiPort = ntohs(any.sin_port);
    ::close(probe);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(prometheus,
            {QStringLiteral("--config.file=") + yml.fileName(),
             QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("tsdb")),
             QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(apiPort)});
    p.waitForStarted();
    p.waitForFinished(1500);  // still running: it listens
  }
  ASSERT_EQ(p.state(), QProcess::Running) << p.readAll().constData();
  const auto up = [&](const char* job) {
    const Outcome answer =
        run(curl,
            {QStringLiteral("-s"), QStringLiteral("-g"), QStringLiteral("-m"), QStringLiteral("5"),
             QStringLiteral("http://127.0.0.1:%1/api/v1/query?query=up{job=\"%2\"}")
                 .arg(apiPort)
                 .arg(QLatin1String(job))});
    const QJsonArray result = QJsonDocument::fromJson(answer.out)
                                  .object()[QStringLiteral("data")]
                                  .toObject()[QStringLiteral("result")]
                                  .toArray();
    return result.isEmpty() ? QString()
                            : result[0].toObject()[QStringLiteral("value")].toArray()[1].toString();
  };
  QString good, bad;
  for (const auto end = std::chrono::steady_clock::now() + 40s;
       std::chrono::steady_clock::now() < end && (good.isEmpty() || bad.isEmpty());) {
    std::this_thread::sleep_for(500ms);
    good = up("s3cret");
    bad = up("wrong");
  }
  p.terminate();
  p.waitForFinished(10000);
  EXPECT_EQ(good, QStringLiteral("1"));
  EXPECT_EQ(bad, QStringLiteral("0"));
}

}  // namespace
}  // namespace bw
