#include "AdapterSimulator.h"
#include "RawHttpClient.h"
#include "acquisition/SensorTable.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QRegularExpression>

namespace bw::sim {
namespace {

using namespace std::chrono_literals;
constexpr int kWaitMs = 5000;

QString executable() {
  return QString::fromUtf8(BW_ADAPTER_SIM_EXECUTABLE);
}

struct ProcessResult {
  int exitCode = -1;
  QString out, err;
};

ProcessResult runToEnd(const QStringList& arguments) {
  QProcess process;
  process.start(executable(), arguments);
  ProcessResult run;
  if (!process.waitForFinished(kWaitMs)) {
    process.kill();
    process.waitForFinished();
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

// Next whole line of the process's stdout, empty on timeout.
QByteArray readLine(QProcess& process) {
  while (!process.canReadLine())
    if (!process.waitForReadyRead(kWaitMs)) return {};
  return process.readLine().trimmed();
}

TEST(AdapterSimExecutable, HelpDescribesTheOptionsAndExitsZero) {
  for (const QString& help : {QStringLiteral("--help"), QStringLiteral("--help-all")}) {
    const ProcessResult run = runToEnd({help});
    EXPECT_EQ(run.exitCode, 0) << help.toStdString();
    for (const char* option : {"--listen", "--port", "--conversion-ms", "--seed", "--fault",
                               "--log-requests", "no-answer"})
      EXPECT_TRUE(run.out.contains(QLatin1String(option))) << option;
  }
}

TEST(AdapterSimExecutable, BadArgumentsExitNonZeroNamingTheProblem) {
  const std::pair<QStringList, const char*> cases[] = {
      {{QStringLiteral("--fault"), QStringLiteral("3=melt")}, "melt"},
      {{QStringLiteral("--fault"), QStringLiteral("17=reset")}, "17"},
      {{QStringLiteral("--fault"), QStringLiteral("0=reset")}, "0"},
      {{QStringLiteral("--port"), QStringLiteral("70000")}, "--port"},
      {{QStringLiteral("--listen"), QStringLiteral("nowhere")}, "nowhere"},
      {{QStringLiteral("--bogus")}, "bogus"},
      {{QStringLiteral("-site"), QStringLiteral("other.toml")},
       "unknown option -site (did you mean --site?)"},
      // One that the application would take out of argv unseen.
      {{QStringLiteral("-qmljsdebugger=port:1")}, "unknown option -qmljsdebugger"},
      {{QStringLiteral("--seed"), QStringLiteral("x")}, "--seed x"},
  };
  for (const auto& [arguments, mention] : cases) {
    SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
    const ProcessResult run = runToEnd(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QLatin1String(mention))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String("--conversion-ms"))) << "with the options";
  }
}

TEST(AdapterSimExecutable, ExitsNonZeroWhenThePortIsTaken) {
  AdapterSimulator occupant;
  ASSERT_TRUE(occupant.start());
  const ProcessResult run = runToEnd({QStringLiteral("--port"), QString::number(occupant.port())});
  EXPECT_GT(run.exitCode, 0);
  EXPECT_TRUE(run.err.contains(QStringLiteral("cannot listen"))) << run.err.toStdString();
}

TEST(AdapterSimExecutable, ServesOnAChosenPortLogsRequestsAndStopsCleanlyOnSigterm) {
  QProcess process;
  process.start(executable(),
                {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--conversion-ms"),
                 QStringLiteral("0"), QStringLiteral("--log-requests"), QStringLiteral("--fault"),
                 QStringLiteral("2=non-numeric")});
  const QByteArray listening = readLine(process);
  static const QRegularExpression pattern(
      QStringLiteral("^brinewatch-adapter-sim: listening on 127\\.0\\.0\\.1:(\\d+)$"));
  const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(listening));
  ASSERT_TRUE(match.hasMatch()) << listening.toStdString();
  const quint16 port = match.captured(1).toUShort();
  ASSERT_NE(port, 0);

  test::RawHttpClient client(port);
  const QByteArray target = bw::queryPath(bw::kBuiltInRomCodes[1]).toLatin1();
  const test::RawResponse response = client.get(target);
  EXPECT_EQ(response.status, 200);
  EXPECT_TRUE(response.body.contains("VALUE=\"n/a\""));
  EXPECT_EQ(readLine(process), "GET " + target + " HTTP/1.1");

  process.terminate();
  ASSERT_TRUE(process.waitForFinished(kWaitMs));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
}

}  // namespace
}  // namespace bw::sim
