#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include "TrendLogs.h"

namespace bw {
namespace {

using test::at;
using test::logLine;

struct Outcome {
  int status;
  QByteArray out;
  QByteArray err;
};

// The program as a user runs it: no display, no platform chosen.
Outcome trend(const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QString::fromLatin1(name));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(BRINEWATCH_TREND), arguments);
  process.waitForFinished(60000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), process.readAllStandardError()};
}

class TrendCli : public ::testing::Test {
 protected:
  QString log() {
    QByteArray bytes;
    bytes += logLine(at(8, 23, 59, 50), {4.5f, -1.0f, 85.0f});
    bytes += logLine(at(9, 0), {4.4375f, -2.0f, -0.0625f, 1e-6f});  // midnight: the date alone
    bytes += logLine(at(8, 23, 59, 55), {4.375f});                  // the clock set back
    bytes += "not a log line\r\n";
    return folder.write(QStringLiteral("a.log"), bytes);
  }
  test::LogFolder folder;
};

TEST_F(TrendCli, Csv_OneRowPerLineInFileOrderWithTheReadingsAsTheyStand) {
  const Outcome run = trend({QStringLiteral("--csv"), folder.path(QStringLiteral("a.csv")), log()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(folder.read(QStringLiteral("a.csv")),
            "time,sensor1,sensor2,sensor3,sensor4\n"
            "2026-12-08T23:59:50,4.5,-1,85,\n"
            "2026-12-09T00:00:00,4.4375,-2,-0.0625,1e-06\n"
            "2026-12-08T23:59:55,4.375,,,\n");
  EXPECT_TRUE(run.err.contains("a.log:4: not a log line")) << run.err.constData();

  const Outcome ranged =
      trend({QStringLiteral("--csv"), folder.path(QStringLiteral("b.csv")),
             QStringLiteral("--from"), QStringLiteral("2026-12-08T23:59:55"),
             QStringLiteral("--to"), QStringLiteral("2026-12-08T23:59:59"), log()});
  EXPECT_EQ(ranged.status, 0);
  EXPECT_EQ(folder.read(QStringLiteral("b.csv")), "time,sensor1\n2026-12-08T23:59:55,4.375\n");
}

TEST_F(TrendCli, PngAndSvg_DrawnWithoutADisplayAtTheSizeAsked) {
  const QString png = folder.path(QStringLiteral("a.png"));
  EXPECT_EQ(trend({QStringLiteral("--png"), png, QStringLiteral("--size"),
                   QStringLiteral("640x320"), log()})
                .status,
            0);
  EXPECT_EQ(QImage(png).size(), QSize(640, 320));
  const QString svg = folder.path(QStringLiteral("a.svg"));
  EXPECT_EQ(trend({QStringLiteral("--svg"), svg, log()}).status, 0);
  EXPECT_TRUE(folder.read(QStringLiteral("a.svg")).contains("<svg"));
}

TEST_F(TrendCli, ExitStatusesAndTheBadLineReport) {
  const QString out = folder.path(QStringLiteral("x.csv"));
  EXPECT_EQ(trend({QStringLiteral("--help")}).status, 0);
  EXPECT_EQ(trend({QStringLiteral("--csv"), out}).status, 1);
  EXPECT_EQ(
      trend({QStringLiteral("--png"), out, QStringLiteral("--size"), QStringLiteral("big"), log()})
          .status,
      1);
  EXPECT_EQ(trend({QStringLiteral("--csv"), out, QStringLiteral("--from"),
                   QStringLiteral("yesterday"), log()})
                .status,
            1);
  EXPECT_EQ(
      trend({QStringLiteral("--csv"), out, log(), folder.path(QStringLiteral("gone.log"))}).status,
      2);

  QByteArray junk;
  for (int i = 0; i < 25; ++i) junk += "junk\r\n";
  const Outcome none =
      trend({QStringLiteral("--csv"), out, folder.write(QStringLiteral("junk.log"), junk)});
  EXPECT_EQ(none.status, 3);
  EXPECT_FALSE(QFile::exists(out));
  const QList<QByteArray> lines = none.err.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 22) << none.err.constData();
  EXPECT_TRUE(lines[19].endsWith("junk.log:20: not a log line"));
  EXPECT_TRUE(lines[20].startsWith("25 lines")) << lines[20].constData();
}

}  // namespace
}  // namespace bw
