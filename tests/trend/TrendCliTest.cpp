#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Compressed.h"
#include "LogLines.h"

namespace bw {
namespace {

using test::at;
using test::logLine;

struct Outcome {
  int status;
  QByteArray out;
  QByteArray err;
};

// The program as a user runs it: no display, no platform chosen. A run that
// has not ended within the bound is killed and fails as status -2.
Outcome trend(const QStringList& arguments, const QString& appendOutputTo = {},
              const QString& program = QStringLiteral(BRINEWATCH_TREND)) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QString::fromLatin1(name));
  // No site file but the ones a test names.
  env.insert(QStringLiteral("XDG_CONFIG_HOME"),
             QDir::temp().filePath(QStringLiteral("no-such-config")));
  process.setProcessEnvironment(env);
  if (!appendOutputTo.isEmpty()) process.setStandardOutputFile(appendOutputTo, QIODevice::Append);
  process.start(program, arguments);
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    return {-2, {}, process.readAllStandardError()};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray twelveSensorLines(int count) {
  QByteArray bytes;
  for (int i = 0; i < count; ++i)
    bytes += logLine(at(8, 10).addSecs(9 * i),
                     {4.5f, 4.5625f, -1.0f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f});
  return bytes;
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

// --names heads the columns with the site's names, quoted where they need
// it, and with a ' before a name a spreadsheet would take for a formula;
// without it the header stays as scripts know it. A site file named on
// the command line that cannot be used ends the run.
TEST_F(TrendCli, Csv_NamesFromTheSiteOnlyWhenAsked) {
  const QString site =
      folder.write(QStringLiteral("site.toml"),
                   "adapter = \"10.0.0.2\"\n[[sensor]]\nslot = 2\nrom = \"06000000A4EC7428\"\n"
                   "name = \"South, \\\"deep\\\"\"\n"
                   "[[sensor]]\nslot = 3\nrom = \"B900000027CA8F28\"\nname = \"=1+2\"\n"
                   "[[sensor]]\nslot = 4\nrom = \"E6000000B4E6AC28\"\nname = \"@x, \\\"y\\\"\"\n");
  const Outcome named = trend({QStringLiteral("--csv"), QStringLiteral("-"),
                               QStringLiteral("--names"), QStringLiteral("--site"), site, log()});
  EXPECT_EQ(named.status, 0) << named.err.constData();
  EXPECT_TRUE(
      named.out.startsWith("time,sensor1,\"South, \"\"deep\"\"\",\"'=1+2\",\"'@x, \"\"y\"\"\"\n"))
      << named.out.constData();
  const Outcome plain =
      trend({QStringLiteral("--csv"), QStringLiteral("-"), QStringLiteral("--site"), site, log()});
  EXPECT_TRUE(plain.out.startsWith("time,sensor1,sensor2,sensor3,sensor4\n"));
  const QString bad = folder.write(QStringLiteral("bad.toml"), "adapter = 1\n");
  EXPECT_EQ(
      trend({QStringLiteral("--csv"), QStringLiteral("-"), QStringLiteral("--site"), bad, log()})
          .status,
      2);
}

TEST_F(TrendCli, PngAndSvg_DrawnWithoutADisplayAtTheSizeAsked) {
  const QString png = folder.path(QStringLiteral("a.png"));
  EXPECT_EQ(trend({QStringLiteral("--png"), png, QStringLiteral("--size"),
                   QStringLiteral("640x320"), log()})
                .status,
            0);
  EXPECT_EQ(QImage(png).size(), QSize(640, 320));
  EXPECT_EQ(trend({QStringLiteral("--png"), png, QStringLiteral("--all-sensors"), log()}).status,
            0);
  EXPECT_EQ(trend({QStringLiteral("--csv"), png, QStringLiteral("--all-sensors"), log()}).status,
            1);
  // The SVG is as many pixels as asked for, to other programs too.
  const QString svg = folder.path(QStringLiteral("a.svg"));
  EXPECT_EQ(trend({QStringLiteral("--svg"), svg, QStringLiteral("--size"),
                   QStringLiteral("1200x600"), log()})
                .status,
            0);
  QXmlStreamReader xml(folder.read(QStringLiteral("a.svg")));
  ASSERT_TRUE(xml.readNextStartElement());
  EXPECT_EQ(xml.attributes().value(QLatin1String("width")), u"1200");
  EXPECT_EQ(xml.attributes().value(QLatin1String("height")), u"600");
  const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
  if (!rsvg.isEmpty()) {
    const QString drawn = folder.path(QStringLiteral("svg.png"));
    EXPECT_EQ(QProcess::execute(rsvg, {svg, QStringLiteral("-o"), drawn}), 0);
    EXPECT_EQ(QImage(drawn).size(), QSize(1200, 600));
  }
}

// Whatever name OUT gives for a log (the log itself, a link to it, the
// first name of a glob, standard output appended to it), the log keeps
// every byte and nothing is written.
TEST_F(TrendCli, AnOutputThatIsALog_IsRefusedAndTheLogKeepsItsBytes) {
  const QString a = log();
  const QByteArray bytes = folder.read(QStringLiteral("a.log"));
  const QString b = folder.write(QStringLiteral("b.log"), bytes);  // *.log: a.log b.log
  const QString symlink = folder.path(QStringLiteral("link.log"));
  const QString hardLink = folder.path(QStringLiteral("hard.log"));
  ASSERT_TRUE(QFile::link(a, symlink));
  ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(hardLink).constData()), 0);
  const struct {
    QStringList arguments;
    QString appendOutputTo;
  } runs[] = {
      {{QStringLiteral("--csv"), a, a}, {}},
      {{QStringLiteral("--png"), symlink, a}, {}},
      {{QStringLiteral("--svg"), hardLink, b}, {}},  // a and hard.log are one file
      {{QStringLiteral("--png"), a, b}, {}},
      {{QStringLiteral("--csv"), QStringLiteral("-"), a}, a},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.arguments.join(u' ').toStdString());
    const Outcome outcome = trend(run.arguments, run.appendOutputTo);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains("the log")) << outcome.err.constData();
    EXPECT_EQ(folder.read(QStringLiteral("a.log")), bytes);
  }

  // Logs whose first line is no log line, first of a glob: each is kept.
  const QByteArray line = logLine(at(8, 10), {4.5f});
  const QByteArray starts[] = {line.left(20) + "\r\n",  // cut by a crash
                               "\r\n",
                               "\xEF\xBB\xBF",  // a byte-order mark on the same line
                               QByteArray(5000, '\0'), QByteArray(13000, 'x') + '\n'};
  for (const QByteArray& start : starts) {
    const QString other = folder.write(QStringLiteral("other.log"), start + line + line);
    const Outcome outcome = trend({QStringLiteral("--png"), other, b});
    EXPECT_EQ(outcome.status, 1) << start.left(30).toHex().constData();
    EXPECT_TRUE(outcome.err.contains("holds log lines")) << outcome.err.constData();
    EXPECT_EQ(folder.read(QStringLiteral("other.log")), start + line + line);
  }
  QFile holed(folder.path(QStringLiteral("holed.log")));  // a hole, as a truncation leaves
  ASSERT_TRUE(holed.open(QIODevice::WriteOnly));
  ASSERT_TRUE(holed.seek(64 << 20));
  ASSERT_EQ(holed.write(line), line.size());
  holed.close();
  EXPECT_EQ(trend({QStringLiteral("--csv"), holed.fileName(), b}).status, 1);
  EXPECT_EQ(QFileInfo(holed.fileName()).size(), (64 << 20) + line.size());
  // An earlier export is no log, and is replaced.
  const QString csv =
      folder.write(QStringLiteral("old.csv"), "time,sensor1\n2026-12-08T10:00:00,4.5\n");
  EXPECT_EQ(trend({QStringLiteral("--csv"), csv, b}).status, 0);
  EXPECT_TRUE(folder.read(QStringLiteral("old.csv")).startsWith("time,sensor1,sensor2,"));
}

// `brine.log*` after rotations: the live log and its predecessors, plain and
// compressed, in the order of their lines; a compressed one cut short is
// read to the cut with status 5; and a compressed log is never an output.
TEST_F(TrendCli, ARotatedLogAndItsCompressedPredecessors_AreOneSeriesInTimeOrder) {
  const auto day = [](int d) { return logLine(at(d, 10), {4.5f}) + logLine(at(d, 11), {4.5f}); };
  const QStringList logs = {folder.write(QStringLiteral("brine.log"), day(9)),
                            folder.write(QStringLiteral("brine.log.1"), day(8)),
                            folder.write(QStringLiteral("brine.log.10.gz"), test::gzipped(day(1))),
                            folder.write(QStringLiteral("brine.log.2.gz"), test::xzed(day(7))),
                            folder.write(QStringLiteral("brine.log.3.zst"), test::zstded(day(6)))};
  const QString csv = folder.path(QStringLiteral("all.csv"));
  ASSERT_EQ(trend(QStringList{QStringLiteral("--csv"), csv} + logs).status, 0);
  QByteArray expected = "time,sensor1\n";
  for (const int d : {1, 6, 7, 8, 9})
    expected += QStringLiteral("2026-12-%1T10:00:00,4.5\n2026-12-%1T11:00:00,4.5\n")
                    .arg(d, 2, 10, QLatin1Char('0'))
                    .toLatin1();
  EXPECT_EQ(folder.read(QStringLiteral("all.csv")), expected);

  QByteArray month;
  for (int i = 0; i < 20000; ++i) month += logLine(at(2, 0).addSecs(9 * i), {4.5f, 3.0f});
  const QByteArray packed = test::gzipped(month);
  const QString cut =
      folder.write(QStringLiteral("brine.log.4.gz"), packed.left(packed.size() / 2));
  const Outcome outcome = trend({QStringLiteral("--csv"), csv, cut, logs[0]});
  EXPECT_EQ(outcome.status, 5) << outcome.err.constData();
  EXPECT_TRUE(outcome.err.contains("brine.log.4.gz:")) << outcome.err.constData();
  EXPECT_TRUE(outcome.err.contains("cut short")) << outcome.err.constData();
  const int rows = static_cast<int>(folder.read(QStringLiteral("all.csv")).count('\n'));
  EXPECT_GT(rows, 1000);
  EXPECT_LT(rows, 20000);

  for (const QString& out : {logs[2], logs[3], logs[4]}) {
    const QByteArray before = folder.read(QFileInfo(out).fileName());
    const Outcome refused = trend({QStringLiteral("--png"), out, logs[0]});
    EXPECT_EQ(refused.status, 1) << out.toStdString();
    EXPECT_TRUE(refused.err.contains("holds log lines")) << refused.err.constData();
    EXPECT_EQ(folder.read(QFileInfo(out).fileName()), before);
  }
}

// A failed export leaves what stood at OUT; a named pipe stays a pipe and gets
// the CSV, "-" is standard output; a write that fails says why, with its own status.
TEST_F(TrendCli, OutputsAreWrittenWholeOrNotAtAll) {
  const QString existing = folder.write(QStringLiteral("old.csv"), "earlier export\n");
  const QString junk = folder.write(QStringLiteral("junk.log"), "junk\r\n");
  EXPECT_EQ(trend({QStringLiteral("--csv"), existing, junk}).status, 3);
  EXPECT_EQ(trend({QStringLiteral("--png"), existing, junk}).status, 3);
  EXPECT_EQ(folder.read(QStringLiteral("old.csv")), "earlier export\n");
  EXPECT_EQ(QDir(folder.path(QString())).entryList(QDir::Files | QDir::Hidden).size(),
            2);  // no temporary left

  // A link to an earlier export stays a link; what it points at is written,
  // where nothing stood yet too.
  const QString linked = folder.path(QStringLiteral("linked.csv"));
  const QString dangling = folder.path(QStringLiteral("dangling.csv"));
  ASSERT_TRUE(QFile::link(QStringLiteral("old.csv"), linked));
  ASSERT_TRUE(QFile::link(QStringLiteral("new.csv"), dangling));
  for (const QString& link : {linked, dangling}) {
    EXPECT_EQ(trend({QStringLiteral("--csv"), link, log()}).status, 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
  }
  EXPECT_TRUE(folder.read(QStringLiteral("old.csv")).startsWith("time,sensor1,"));
  EXPECT_TRUE(folder.read(QStringLiteral("new.csv")).startsWith("time,sensor1,"));
  ASSERT_TRUE(QFile(existing).remove());
  ASSERT_TRUE(QFile(folder.path(QStringLiteral("new.csv"))).remove());
  folder.write(QStringLiteral("old.csv"), "earlier export\n");

  const Outcome piped = trend({QStringLiteral("--csv"), QStringLiteral("-"), log()});
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(piped.out.startsWith("time,sensor1,"));

  const QString fifo = folder.path(QStringLiteral("out.fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(trend({QStringLiteral("--csv"), fifo, log()}).status, 4);  // nobody reads it
  QProcess reader;
  reader.start(QStringLiteral("cat"), {fifo});
  ASSERT_TRUE(reader.waitForStarted());
  EXPECT_EQ(trend({QStringLiteral("--csv"), fifo, log()}).status, 0);
  ASSERT_TRUE(reader.waitForFinished(10000));
  EXPECT_TRUE(reader.readAllStandardOutput().startsWith("time,sensor1,"));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // A full disk, and a file size limit on a regular file, say so.
  const Outcome full = trend({QStringLiteral("--csv"), QStringLiteral("/dev/full"), log()});
  EXPECT_EQ(full.status, 4);
  EXPECT_TRUE(full.err.contains(std::strerror(ENOSPC))) << full.err.constData();
  const Outcome limited = trend(
      {QStringLiteral("-c"), QStringLiteral(R"sh(trap '' XFSZ; ulimit -f 0; exec "$0" "$@")sh"),
       QStringLiteral(BRINEWATCH_TREND), QStringLiteral("--csv"), existing, log()},
      {}, QStringLiteral("/bin/sh"));
  EXPECT_EQ(limited.status, 4);
  EXPECT_TRUE(limited.err.contains(std::strerror(EFBIG))) << limited.err.constData();
  EXPECT_EQ(folder.read(QStringLiteral("old.csv")), "earlier export\n");
  EXPECT_EQ(QDir(folder.path(QString()))
                .entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden),
            QStringList());

  const Outcome noFolder =
      trend({QStringLiteral("--csv"), folder.path(QStringLiteral("gone/x.csv")), log()});
  EXPECT_EQ(noFolder.status, 4);
  EXPECT_TRUE(noFolder.err.contains(std::strerror(ENOENT))) << noFolder.err.constData();
  EXPECT_EQ(trend({QStringLiteral("--csv"), folder.path(QString()), log()}).status, 4);
}

// Nothing that is not a regular file is read: a named pipe would block the
// open for ever, a device never ends. A hole is passed over unread, in the
// CSV's reading and the picture's.
TEST_F(TrendCli, PipesDevicesAndEndlessFiles_EndAtOnce) {
  const QString fifo = folder.path(QStringLiteral("pipe.log"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString& log : {fifo, QStringLiteral("/dev/zero")}) {
    const Outcome run = trend({QStringLiteral("--csv"), folder.path(QStringLiteral("x.csv")), log});
    EXPECT_EQ(run.status, 2) << log.toStdString();
    EXPECT_TRUE(run.err.contains("not a regular file")) << run.err.constData();
  }
  QFile sparse(folder.path(QStringLiteral("sparse.log")));
  ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
  ASSERT_TRUE(sparse.resize(qint64(64) << 30));  // 64 GiB of nothing, on no disk
  sparse.close();
  for (const char* mode : {"--csv", "--png"}) {
    const Outcome endless =
        trend({QString::fromLatin1(mode), folder.path(QStringLiteral("x.out")), sparse.fileName()});
    EXPECT_EQ(endless.status, 3) << mode;
    EXPECT_TRUE(endless.err.contains("sparse.log:1: no line end in the last 68719476736 bytes"))
        << endless.err.constData();
  }
}

// However long a stretch without a line end comes, after however many bad
// lines (a hundred megabytes of one line, zeros as a truncation under a
// writer leaves, a hole), it is one bad line and every line after it is
// read: the first after the zeros or the hole too.
TEST_F(TrendCli, AStretchWithoutALineEnd_IsOneBadLineAndEveryLineAfterItIsRead) {
  QByteArray log;
  for (int i = 0; i < 25; ++i) log += "junk\r\n";
  const QByteArray lines = twelveSensorLines(1000);
  log += lines + QByteArray(8 << 20, 'x') + "\r\n" + lines + QByteArray(3 << 20, '\0') + lines;
  QFile holed(folder.path(QStringLiteral("holed.log")));
  ASSERT_TRUE(holed.open(QIODevice::WriteOnly));
  ASSERT_EQ(holed.write(log), log.size());
  ASSERT_TRUE(holed.seek(holed.pos() + (32 << 20)));
  ASSERT_EQ(holed.write(lines), lines.size());
  holed.close();
  const Outcome run = trend({QStringLiteral("--csv"), QStringLiteral("-"), holed.fileName()});
  EXPECT_EQ(run.status, 0) << run.err.constData();
  EXPECT_EQ(run.out.count('\n'), 4001);
  const QList<QByteArray> err = run.err.trimmed().split('\n');
  ASSERT_EQ(err.size(), 21) << run.err.constData();
  EXPECT_TRUE(err[20].startsWith("28 lines that are not log lines in all")) << err[20].constData();
}

// Names are bytes: a log, an output and a folder whose names are not UTF-8
// are read and written under the very bytes given.
TEST_F(TrendCli, NamesThatAreNotUtf8_AreReadAndWrittenByTheirBytes) {
  const QByteArray dir = QFile::encodeName(folder.path(QString()));
  const int fd = ::open((dir + "/\xff\xfe.log").constData(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  const QByteArray line = logLine(at(8, 10), {4.5f});
  ASSERT_EQ(::write(fd, line.constData(), static_cast<std::size_t>(line.size())), line.size());
  ::close(fd);
  ASSERT_EQ(::mkdir((dir + "/\xfd").constData(), 0755), 0);
  // The shell passes the bytes on as they are; QProcess would make them UTF-8.
  const auto run = [&](const char* script) {
    return trend({QStringLiteral("-c"), QString::fromLatin1(script),
                  QStringLiteral(BRINEWATCH_TREND), folder.path(QString())},
                 {}, QStringLiteral("/bin/sh"));
  };
  const Outcome toStandardOutput =
      run(R"sh(exec "$0" --csv - "$(printf '%s/\377\376.log' "$1")")sh");
  EXPECT_EQ(toStandardOutput.status, 0) << toStandardOutput.err.constData();
  EXPECT_EQ(toStandardOutput.out, "time,sensor1\n2026-12-08T10:00:00,4.5\n");
  for (
      const char* script :
      {R"sh(exec "$0" --csv "$1/$(printf '\374').csv" "$(printf '%s/\377\376.log' "$1")")sh",
       R"sh(exec "$0" --png "$1/$(printf '\375/\373').png" "$(printf '%s/\377\376.log' "$1")")sh"}) {
    const Outcome written = run(script);
    EXPECT_EQ(written.status, 0) << script << ": " << written.err.constData();
  }
  struct stat st {};
  EXPECT_EQ(::stat((dir + "/\xfc.csv").constData(), &st), 0);
  EXPECT_EQ(st.st_size, 37);
  EXPECT_EQ(::stat((dir + "/\xfd/\xfb.png").constData(), &st), 0);
  // The temporary folder cannot remove what it cannot name.
  for (const char* name : {"/\xfd/\xfb.png", "/\xfc.csv", "/\xff\xfe.log"})
    ::unlink((dir + name).constData());
  ::rmdir((dir + "/\xfd").constData());
}

// A year of daily logs at once, and more: far more than the limit of open
// files, soft and hard, lets be open at once.
TEST_F(TrendCli, ThousandsOfLogsAtOnce_AreAllRead) {
  constexpr int kLogs = 3000;
  QStringList arguments = {QStringLiteral("-c"),
                           QStringLiteral(R"sh(ulimit -n 256 && exec "$0" "$@")sh"),
                           QStringLiteral(BRINEWATCH_TREND)};
  const QStringList outputs = {QStringLiteral("--csv"), QStringLiteral("-")};
  QStringList logs;
  for (int day = 0; day < kLogs; ++day)
    logs << folder.write(QStringLiteral("%1.log").arg(day),
                         logLine(at(8, 10).addDays(day), {4.5f}));
  const Outcome csv = trend(arguments + outputs + logs, {}, QStringLiteral("/bin/sh"));
  EXPECT_EQ(csv.status, 0) << csv.err.left(300).constData();
  EXPECT_EQ(csv.out.count('\n'), kLogs + 1);
  const Outcome png =
      trend(arguments +
                QStringList{QStringLiteral("--png"), folder.path(QStringLiteral("all.png"))} + logs,
            {}, QStringLiteral("/bin/sh"));
  EXPECT_EQ(png.status, 0) << png.err.left(300).constData();
}

// Lines appended while the export runs are left out whole: the CSV is the log
// as it was at the start, never rows cut to the header's width. The export
// writes into a pipe that is read only after lines were appended, so they
// come while the rows are being written, after the header's width was found.
TEST_F(TrendCli, ExportOfAGrowingLog_TakesTheLinesThatWereThereAtTheStart) {
  constexpr int kLines = 200000;
  const QString path = folder.write(QStringLiteral("live.log"), twelveSensorLines(kLines));
  const QByteArray fifo = QFile::encodeName(folder.path(QStringLiteral("rows.fifo")));
  ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
  const int rows = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(rows, 0);
  QProcess exporter;
  exporter.start(QStringLiteral(BRINEWATCH_TREND),
                 {QStringLiteral("--csv"), QFile::decodeName(fifo), path});
  pollfd ready{rows, POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 20000), 1);  // the first rows are on their way

  QFile live(path);
  ASSERT_TRUE(live.open(QIODevice::Append));
  for (int i = 0; i < 1000; ++i)
    live.write(logLine(at(9, 10), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
  live.close();

  QByteArray csv;
  char buffer[1 << 16];
  while (::poll(&ready, 1, 20000) == 1) {
    const auto got = ::read(rows, buffer, sizeof buffer);
    if (got <= 0) break;
    csv.append(buffer, got);
  }
  ::close(rows);
  ASSERT_TRUE(exporter.waitForFinished(20000));
  EXPECT_EQ(exporter.exitCode(), 0);
  const QList<QByteArray> lines = csv.split('\n');
  EXPECT_EQ(lines.first().count(','), 12);
  EXPECT_EQ(lines.size(), kLines + 2);  // the header, and nothing after the last line end
  EXPECT_EQ(lines[kLines].count(','), 12);
}

TEST_F(TrendCli, ExitStatusesAndTheBadLineReport) {
  const QString out = folder.path(QStringLiteral("x.csv"));
  EXPECT_EQ(trend({QStringLiteral("--help")}).status, 0);
  EXPECT_EQ(trend({QStringLiteral("--csv"), out}).status, 1);
  // An option it does not know, one-dash words too, is refused with the usage.
  for (const auto& [arguments, option] : std::vector<std::pair<QStringList, QByteArray>>{
           {{QStringLiteral("-site"), QStringLiteral("x"), log()}, "-site"},
           {{QStringLiteral("--csv"), out, QStringLiteral("--all"), log()}, "--all"}}) {
    const Outcome refused = trend(arguments);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("unknown option " + option));
    EXPECT_TRUE(refused.err.contains("Usage: brinewatch-trend")) << refused.err.constData();
    EXPECT_FALSE(QFile::exists(out));
  }
  EXPECT_EQ(
      trend({QStringLiteral("--png"), out, QStringLiteral("--size"), QStringLiteral("big"), log()})
          .status,
      1);
  // A picture too large to draw in bounded time and memory is refused at
  // once, before any log is read; the largest allowed is drawn.
  for (const char* size : {"16384x16384", "8193x100", "100x8193", "8192x4097", "6000x6000"}) {
    const Outcome refused = trend(
        {QStringLiteral("--svg"), out, QStringLiteral("--size"), QString::fromLatin1(size), log()});
    EXPECT_EQ(refused.status, 1) << size;
    EXPECT_TRUE(refused.err.contains("at most 8192 pixels a side and 32 megapixels"))
        << refused.err.constData();
    EXPECT_FALSE(QFile::exists(out));
  }
  EXPECT_EQ(trend({QStringLiteral("--svg"), out, QStringLiteral("--size"),
                   QStringLiteral("8192x4096"), log()})
                .status,
            0);
  QFile::remove(out);
  EXPECT_EQ(trend({QStringLiteral("--csv"), out, QStringLiteral("--from"),
                   QStringLiteral("yesterday"), log()})
                .status,
            1);
  EXPECT_EQ(
      trend({QStringLiteral("--csv"), out, log(), folder.path(QStringLiteral("gone.log"))}).status,
      2);

  QByteArray junk;
  for (int i = 0; i < 25; ++i) junk += "junk\r\n";
  const Outcome outOfRange = trend({QStringLiteral("--csv"), out, QStringLiteral("--from"),
                                    QStringLiteral("2027-01-01"), log()});
  EXPECT_EQ(outOfRange.status, 3);
  EXPECT_TRUE(outOfRange.err.contains("no line in the range 2027-01-01T00:00:00.."))
      << outOfRange.err.constData();

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
