// The alerts as an operator gets them: the real simulator, brinewatchd, a real
// Prometheus with the shipped rules and a real Alertmanager with the shipped
// routing, whose receivers post to a webhook of this test. Each fault raises
// its alert there with the labels a person needs, and the mend resolves it.
//
// The shipped files are copied with every waiting time divided by
// kTimeScale (a `for:` of 5m waits 30 s here, a group_interval of 5m 30 s),
// scraped and evaluated every second, so the test runs in under three
// minutes; the times it prints, fault to message and mend to message, scale
// back to the shipped ones.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <sys/prctl.h>

#include "site/Site.h"

namespace bw {
namespace {

using namespace std::chrono_literals;

constexpr int kTimeScale = 10;

quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

QString readText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& path, const QString& text) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(text.toUtf8());
}

// Runs the event loop (the webhook answers meanwhile) until `done` holds or
// the time is up.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience) {
  QElapsedTimer waited;
  waited.start();
  while (!done()) {
    if (waited.elapsed() > patience.count()) return false;
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// A Prometheus duration ("5m", "1h30m") in seconds.
double seconds(const QString& duration) {
  static const QRegularExpression part(QStringLiteral("(\\d+)(ms|s|m|h|d|w|y)"));
  static const QHash<QString, double> unit{
      {QStringLiteral("ms"), 0.001},  {QStringLiteral("s"), 1},     {QStringLiteral("m"), 60},
      {QStringLiteral("h"), 3600},    {QStringLiteral("d"), 86400}, {QStringLiteral("w"), 604800},
      {QStringLiteral("y"), 31536000}};
  double total = 0;
  for (const auto& m : part.globalMatch(duration))
    total += m.captured(1).toDouble() * unit[m.captured(2)];
  return total;
}

QString scaled(double shippedSeconds) {
  return QStringLiteral("%1s").arg(
      std::max(1, static_cast<int>(std::lround(shippedSeconds / kTimeScale))));
}

// The shipped rules with every waiting time divided: `for:`, range and
// offset durations in the expressions, and seconds compared with a time
// difference (`> 300`). Annotations are left as they are.
QString scaleRules(const QString& rules) {
  static const QRegularExpression duration(QStringLiteral("\\b((?:\\d+(?:ms|s|m|h|d|w|y))+)\\b"));
  static const QRegularExpression secondsCompared(QStringLiteral("([<>]=?)\\s*(\\d+)\\b"));
  QStringList out;
  for (QString line : rules.split(u'\n')) {
    const QString key = line.trimmed().section(u':', 0, 0);
    if (key != u"summary" && key != u"description" && !line.trimmed().startsWith(u'#')) {
      QString rewritten;
      qsizetype from = 0;
      for (const auto& m : duration.globalMatch(line)) {
        rewritten += line.mid(from, m.capturedStart() - from) + scaled(seconds(m.captured(1)));
        from = m.capturedEnd();
      }
      line = rewritten + line.mid(from);
      rewritten.clear();
      from = 0;
      for (const auto& m : secondsCompared.globalMatch(line)) {
        const int value = m.captured(2).toInt();
        rewritten += line.mid(from, m.capturedStart() - from) + m.captured(1) + u' ' +
                     (value >= 60 ? QString::number(value / kTimeScale) : m.captured(2));
        from = m.capturedEnd();
      }
      line = rewritten + line.mid(from);
    }
    out << line;
  }
  return out.join(u'\n');
}

// One alert as the webhook got it.
struct Message {
  qint64 at = 0;     // ms since the test began
  QString receiver;  // the path posted to: /pager or /mail
  QString status;    // firing or resolved
  QJsonObject labels;
  QString label(const char* name) const { return labels.value(QLatin1String(name)).toString(); }
};

// The receivers' far end: takes each POST, answers 200 and keeps its alerts.
class Webhook : public QObject {
 public:
  explicit Webhook(const QElapsedTimer& clock) : clock_(clock) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  const std::vector<Message>& messages() const { return messages_; }

  // The first message of `alertname` with `status` whose labels hold `where`.
  const Message* find(const QString& receiver, const QString& alertname, const QString& status,
                      const QJsonObject& where, qint64 after = 0) const {
    for (const Message& m : messages_) {
      if (m.receiver != receiver || m.status != status || m.at < after ||
          m.label("alertname") != alertname)
        continue;
      bool all = true;
      for (auto it = where.begin(); it != where.end(); ++it) all &= m.labels.value(it.key()) == *it;
      if (all) return &m;
    }
    return nullptr;
  }

 private:
  void take(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    static const QRegularExpression length(QStringLiteral("(?i)\r\ncontent-length:\\s*(\\d+)"));
    const auto m = length.match(QString::fromLatin1(buffer.left(end)));
    const qsizetype body = m.hasMatch() ? m.captured(1).toLongLong() : 0;
    if (buffer.size() < end + 4 + body) return;
    const QString path = QString::fromLatin1(buffer.left(buffer.indexOf(' ', 5))).section(u' ', 1);
    const QJsonObject payload = QJsonDocument::fromJson(buffer.mid(end + 4, body)).object();
    for (const QJsonValue alert : payload.value(QStringLiteral("alerts")).toArray()) {
      const QJsonObject a = alert.toObject();
      messages_.push_back({clock_.elapsed(), path, a.value(QStringLiteral("status")).toString(),
                           a.value(QStringLiteral("labels")).toObject()});
    }
    pending_.remove(socket);
    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
  }

  const QElapsedTimer& clock_;
  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> pending_;
  std::vector<Message> messages_;
};

// A child that dies with the test, however the test ends.
std::unique_ptr<QProcess> start(const QString& program, const QStringList& arguments,
                                const QString& output) {
  auto process = std::make_unique<QProcess>();
  process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  process->setStandardOutputFile(output, QIODevice::Append);
  process->setStandardErrorFile(output, QIODevice::Append);
  process->start(program, arguments);
  process->waitForStarted();
  return process;
}

void stop(std::unique_ptr<QProcess>& process, int signal = SIGTERM) {
  if (!process) return;
  ::kill(static_cast<pid_t>(process->processId()), signal);
  process->waitForFinished(10000);
  process.reset();
}

class AlertsReachAPerson : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStringLiteral(PROMETHEUS).isEmpty() || QStringLiteral(ALERTMANAGER).isEmpty())
      GTEST_SKIP() << "prometheus and prometheus-alertmanager are not both installed";
    clock_.start();
  }

  QString path(const QString& name) const { return dir_.filePath(name); }

  QString site(const QString& name, quint16 adapter, quint16 metrics, const QString& sensors) {
    const QString file = path(name + QStringLiteral(".toml"));
    QDir().mkpath(path(name));
    writeText(file, QStringLiteral("adapter = \"127.0.0.1:%1\"\nlog = \"%2\"\nmetrics = "
                                   "\"127.0.0.1:%3\"\n%4")
                        .arg(adapter)
                        .arg(path(name + QStringLiteral("/tank.log")))
                        .arg(metrics)
                        .arg(sensors));
    return file;
  }

  static QString sensor(int slot, const QString& name, const QString& band) {
    return QStringLiteral("[[sensor]]\nslot = %1\nrom = \"%2\"\nname = \"%3\"\n%4\n")
        .arg(slot)
        .arg(QLatin1String(kBuiltInRomCodes[static_cast<std::size_t>(slot - 1)].data(), 16))
        .arg(name, band);
  }

  std::unique_ptr<QProcess> simulator(quint16 port, const QStringList& faults = {}) {
    QStringList arguments{QStringLiteral("--port"), QString::number(port),
                          QStringLiteral("--conversion-ms"), QStringLiteral("0")};
    for (const QString& fault : faults) arguments << QStringLiteral("--fault") << fault;
    return start(QStringLiteral(ADAPTER_SIM), arguments, path(QStringLiteral("sim.out")));
  }

  std::unique_ptr<QProcess> logger(const QString& siteFile) {
    return start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), siteFile},
                 path(QStringLiteral("loggers.out")));
  }

  QJsonObject get(quint16 port, const QString& what, const QString& promql = {}) {
    QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(what));
    if (!promql.isEmpty()) {
      QUrlQuery parameters;
      parameters.addQueryItem(QStringLiteral("query"), promql);
      url.setQuery(parameters);
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(5000);
    QNetworkReply* reply = http_.get(request);
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    wait.exec();
    const QByteArray body = reply->readAll();
    const bool ok = reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    if (!ok) return {};
    const QJsonDocument document = QJsonDocument::fromJson(body);
    return document.isObject() ? document.object()
                               : QJsonObject{{QStringLiteral("text"), QString::fromUtf8(body)}};
  }

  qint64 now() const { return clock_.elapsed(); }

  QElapsedTimer clock_;
  QTemporaryDir dir_;
  QNetworkAccessManager http_;
};

TEST_F(AlertsReachAPerson, EachFaultRaisesItsAlertWithItsLabelsAndItsMendResolvesIt) {
  Webhook webhook(clock_);
  ASSERT_NE(webhook.port(), 0);
  const QString shipped = QStringLiteral(SHIPPED_DIR);
  const quint16 simA = freePort(), simB = freePort(), metricsA = freePort(), metricsB = freePort();
  const quint16 prometheusPort = freePort(), alertmanagerPort = freePort();
  const QString instanceA = QStringLiteral("127.0.0.1:%1").arg(metricsA);
  const QString instanceB = QStringLiteral("127.0.0.1:%1").arg(metricsB);

  // The shipped files, rewritten for this test's addresses and times.
  const QString rules = scaleRules(readText(shipped + QStringLiteral("/brinewatch-rules.yml")));
  ASSERT_FALSE(rules.isEmpty());
  writeText(path(QStringLiteral("brinewatch-rules.yml")), rules);
  QString prometheusYml = readText(shipped + QStringLiteral("/prometheus.yml"));
  prometheusYml
      .replace(QRegularExpression(QStringLiteral("scrape_interval: \\S+")),
               QStringLiteral("scrape_interval: 1s\n  scrape_timeout: 1s"))
      .replace(QRegularExpression(QStringLiteral("evaluation_interval: \\S+")),
               QStringLiteral("evaluation_interval: 1s"))
      .replace(QRegularExpression(QStringLiteral("\"localhost:9093\"")),
               QStringLiteral("\"127.0.0.1:%1\"").arg(alertmanagerPort))
      .remove(QRegularExpression(QStringLiteral("\\n\\s*- \"[^\"]*:\\d+\"[^\\n]*")))
      .replace(QRegularExpression(QStringLiteral("- targets:[ \\t]*$"),
                                  QRegularExpression::MultilineOption),
               QStringLiteral("- targets: [\"%1\", \"%2\"]").arg(instanceA, instanceB));
  writeText(path(QStringLiteral("prometheus.yml")), prometheusYml);
  QString alertmanagerYml = readText(shipped + QStringLiteral("/alertmanager.yml"));
  const QString hook = QStringLiteral("http://127.0.0.1:%1").arg(webhook.port());
  alertmanagerYml
      .replace(QRegularExpression(QStringLiteral("url: \"[^\"]*\"")),
               QStringLiteral("url: \"%1/pager\"").arg(hook))
      .replace(QStringLiteral("email_configs:"), QStringLiteral("webhook_configs:"))
      .replace(QRegularExpression(QStringLiteral("- to: \"[^\"]*\"")),
               QStringLiteral("- url: \"%1/mail\"").arg(hook));
  std::printf("the shipped waiting times divided by %d; scrape and evaluation every 1 s:\n",
              kTimeScale);
  for (const QString& line : rules.split(u'\n'))
    if (line.contains(QStringLiteral("alert:")) || line.contains(QStringLiteral("for:")))
      std::printf("  %s\n", qPrintable(line.trimmed()));
  // Alertmanager's waits divided as the rules' are, so that their relation
  // to the rules' holds: a sensor alert resolved when its logger stops
  // answering is held back by the logger-down alert before it is sent.
  static const QRegularExpression amWait(
      QStringLiteral("(group_wait|group_interval|repeat_interval): (\\S+)"));
  QString scaledYml;
  qsizetype from = 0;
  double longestGroupInterval = 0;
  for (const auto& m : amWait.globalMatch(alertmanagerYml)) {
    scaledYml += alertmanagerYml.mid(from, m.capturedStart() - from) + m.captured(1) +
                 QStringLiteral(": ") + scaled(seconds(m.captured(2)));
    from = m.capturedEnd();
    if (m.captured(1) == u"group_interval")
      longestGroupInterval = std::max(longestGroupInterval, seconds(m.captured(2)) / kTimeScale);
    std::printf("  %s: %s\n", qPrintable(m.captured(1)),
                qPrintable(scaled(seconds(m.captured(2)))));
  }
  alertmanagerYml = scaledYml + alertmanagerYml.mid(from);
  writeText(path(QStringLiteral("alertmanager.yml")), alertmanagerYml);

  // Logger A: a sensor outside its band, one inside, one that will fall
  // silent; logger B: a sensor outside its band, and B is the one killed.
  // The simulated brine stays between -5 and 15 °C.
  const QString outside = QStringLiteral("low = 20.0\nhigh = 30.0");
  const QString inside = QStringLiteral("low = -20.0\nhigh = 40.0");
  const QString siteA = site(QStringLiteral("a"), simA, metricsA,
                             sensor(1, QStringLiteral("Brine in"), outside) +
                                 sensor(2, QStringLiteral("Brine out"), inside) +
                                 sensor(3, QStringLiteral("Sump"), QString()));
  const QString siteB =
      site(QStringLiteral("b"), simB, metricsB, sensor(1, QStringLiteral("Tank B"), outside));
  auto adapterA = simulator(simA);
  auto adapterB = simulator(simB);
  auto prometheus =
      start(QStringLiteral(PROMETHEUS),
            {QStringLiteral("--config.file=") + path(QStringLiteral("prometheus.yml")),
             QStringLiteral("--storage.tsdb.path=") + path(QStringLiteral("tsdb")),
             QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort),
             QStringLiteral("--log.level=warn")},
            path(QStringLiteral("prometheus.out")));
  auto alertmanager =
      start(QStringLiteral(ALERTMANAGER),
            {QStringLiteral("--config.file=") + path(QStringLiteral("alertmanager.yml")),
             QStringLiteral("--storage.path=") + path(QStringLiteral("alertmanager")),
             QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(alertmanagerPort),
             QStringLiteral("--cluster.listen-address="), QStringLiteral("--log.level=warn")},
            path(QStringLiteral("alertmanager.out")));
  const auto diagnosis = [&] {
    return (QStringLiteral("\n--- prometheus\n") +
            readText(path(QStringLiteral("prometheus.out"))) +
            QStringLiteral("\n--- alertmanager\n") +
            readText(path(QStringLiteral("alertmanager.out"))) + QStringLiteral("\n--- loggers\n") +
            readText(path(QStringLiteral("loggers.out"))).right(3000))
        .toStdString();
  };
  ASSERT_TRUE(
      waitUntil([&] { return !get(prometheusPort, QStringLiteral("/-/ready")).isEmpty(); }, 30s))
      << diagnosis();
  ASSERT_TRUE(
      waitUntil([&] { return !get(alertmanagerPort, QStringLiteral("/-/ready")).isEmpty(); }, 30s))
      << diagnosis();
  // The rules Prometheus took are the four shipped alerts.
  QStringList loaded;
  for (const QJsonValue group : get(prometheusPort, QStringLiteral("/api/v1/rules"))
                                    .value(QStringLiteral("data"))
                                    .toObject()
                                    .value(QStringLiteral("groups"))
                                    .toArray())
    for (const QJsonValue rule : group.toObject().value(QStringLiteral("rules")).toArray())
      if (rule.toObject().value(QStringLiteral("type")).toString() == u"alerting")
        loaded << rule.toObject().value(QStringLiteral("name")).toString();
  loaded.sort();
  ASSERT_EQ(loaded.join(u' '),
            QStringLiteral("BrinewatchLogNotWriting BrinewatchLoggerDown "
                           "BrinewatchReadingOutsideBand BrinewatchSensorSilent"))
      << diagnosis();

  const qint64 startedAt = now();
  auto loggerA = logger(siteA);
  auto loggerB = logger(siteB);
  const QString band = QStringLiteral("BrinewatchReadingOutsideBand");
  const QString silent = QStringLiteral("BrinewatchSensorSilent");
  const QString down = QStringLiteral("BrinewatchLoggerDown");
  const QString notWriting = QStringLiteral("BrinewatchLogNotWriting");
  const QString mail = QStringLiteral("/mail"), pager = QStringLiteral("/pager");
  const QString firing = QStringLiteral("firing"), resolved = QStringLiteral("resolved");
  const QJsonObject brineIn{{QStringLiteral("slot"), QStringLiteral("1")},
                            {QStringLiteral("rom"), QStringLiteral("9C000000B4A89828")},
                            {QStringLiteral("name"), QStringLiteral("Brine in")},
                            {QStringLiteral("instance"), instanceA}};
  const QJsonObject sump{{QStringLiteral("slot"), QStringLiteral("3")},
                         {QStringLiteral("rom"), QStringLiteral("B900000027CA8F28")},
                         {QStringLiteral("name"), QStringLiteral("Sump")},
                         {QStringLiteral("instance"), instanceA}};
  const QJsonObject tankB{{QStringLiteral("slot"), QStringLiteral("1")},
                          {QStringLiteral("name"), QStringLiteral("Tank B")},
                          {QStringLiteral("instance"), instanceB}};
  const QJsonObject atA{{QStringLiteral("instance"), instanceA}};
  const QJsonObject atB{{QStringLiteral("instance"), instanceB}};
  const auto patience = [](double shippedSeconds) {
    return std::chrono::milliseconds(static_cast<qint64>(3000 * shippedSeconds / kTimeScale) +
                                     30000);
  };
  struct Timing {
    const char* what;
    qint64 raised = -1;
    qint64 resolved = -1;
  };
  std::vector<Timing> timings;

  // Outside the band from the first reading; mended by a band that holds it.
  ASSERT_TRUE(waitUntil(
      [&] {
        return webhook.find(mail, band, firing, brineIn) && webhook.find(mail, band, firing, tankB);
      },
      patience(300)))
      << diagnosis();
  timings.push_back(
      {"reading outside its band", webhook.find(mail, band, firing, brineIn)->at - startedAt});
  const qint64 killedAt = now();
  stop(loggerB, SIGKILL);
  stop(loggerA);
  writeText(siteA, readText(siteA).replace(outside, inside));
  const qint64 bandMendedAt = now();
  loggerA = logger(siteA);

  // B killed: its logger is down, to both receivers; its own band alert is
  // held back meanwhile, neither repeated nor resolved.
  ASSERT_TRUE(waitUntil(
      [&] {
        return webhook.find(pager, down, firing, atB) && webhook.find(mail, down, firing, atB);
      },
      patience(120)))
      << diagnosis();
  timings.push_back({"logger down", webhook.find(pager, down, firing, atB)->at - killedAt});
  // Down past the next sending of its group, which would carry the band
  // alert resolved were it not held back.
  waitUntil(
      [&] { return now() > killedAt + static_cast<qint64>(longestGroupInterval * 1000) + 5000; },
      patience(600));
  const qint64 revivedAt = now();
  loggerB = logger(siteB);
  ASSERT_TRUE(waitUntil([&] { return webhook.find(pager, down, resolved, atB); }, patience(120)))
      << diagnosis();
  const qint64 upToldAt = webhook.find(pager, down, resolved, atB)->at;
  timings.back().resolved = upToldAt - revivedAt;
  for (const Message& m : webhook.messages())
    EXPECT_FALSE(m.label("alertname") == band && m.label("instance") == instanceB &&
                 m.at > killedAt && m.at <= upToldAt)
        << "B's band alert was " << qPrintable(m.status) << " while B was down";

  ASSERT_TRUE(waitUntil([&] { return webhook.find(mail, band, resolved, brineIn); }, patience(300)))
      << diagnosis();
  timings.front().resolved = webhook.find(mail, band, resolved, brineIn)->at - bandMendedAt;

  // Sensor 3 silent (its adapter resets each query) and A's log made a
  // folder, which nobody writes, at once; then both mended.
  stop(adapterA);
  const qint64 silencedAt = now();
  adapterA = simulator(simA, {QStringLiteral("3=reset")});
  const QString logA = path(QStringLiteral("a/tank.log"));
  ASSERT_TRUE(QFile::rename(logA, logA + QStringLiteral(".before")));
  ASSERT_TRUE(QDir().mkdir(logA));
  const qint64 logBrokenAt = now();
  ASSERT_TRUE(waitUntil(
      [&] {
        return webhook.find(mail, silent, firing, sump) &&
               webhook.find(pager, notWriting, firing, atA) &&
               webhook.find(mail, notWriting, firing, atA);
      },
      patience(300)))
      << diagnosis();
  timings.push_back({"sensor silent", webhook.find(mail, silent, firing, sump)->at - silencedAt});
  timings.push_back(
      {"log not writing", webhook.find(pager, notWriting, firing, atA)->at - logBrokenAt});
  stop(adapterA);
  const qint64 unsilencedAt = now();
  adapterA = simulator(simA);
  ASSERT_TRUE(QDir().rmdir(logA));
  const qint64 logMendedAt = now();
  ASSERT_TRUE(waitUntil(
      [&] {
        return webhook.find(mail, silent, resolved, sump) &&
               webhook.find(pager, notWriting, resolved, atA);
      },
      patience(300)))
      << diagnosis();
  timings[2].resolved = webhook.find(mail, silent, resolved, sump)->at - unsilencedAt;
  timings[3].resolved = webhook.find(pager, notWriting, resolved, atA)->at - logMendedAt;

  // Routed by severity: warnings by mail only. No other sensor, and no
  // restart of A, raised anything.
  for (const Message& m : webhook.messages()) {
    const QString name = m.label("alertname");
    EXPECT_EQ(m.label("job"), QStringLiteral("brinewatch"));
    if (name == band || name == silent) {
      EXPECT_EQ(m.receiver, mail) << qPrintable(name);
      EXPECT_EQ(m.label("severity"), QStringLiteral("warning"));
      EXPECT_TRUE(m.label("slot") == u"1" || (name == silent && m.label("slot") == u"3"))
          << qPrintable(name) << " on slot " << qPrintable(m.label("slot"));
    } else {
      EXPECT_EQ(m.label("severity"), QStringLiteral("critical")) << qPrintable(name);
    }
    EXPECT_FALSE(name == down && m.label("instance") == instanceA)
        << "A's restart raised " << qPrintable(name);
  }

  std::printf("\n%-26s %16s %16s\n", "alert", "fault to webhook", "mend to webhook");
  for (const Timing& t : timings)
    std::printf("%-26s %14.1f s %14.1f s\n", t.what, t.raised / 1000.0, t.resolved / 1000.0);
  stop(loggerA);
  stop(loggerB);
}

}  // namespace
}  // namespace bw
