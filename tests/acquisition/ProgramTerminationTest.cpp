#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "AdapterSimulator.h"
#include "WindowHarness.h"

namespace bw {
namespace {

constexpr int kTwelve = 12;

// Settings of a child whose configuration folder is `configHome`.
QStringList childPlacement(const QString& configHome) {
  QSettings settings(configHome + QStringLiteral("/Brinewatch/Brinewatch.conf"),
                     QSettings::IniFormat);
  settings.beginGroup(QStringLiteral("Settings"));
  QStringList values;
  for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
    values << settings.value(QLatin1String(key)).toString();
  return values;
}

bool allWhole(const QStringList& placement) {
  for (const QString& value : placement) {
    bool whole = false;
    value.toInt(&whole);
    if (!whole) return false;
  }
  return true;
}

// The program ended by `signalNumber` while it logs: its end sequence runs.
void endWhileLogging(int signalNumber) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("terminated.log"));
  const QString config = dir.filePath(QStringLiteral("config"));
  QProcess child;
  child.setProcessEnvironment(test::programEnvironment(config));
  child.start(QStringLiteral(LOGGING_PROGRAM_CHILD), {adapter.host(), log});
  ASSERT_TRUE(child.waitForStarted());
  int reported = 0;
  while (reported < 3 && child.waitForReadyRead(20000)) {
    while (child.canReadLine()) {
      const QByteArray line = child.readLine().trimmed();
      if (line.startsWith("record ")) reported = line.mid(7).toInt();
    }
  }
  ASSERT_GE(reported, 3) << child.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(child.processId()), signalNumber);
  ASSERT_TRUE(child.waitForFinished(20000));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0);
  const QByteArray rest = child.readAllStandardOutput();
  EXPECT_TRUE(rest.contains("ended closed")) << rest.toStdString();
  for (const QByteArray& line : rest.split('\n'))
    if (line.startsWith("record ")) reported = line.mid(7).toInt();

  const auto lines = test::wholeRecordLines(log, kTwelve);
  EXPECT_EQ(lines.size(), reported) << "every record reported, and nothing after the end";
  const QStringList placement = childPlacement(config);
  EXPECT_TRUE(allWhole(placement)) << placement.join(u' ').toStdString();
  EXPECT_GT(placement[2].toInt(), 0);
}

TEST(ProgramTermination, SigtermWhileLoggingClosesTheLogOnWholeRecordsAndWritesThePlacement) {
  endWhileLogging(SIGTERM);
}

// The terminal the program was started from went away.
TEST(ProgramTermination, SighupWhileLoggingEndsTheProgramAsSigtermDoes) {
  endWhileLogging(SIGHUP);
}

TEST(ProgramTermination, AQuitRequestEndsTheProgramThroughItsEndSequence) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("quit.log"));
  const QString config = dir.filePath(QStringLiteral("config"));
  QProcess child;
  child.setProcessEnvironment(test::programEnvironment(config));
  child.start(QStringLiteral(LOGGING_PROGRAM_CHILD), {adapter.host(), log, QStringLiteral("quit")});
  ASSERT_TRUE(child.waitForFinished(30000)) << "the quit request was not heard";
  EXPECT_EQ(child.exitCode(), 0);
  const QByteArray out = child.readAllStandardOutput();
  EXPECT_TRUE(out.contains("record 3\n")) << out.toStdString();
  EXPECT_FALSE(out.contains("record 4")) << "no cycle after the quit";
  EXPECT_TRUE(out.contains("ended closed")) << out.toStdString();
  EXPECT_EQ(test::wholeRecordLines(log, kTwelve).size(), 3);
  EXPECT_TRUE(allWhole(childPlacement(config)));
}

// The program itself talks to the adapter named at build time; it runs in a
// network namespace of its own with a simulator on that address.
TEST(ProgramTermination, SigtermEndsTheProgramItselfWithThePlacementWritten) {
  const QString host = QStringLiteral(BRINEWATCH_ADAPTER_HOST);
  if (!host.startsWith(QLatin1String("127.")))
    GTEST_SKIP() << "the adapter host is not on loopback";
  const QStringList unshare =
      ::geteuid() == 0 ? QStringList{QStringLiteral("--net")}
                       : QStringList{QStringLiteral("--map-root-user"), QStringLiteral("--net")};
  if (QProcess::execute(QStringLiteral("unshare"), unshare + QStringList{QStringLiteral("true")}) !=
      0)
    GTEST_SKIP() << "no network namespace can be made here";

  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("config"));
  const QString requests = dir.filePath(QStringLiteral("requests"));
  const QString simPid = dir.filePath(QStringLiteral("sim.pid"));
  const QString port = host.contains(u':') ? host.section(u':', 1) : QStringLiteral("80");
  // The shell becomes the program, so the child's pid is the program's.
  const QString script = QStringLiteral(
      "ip link set lo up || exit 90\n"
      "\"$1\" --listen \"$2\" --port \"$3\" --conversion-ms 5 --log-requests > \"$4\" &\n"
      "echo $! > \"$5\"\n"
      "for i in $(seq 200); do grep -q listening \"$4\" && break; sleep 0.05; done\n"
      "exec \"$6\"\n");
  QProcess child;
  child.setProcessEnvironment(test::programEnvironment(config));
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QStringLiteral("unshare"),
              unshare + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), script,
                                    QStringLiteral("sh"), QStringLiteral(ADAPTER_SIM_PROGRAM),
                                    host.section(u':', 0, 0), port, requests, simPid,
                                    QStringLiteral(BRINEWATCH_PROGRAM)});
  ASSERT_TRUE(child.waitForStarted());
  auto queries = [&requests] {
    QFile file(requests);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count("GET ") : 0;
  };
  // Two queries: the program is in its polling loop, and most likely in the
  // wait before its next query, which the adapter answered long before.
  for (int i = 0; i < 400 && queries() < 2 && child.state() == QProcess::Running; ++i)
    QThread::msleep(50);
  ASSERT_GE(queries(), 2) << "the program did not poll";
  ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
  const bool finished = child.waitForFinished(20000);
  QFile pidFile(simPid);
  if (pidFile.open(QIODevice::ReadOnly)) ::kill(pidFile.readAll().trimmed().toInt(), SIGTERM);
  ASSERT_TRUE(finished);
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0);
  const QStringList placement = childPlacement(config);
  EXPECT_TRUE(allWhole(placement)) << placement.join(u' ').toStdString();
  EXPECT_GT(placement[2].toInt(), 0);
}

}  // namespace
}  // namespace bw

// Ends the system asks for never wait on a box.
namespace bw {
namespace {

// Settings that cannot be saved (the configuration folder is a plain file):
// SIGTERM ends the program at once, telling standard error, with no box.
TEST(ProgramEndWithoutBoxes, SigtermWhenThePlacementCannotBeSavedEndsAndTellsStandardError) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  const QString notAFolder = dir.filePath(QStringLiteral("config"));
  QFile plain(notAFolder);
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  QProcess child;
  child.setProcessEnvironment(test::programEnvironment(notAFolder));
  child.start(QStringLiteral(LOGGING_PROGRAM_CHILD),
              {adapter.host(), dir.filePath(QStringLiteral("end.log"))});
  ASSERT_TRUE(child.waitForStarted());
  int reported = 0;
  while (reported < 2 && child.waitForReadyRead(20000)) {
    while (child.canReadLine()) {
      const QByteArray line = child.readLine().trimmed();
      if (line.startsWith("record ")) reported = line.mid(7).toInt();
    }
  }
  ASSERT_GE(reported, 2) << child.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
  ASSERT_TRUE(child.waitForFinished(20000)) << "a box holds the end";
  EXPECT_EQ(child.exitCode(), 0);
  EXPECT_TRUE(child.readAllStandardError().contains("The setting MainLeft cannot be saved"));
}

// The box of a site file that cannot be used, before anything is polled:
// SIGTERM and SIGINT close it and end the program.
TEST(ProgramEndWithoutBoxes, SigtermOrSigintEndsTheSiteFileBox) {
  for (const int signalNumber : {SIGTERM, SIGINT}) {
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("bad.toml"));
    QFile file(site);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("adapter = \"127.0.0.1:9\"\ncolour = 1\n");
    file.close();
    QProcess program;
    program.setProcessEnvironment(test::programEnvironment(dir.filePath(QStringLiteral("config"))));
    program.start(QStringLiteral(BRINEWATCH_PROGRAM), {QStringLiteral("--site"), site});
    ASSERT_TRUE(program.waitForStarted());
    // Time for the box to come up; it stays until it is answered.
    EXPECT_FALSE(program.waitForFinished(2000)) << "the box did not wait";
    ::kill(static_cast<pid_t>(program.processId()), signalNumber);
    ASSERT_TRUE(program.waitForFinished(20000)) << "the box ignored signal " << signalNumber;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);  // the site file cannot be used
  }
}

}  // namespace
}  // namespace bw
