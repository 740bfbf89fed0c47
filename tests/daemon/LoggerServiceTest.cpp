#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <tuple>

#include <unistd.h>

#include "AdapterSimulator.h"
#include "NotifySocket.h"
#include "logformat/RecordLine.h"
#include "logformat/Sentinels.h"
#include "logformat/Stamp.h"
#include "site/Site.h"

namespace bw {
namespace {

using namespace std::chrono_literals;

using test::NotifySocket;

quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

QByteArray scrape(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  if (!socket.waitForConnected(5000)) return {};
  socket.write("GET /metrics HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  QByteArray answer;
  while (socket.waitForReadyRead(5000)) answer += socket.readAll();
  answer += socket.readAll();
  return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

QList<QByteArray> logLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QList<QByteArray> lines = file.readAll().split('\n');
  lines.removeLast();  // after the last line end
  for (QByteArray& line : lines) line += '\n';
  return lines;
}

// brinewatchd as systemd runs it, on a site of four sensors: one that reads
// 4.5625, one whose real reading is -1, one whose adapter resets the
// connection, one that answers an error page.
TEST(LoggerService, ReadyThenLogsTheLinesOfTheLoggerServesItsMetricsAndEndsOnSigterm) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  adapter.setFixedTemperature(0, 4.5625f);
  adapter.setFixedTemperature(1, -1.0f);
  adapter.setFault(2, sim::Fault::Reset);
  adapter.setFault(3, sim::Fault::HttpError);
  QTemporaryDir dir;
  const quint16 metricsPort = freePort();
  const QString log = dir.filePath(QStringLiteral("tank.log"));
  QFile site(dir.filePath(QStringLiteral("site.toml")));
  ASSERT_TRUE(site.open(QIODevice::WriteOnly));
  site.write(QStringLiteral("adapter = \"%1\"\nlog = \"%2\"\nmetrics = \"127.0.0.1:%3\"\n")
                 .arg(adapter.host(), log)
                 .arg(metricsPort)
                 .toUtf8());
  for (int slot = 1; slot <= 4; ++slot)
    site.write(QStringLiteral("[[sensor]]\nslot = %1\nrom = \"%2\"\n")
                   .arg(slot)
                   .arg(QLatin1String(kBuiltInRomCodes[slot - 1].data(), 16))
                   .toUtf8());
  site.write("name = \"Sump \\\"B\\\"\"\n");
  site.close();
  NotifySocket notify(dir.filePath(QStringLiteral("notify")));
  ASSERT_TRUE(notify.bound());

  QProcess service;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
  env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000000"));
  // The journal listens, and Qt has things of its own to say.
  env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("8:1"));
  env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.*.debug=true"));
  service.setProcessEnvironment(env);
  service.start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), site.fileName()});
  ASSERT_TRUE(notify.waitFor("READY=1")) << service.readAllStandardError().constData();
  EXPECT_TRUE(notify.seen().first().startsWith("READY=1"));  // before any ping
  for (int i = 0; i < 200 && logLines(log).size() < 2; ++i) QThread::msleep(50);
  EXPECT_TRUE(notify.waitFor("WATCHDOG=1"));
  const QByteArray metrics = scrape(metricsPort);

  ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
  ASSERT_TRUE(service.waitForFinished(20000));
  EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(service.exitCode(), 0);
  EXPECT_TRUE(notify.waitFor("STOPPING=1", 1s));
  // Every line the journal gets is the program's, with its priority.
  const QList<QByteArray> journal = service.readAllStandardError().split('\n');
  for (const QByteArray& line : journal.mid(0, journal.size() - 1))
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[0-7]>brinewatchd: "))
                    .match(QString::fromUtf8(line))
                    .hasMatch())
        << line.constData();

  // Byte for byte the line the window's logger writes for these readings.
  const QList<QByteArray> lines = logLines(log);
  ASSERT_GE(lines.size(), 2);
  std::array<float, kMaxReadings> readings;
  readings.fill(kNoPage);
  readings[0] = 4.5625f;
  readings[3] = kNoTemperature;
  for (const QByteArray& line : lines) {
    const auto stamp = parseStamp(std::string_view(line.constData(), 19), ' ');
    ASSERT_TRUE(stamp) << line.constData();
    EXPECT_EQ(line, recordLine(stampDateTime(*stamp), readings.data(), 12));
  }

  // A real -1 is a temperature; a failed reading is no temperature at all.
  EXPECT_TRUE(metrics.contains(
      "brinewatch_temperature_celsius{rom=\"9C000000B4A89828\",slot=\"1\"} 4.5625\n"));
  EXPECT_TRUE(
      metrics.contains("brinewatch_temperature_celsius{rom=\"06000000A4EC7428\",slot=\"2\"} -1\n"));
  EXPECT_FALSE(metrics.contains("brinewatch_temperature_celsius{rom=\"B900000027CA8F28\""));
  EXPECT_FALSE(metrics.contains("brinewatch_temperature_celsius{name=\"Sump \\\"B\\\"\""));
  EXPECT_TRUE(
      QRegularExpression(
          QStringLiteral(
              R"re(brinewatch_failed_readings_total\{kind="no_page",rom="B900000027CA8F28",slot="3"\} [1-9])re"))
          .match(QString::fromUtf8(metrics))
          .hasMatch())
      << metrics.constData();
  EXPECT_TRUE(
      metrics.contains("brinewatch_failed_readings_total{kind=\"no_temperature\",name=\"Sump "
                       "\\\"B\\\"\",rom=\"E6000000B4E6AC28\",slot=\"4\"}"));
  EXPECT_TRUE(metrics.contains("brinewatch_log_writing 1\n"));
#ifdef PROMTOOL
  // Prometheus's own reading of the exposition finds nothing to say.
  QProcess promtool;
  promtool.start(QStringLiteral(PROMTOOL), {QStringLiteral("check"), QStringLiteral("metrics")});
  promtool.write(metrics);
  promtool.closeWriteChannel();
  ASSERT_TRUE(promtool.waitForFinished(20000));
  EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardError().constData();
  EXPECT_TRUE(promtool.readAll().isEmpty());
#endif
}

QString writeSite(const QTemporaryDir& dir, const QString& adapter, const QString& log,
                  const QString& metrics) {
  QFile site(dir.filePath(QStringLiteral("site.toml")));
  if (!site.open(QIODevice::WriteOnly)) return {};
  site.write(QStringLiteral("adapter = \"%1\"\n").arg(adapter).toUtf8());
  if (!log.isEmpty()) site.write(QStringLiteral("log = \"%1\"\n").arg(log).toUtf8());
  if (!metrics.isEmpty()) site.write(QStringLiteral("metrics = \"%1\"\n").arg(metrics).toUtf8());
  site.write("[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n");
  return site.fileName();
}

// A command line or a site file the program cannot use ends it at the start
// with the status the unit does not restart on (the exit paths of the
// service itself are tested in process).
TEST(LoggerService, EndsAtTheStartOnAUsageErrorOrASiteFileWithoutALog) {
  QTemporaryDir dir;
  const QStringList withoutLog = {QStringLiteral("--site"),
                                  writeSite(dir, QStringLiteral("127.0.0.1:1"), {}, {})};
  for (const auto& [arguments, said] :
       {std::pair{QStringList{QStringLiteral("-site"), QStringLiteral("x.toml")},
                  "unknown option -site"},
        std::pair{withoutLog, "no log = \"PATH\""}}) {
    SCOPED_TRACE(said);
    QProcess service;
    service.start(QStringLiteral(BRINEWATCHD), arguments);
    ASSERT_TRUE(service.waitForFinished(20000));
    EXPECT_EQ(service.exitCode(), 2);
    const QByteArray text = service.readAllStandardError();
    EXPECT_TRUE(text.contains(said)) << text.constData();
  }
}

// As logrotate's postrotate or systemctl reload asks: the log is opened again
// at its path, said in the journal, and the logger goes on.
TEST(LoggerService, ASighupOpensTheLogAgainOrLeavesItAsItWasAndPollingGoesOn) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  // A relative log is said by its absolute path.
  const QString site = writeSite(dir, adapter.host(), QStringLiteral("tank.log"),
                                 QStringLiteral("127.0.0.1:%1").arg(freePort()));
  const QString log = QDir(dir.path()).absoluteFilePath(QStringLiteral("tank.log"));
  QProcess service;
  service.setWorkingDirectory(dir.path());
  service.start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), site});
  ASSERT_TRUE(service.waitForStarted());
  for (int i = 0; i < 200 && logLines(log).isEmpty(); ++i) QThread::msleep(25);
  ASSERT_FALSE(logLines(log).isEmpty()) << service.readAllStandardError().constData();
  ASSERT_TRUE(QFile::rename(log, log + QStringLiteral(".1")));
  ::kill(static_cast<pid_t>(service.processId()), SIGHUP);
  for (int i = 0; i < 200 && logLines(log).isEmpty(); ++i) QThread::msleep(25);
  EXPECT_FALSE(logLines(log).isEmpty()) << "a new log at the path";
  // A path that cannot be opened now (a folder took its place) leaves the
  // log as it was, and the journal says why.
  ASSERT_TRUE(QFile::rename(log, log + QStringLiteral(".2")));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("tank.log")));
  ::kill(static_cast<pid_t>(service.processId()), SIGHUP);
  QByteArray said;
  service.setReadChannel(QProcess::StandardError);
  while (!said.contains("cannot be opened again") && service.waitForReadyRead(5000))
    said += service.readAllStandardError();
  ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
  ASSERT_TRUE(service.waitForFinished(20000));
  EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(service.exitCode(), 0);
  said += service.readAllStandardError();
  EXPECT_TRUE(said.contains(QStringLiteral("logging to %1,").arg(log).toUtf8()))
      << said.constData();
  EXPECT_TRUE(said.contains(QStringLiteral("SIGHUP: the log %1 is opened again").arg(log).toUtf8()))
      << said.constData();
  EXPECT_TRUE(
      said.contains(QStringLiteral("SIGHUP: the log %1 cannot be opened again").arg(log).toUtf8()))
      << said.constData();
  EXPECT_TRUE(said.contains("the log is left as it was")) << said.constData();
}

// --check-site takes a relative log as the service does, in its state folder,
// and refuses a log that cannot be made there.
TEST(LoggerService, CheckSiteShowsTheLogTheServiceWouldOpenAndRefusesOneItCannotMake) {
  QTemporaryDir dir;
  QFile site(dir.filePath(QStringLiteral("site.toml")));
  ASSERT_TRUE(site.open(QIODevice::WriteOnly));
  site.write(
      "adapter = \"127.0.0.1:1\"\nlog = \"brine.log\"\nmetrics = \"127.0.0.1:1\"\n"
      "[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n");
  site.close();
  const auto check = [&](const QString& stateFolder) {
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("STATE_DIRECTORY"), stateFolder);
    service.setProcessEnvironment(env);
    service.start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--check-site"), site.fileName()});
    EXPECT_TRUE(service.waitForFinished(20000));
    return std::make_tuple(service.exitCode(), QString::fromUtf8(service.readAllStandardOutput()),
                           QString::fromUtf8(service.readAllStandardError()));
  };
  const auto [status, table, errors] = check(dir.path());
  EXPECT_EQ(status, 0) << errors.toStdString();
  EXPECT_TRUE(table.contains(QStringLiteral("\nLog %1\nMetrics 127.0.0.1:1\n")
                                 .arg(dir.filePath(QStringLiteral("brine.log")))))
      << table.toStdString();
  const QString gone = dir.filePath(QStringLiteral("gone"));
  const auto [refused, shown, why] = check(gone);
  EXPECT_EQ(refused, 2);
  EXPECT_TRUE(
      why.contains(QStringLiteral("%1:2: log \"%2/brine.log\": its folder %2 does not exist")
                       .arg(site.fileName(), gone)))
      << why.toStdString();
}

}  // namespace
}  // namespace bw
