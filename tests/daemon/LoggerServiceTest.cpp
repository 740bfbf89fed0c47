#include <gtest/gtest.h>

#include <QCoreApplication>
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
#include "UnitFile.h"
#include "daemon/PortHolder.h"
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
                  const QString& metrics, const QString& file = QStringLiteral("site.toml")) {
  QFile site(dir.filePath(file));
  if (!site.open(QIODevice::WriteOnly)) return {};
  site.write(QStringLiteral("adapter = \"%1\"\n").arg(adapter).toUtf8());
  if (!log.isEmpty()) site.write(QStringLiteral("log = \"%1\"\n").arg(log).toUtf8());
  if (!metrics.isEmpty()) site.write(QStringLiteral("metrics = \"%1\"\n").arg(metrics).toUtf8());
  site.write("[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n");
  return site.fileName();
}

// A failure that may pass is restarted by the unit; one that stays until the
// operator mends it stops the unit, at once. (The log and the metrics
// address that cannot be used are tested in process.)
TEST(LoggerService, EndsAtTheStartWithAStatusThatTellsAPermanentFailureFromAPassingOne) {
  QTemporaryDir dir;
  QTcpServer taken;
  ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
  const QString log = dir.filePath(QStringLiteral("tank.log"));
  const QString adapter = QStringLiteral("127.0.0.1:1");
  struct Case {
    const char* what;
    QStringList arguments;  // after --site FILE when it starts with a site
    QString log, metrics;
    int status;
    QString said;
  };
  const Case cases[] = {
      {"a word of one dash",
       {QStringLiteral("-site"), QStringLiteral("x.toml")},
       {},
       {},
       2,
       QStringLiteral("unknown option -site")},
      {"a site file without a log", {}, {}, {}, 2, QStringLiteral("no log = \"PATH\"")},
      {"a metrics port taken",
       {},
       log,
       QStringLiteral("127.0.0.1:%1").arg(taken.serverPort()),
       1,
       // Named, as this process may see who holds it.
       QStringLiteral("port %1 is taken by daemon_tests").arg(taken.serverPort())},
  };
  const QSet<int> prevented = test::unitRestartPrevented(BRINEWATCHD_UNIT);
  // The instances restart on the same failures as the one logger's unit.
  EXPECT_EQ(test::unitRestartPrevented(BRINEWATCHD_TEMPLATE_UNIT), prevented);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QStringList arguments = c.arguments;
    if (arguments.isEmpty())
      arguments = {QStringLiteral("--site"), writeSite(dir, adapter, c.log, c.metrics)};
    QProcess service;
    service.start(QStringLiteral(BRINEWATCHD), arguments);
    ASSERT_TRUE(service.waitForFinished(20000));
    EXPECT_EQ(service.exitCode(), c.status);
    const QByteArray said = service.readAllStandardError();
    EXPECT_TRUE(said.contains(c.said.toUtf8())) << said.constData();
    EXPECT_EQ(prevented.contains(c.status), c.status != 1)
        << "the unit's RestartPreventExitStatus=";
  }
}

// Two loggers whose site files give one log or one metrics port: the second
// ends at the start, naming the first, with a status the unit does not
// restart on, and the first logs and serves on, its series labelled with its
// name.
TEST(LoggerService, ASecondLoggerOnTheLogOrMetricsPortOfAnotherRefusesNamingIt) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  const quint16 port = freePort();
  const QString metrics = QStringLiteral("127.0.0.1:%1").arg(port);
  const QString log = dir.filePath(QStringLiteral("tank1.log"));
  const QString first = writeSite(dir, adapter.host(), log, metrics, QStringLiteral("tank1.toml"));
  QProcess tank1;
  tank1.start(QStringLiteral(BRINEWATCHD),
              {QStringLiteral("--site"), first, QStringLiteral("--name"), QStringLiteral("tank1")});
  ASSERT_TRUE(tank1.waitForStarted());
  for (int i = 0; i < 200 && logLines(log).isEmpty(); ++i) QThread::msleep(25);
  const QByteArray scraped = scrape(port);

  const QString pid = QString::number(tank1.processId());
  struct Case {
    const char* what;
    QString log, metrics;
    int status;
    QString said;
  };
  const Case cases[] = {
      {"one log", log, QStringLiteral("127.0.0.1:%1").arg(freePort()), 4,
       QStringLiteral("the log %1 cannot be opened: another program logs to it (brinewatchd, "
                      "process %2)")
           .arg(log, pid)},
      {"one metrics port", dir.filePath(QStringLiteral("tank2.log")), metrics, 6,
       QStringLiteral("port %1 is taken by brinewatchd --site %2 --name tank1 (pid %3): another "
                      "logger")
           .arg(port)
           .arg(first, pid)},
  };
  const QSet<int> prevented = test::unitRestartPrevented(BRINEWATCHD_TEMPLATE_UNIT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QProcess tank2;
    tank2.start(QStringLiteral(BRINEWATCHD),
                {QStringLiteral("--site"),
                 writeSite(dir, adapter.host(), c.log, c.metrics, QStringLiteral("tank2.toml")),
                 QStringLiteral("--name"), QStringLiteral("tank2")});
    ASSERT_TRUE(tank2.waitForFinished(20000));
    EXPECT_EQ(tank2.exitCode(), c.status);
    const QByteArray said = tank2.readAllStandardError();
    EXPECT_TRUE(said.contains(c.said.toUtf8())) << said.constData();
    EXPECT_TRUE(prevented.contains(c.status));
  }
  // Where /proc hides the first (another dynamic user), its metrics name it.
  const std::optional<PortHolder> asked = askPortMetrics(QStringLiteral("0.0.0.0"), port);
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->who.toStdString(), "brinewatchd of site \"tank1\"");
  EXPECT_TRUE(asked->logger);

  ::kill(static_cast<pid_t>(tank1.processId()), SIGTERM);
  ASSERT_TRUE(tank1.waitForFinished(20000));
  EXPECT_EQ(tank1.exitCode(), 0) << tank1.readAllStandardError().constData();
  EXPECT_TRUE(scraped.contains("brinewatch_build_info{program=\"brinewatchd\",site=\"tank1\","))
      << scraped.constData();
  EXPECT_TRUE(scraped.contains("brinewatch_log_writing{site=\"tank1\"} 1\n"))
      << scraped.constData();
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
