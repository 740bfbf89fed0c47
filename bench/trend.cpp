// The trend viewer at the scale of a year: twelve-sensor lines at one cycle
// per 9.1 s, written with the logger's own record-line code, then read,
// held, followed, drawn and turned into CSV, with `wc -l` on the same file as the
// floor for reading. Drawing is timed for the whole year and for each zoom
// step, decimation and the chart library's redraw together; the same
// decimated year is drawn by the other chart library beside it where it is
// built in.
//
//   bench_trend [--lines N] [--dir DIR] [--runs N] [--log FILE] [--trend PROGRAM]
//
// --log keeps the generated file at FILE, or reads FILE when it is there.
// --trend is brinewatch-trend for the command-line goals (by default the one
// built beside the benchmark): --csv, --png and --svg of the year each within
// 5 times wc -l, the peak memory of --csv under 64 MiB and of --png within
// 64 bytes a line. The CSV is also written into /dev/shm, where the disk
// has no part in its time.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

#ifdef BRINEWATCH_BENCH_QT_CHARTS
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>
#endif

#include "BenchOptions.h"
#include "BenchSupport.h"
#include "logformat/RecordLine.h"
#include "logformat/Sentinels.h"
#include "trend/ColumnDecimator.h"
#include "trend/ContentSamples.h"
#include "trend/CsvExport.h"
#include "trend/LogReading.h"
#include "trend/SeriesReading.h"
#include "trend/ui/TrendPlot.h"

namespace {

using bw::bench::median;
using bw::bench::printSummary;
using bw::bench::Stopwatch;

constexpr int kSensors = 12;
constexpr double kCycleSeconds = 9.1;
constexpr QSize kChartSize{1200, 600};
constexpr int kZoomSteps = 30;
constexpr double kZoomFactor = 0.75;  // one wheel step's worth, and some

struct Options {
  qint64 lines = 3'465'000;  // a year at 9.1 s
  QString dir;
  QString log;
  QString trend;  // the program, for the command-line goals
  int runs = 3;
};

// Nothing after a usage error on standard error.
std::optional<Options> parse(int argc, char** argv) {
  bw::CommandLine line = bw::bench::numberOptions(
      {{"lines", "log lines generated"}, {"runs", "runs of each measurement"}});
  line.add("dir", "DIR", "where the log is generated");
  line.add("log", "FILE", "keep the log at FILE, or read FILE when it is there");
  line.add("trend", "PROGRAM", "brinewatch-trend for the command-line goals");
  line.parse(argc, argv);
  Options o;
  o.lines = line.integer(QStringLiteral("lines"), 1, std::numeric_limits<qint64>::max(), o.lines);
  o.runs = bw::bench::number(line, "runs", 1, INT_MAX, o.runs);
  o.dir = line.value(QStringLiteral("dir"));
  o.log = line.value(QStringLiteral("log"));
  o.trend = line.value(QStringLiteral("trend"));
  if (line.ok()) return o;
  bw::bench::usageError(line, "bench_trend");
  return std::nullopt;
}

// Brine temperatures: a slow walk in DS18B20 steps of 1/16 °C, and now and
// then the marks -1, -2 and the power-up 85.
qint64 writeYear(const QString& path, qint64 lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return -1;
  QRandomGenerator random(20261208);
  std::array<int, kSensors> sixteenths{};
  for (int s = 0; s < kSensors; ++s) sixteenths[static_cast<std::size_t>(s)] = 64 + s * 3;
  const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
  QByteArray batch;
  std::array<float, bw::kMaxReadings> readings{};
  for (qint64 i = 0; i < lines; ++i) {
    for (int s = 0; s < kSensors; ++s) {
      int& t = sixteenths[static_cast<std::size_t>(s)];
      t += static_cast<int>(random.bounded(3)) - 1;
      t = std::clamp(t, -60, 200);
      const quint32 mark = random.bounded(20000);
      readings[static_cast<std::size_t>(s)] = mark == 0   ? bw::kNoPage
                                              : mark == 1 ? bw::kNoTemperature
                                              : mark == 2 ? bw::kPowerOnValue
                                                          : static_cast<float>(t) / 16.0f;
    }
    const auto seconds = static_cast<qint64>(static_cast<double>(i) * kCycleSeconds);
    batch += bw::recordLine(start.addSecs(seconds), readings.data(), kSensors);
    if (batch.size() > (4 << 20)) {
      file.write(batch);
      batch.clear();
    }
  }
  file.write(batch);
  return file.size();
}

// The year cut at line ends into twelve logs of a month's lines each, each
// compressed by gzip; none when gzip is not there.
QStringList monthlyGzipLogs(const QString& year, const QString& dir) {
  QFile in(year);
  if (!in.open(QIODevice::ReadOnly)) return {};
  const qint64 size = in.size();
  QStringList months;
  for (int m = 1; m <= 12; ++m) {
    const QString path = QStringLiteral("%1/brine.log.%2").arg(dir).arg(m);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return {};
    const qint64 end = size * m / 12;
    while (in.pos() < end && !in.atEnd()) {
      QByteArray piece = in.read(std::min<qint64>(4 << 20, end - in.pos()));
      if (in.pos() >= end && !piece.endsWith('\n')) piece += in.readLine();
      out.write(piece);
    }
    out.close();
    if (QProcess::execute(QStringLiteral("gzip"), {QStringLiteral("-f"), path}) != 0) return {};
    months << path + QStringLiteral(".gz");
  }
  return months;
}

struct Run {
  double seconds = 0;
  double peakMiB = 0;  // the child's peak resident memory
  int status = -1;
};

// The program run as a user runs it, found on PATH, its output thrown
// away; with `watchMemory` its peak memory is read every 5 ms (the last 5 ms
// of a run may be missed), else it is waited for.
Run runMeasured(const QString& program, const QStringList& arguments, bool watchMemory = true) {
  std::vector<QByteArray> bytes{QFile::encodeName(program)};
  for (const QString& a : arguments) bytes.push_back(QFile::encodeName(a));
  std::vector<char*> argv;
  for (QByteArray& b : bytes) argv.push_back(b.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Stopwatch watch;
  pid_t pid = -1;
  Run run;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    // The peak from the child's own status while it runs: a spawned child's
    // rusage counts the memory of the process it was spawned from.
    const QString status = QStringLiteral("/proc/%1/status").arg(pid);
    int exit = 0;
    if (!watchMemory) ::waitpid(pid, &exit, 0);
    while (watchMemory && ::waitpid(pid, &exit, WNOHANG) == 0) {
      QFile file(status);
      if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n'))
          if (line.startsWith("VmHWM:"))
            run.peakMiB = std::max(run.peakMiB,
                                   line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.seconds = watch.seconds();
    run.status = WIFEXITED(exit) ? WEXITSTATUS(exit) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

// wc -l spawned as the program is, so that both pay the same to start.
double timeWcL(const QString& path) {
  return runMeasured(QStringLiteral("wc"), {QStringLiteral("-l"), path}, false).seconds;
}

// Decimation and a full redraw of the chart into its buffer.
double timeRedraw(bw::TrendPlot& plot, double from, double to) {
  Stopwatch watch;
  plot.setView(from, to);  // decimates through the range signal
  plot.redraw();
  return watch.seconds() * 1000.0;
}

// bench/run-all's summary line for a figure that must reach its target.
void printAtLeast(const char* what, double value, const char* unit, double target) {
  std::printf("summary: %s = %.3g %s (target >= %g: %s)\n", what, value, unit, target,
              value >= target ? "met" : "MISSED");
  std::fflush(stdout);
}

#ifdef BRINEWATCH_BENCH_QT_CHARTS
// The same decimated year through the other library: series filled, then
// the scene drawn into an image of the chart's size.
double timeQtCharts(const bw::TrendSeries& series, double from, double to, int columns) {
  auto* chart = new QChart;  // the view owns it
  chart->legend()->setVisible(true);
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  x->setRange(from, to);
  y->setRange(-5, 15);
  std::vector<QLineSeries*> lines;
  for (int s = 0; s < series.sensorCount(); ++s) {
    auto* line = new QLineSeries;
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    lines.push_back(line);
  }
  QChartView view(chart);
  view.resize(kChartSize);
  QImage image(kChartSize, QImage::Format_RGB32);
  std::vector<double> times;
  for (int run = 0; run < 3; ++run) {
    Stopwatch watch;
    for (int s = 0; s < series.sensorCount(); ++s) {
      const bw::DecimatedSensor d = bw::decimate(series, s, {from, to, columns, false});
      QList<QPointF> points;
      points.reserve(static_cast<qsizetype>(d.x.size()));
      for (std::size_t i = 0; i < d.x.size(); ++i)
        if (!std::isnan(d.y[i])) points.append(QPointF(d.x[i], d.y[i]));
      lines[static_cast<std::size_t>(s)]->replace(points);
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    view.render(&painter);
    times.push_back(watch.seconds() * 1000.0);
  }
  return median(times);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> given = parse(argc, argv);
  if (!given) return 2;
  const Options& o = *given;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir temp(o.dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_trend-XXXXXX")
                                     : o.dir + QStringLiteral("/bench_trend-XXXXXX"));
  const QString log = o.log.isEmpty() ? temp.filePath(QStringLiteral("year.log")) : o.log;

  Stopwatch watch;
  const qint64 bytes = QFileInfo::exists(log) ? QFileInfo(log).size() : writeYear(log, o.lines);
  if (bytes < 0) {
    std::printf("cannot write %s\n", qPrintable(log));
    return 1;
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("log: %s, %.1f MB, ready in %.1f s\n", qPrintable(log), mb, watch.seconds());

  // Reading, warm page cache for both: the file was just written.
  timeWcL(log);
  std::vector<double> wcTimes, readTimes, readCpu;
  std::unique_ptr<bw::TrendSeries> series;
  bw::ReadReport report;
  for (int run = 0; run < o.runs; ++run) {
    wcTimes.push_back(timeWcL(log));
    auto fresh = std::make_unique<bw::TrendSeries>();
    const qint64 rssBefore = bw::bench::selfRssKiB();
    const double cpuBefore = bw::bench::processCpuSeconds();
    Stopwatch read;
    report = bw::readSeries({log}, *fresh);
    readTimes.push_back(read.seconds());
    readCpu.push_back(bw::bench::processCpuSeconds() - cpuBefore);
    if (run == 0)
      std::printf("resident memory grew by %.1f MB while reading\n",
                  static_cast<double>(bw::bench::selfRssKiB() - rssBefore) / 1024.0);
    series = std::move(fresh);
  }
  const double wc = median(wcTimes);
  const double read = median(readTimes);
  // The CPU time tells a busy machine from a slow reading: on cores of its
  // own the reading takes about CPU time / threads.
  std::printf(
      "reading: %.2f s (%.0f MB/s), wc -l %.2f s (%.0f MB/s): %.1f times wc -l; "
      "%lld lines, %lld not log lines; %.2f s of CPU on %u threads\n",
      read, mb / read, wc, mb / wc, read / wc, static_cast<long long>(report.lines),
      static_cast<long long>(report.bad.count()), median(readCpu),
      std::max(1u, std::thread::hardware_concurrency()));
  printAtLeast("trend reading", mb / read, "MB/s", 200);
  printSummary("trend reading against wc -l", read / wc, "times", 5, "<= 5");

  const double perLine =
      static_cast<double>(series->bytesHeld()) / static_cast<double>(series->size());
  std::printf("memory: %.1f bytes per line held (%zu bytes for %zu lines)\n", perLine,
              series->bytesHeld(), series->size());
  printSummary("trend memory per 12-reading line", perLine, "bytes", 64, "<= 64");

  // The same lines as a logger's rotations leave them: twelve monthly logs,
  // compressed by gzip as logrotate does, read as one series.
  if (const QStringList months = monthlyGzipLogs(log, temp.path()); !months.isEmpty()) {
    qint64 packed = 0;
    for (const QString& month : months) packed += QFileInfo(month).size();
    std::vector<double> gzTimes;
    qint64 gzRss = 0;
    bw::ReadReport gzReport;
    for (int run = 0; run < o.runs; ++run) {
      auto fresh = std::make_unique<bw::TrendSeries>();
      const qint64 rssBefore = bw::bench::selfRssKiB();
      Stopwatch gz;
      gzReport = bw::readSeries(bw::inTimeOrder(months), *fresh);
      gzTimes.push_back(gz.seconds());
      if (run == 0) gzRss = bw::bench::selfRssKiB() - rssBefore;
    }
    const double gzRead = median(gzTimes);
    std::printf(
        "reading 12 monthly .gz (%.1f MB compressed): %.2f s beside %.2f s uncompressed: %.2f "
        "times; %lld lines%s; resident memory grew by %.1f MB\n",
        static_cast<double>(packed) / 1e6, gzRead, read, gzRead / read,
        static_cast<long long>(gzReport.lines),
        gzReport.lines == report.lines ? "" : " (NOT THE LINES OF THE UNCOMPRESSED READING)",
        static_cast<double>(gzRss) / 1024.0);
    printSummary("trend reading of monthly .gz against uncompressed", gzRead / read, "times", 2,
                 "<= 2");
    for (const QString& month : months) QFile::remove(month);
  }

  // Following the year: what a check costs once the file changed (the
  // sampled blocks read again from the page cache) and while it stands
  // still (one fstat).
  {
    bw::LogInput input;
    input.open(log);
    const bw::ContentSamples samples = bw::ContentSamples::of(input, input.size());
    constexpr int kChecks = 2000;
    bool held = true;
    Stopwatch sampled;
    for (int i = 0; i < kChecks; ++i) held = samples.matches(input) && held;
    const double sampledUs = sampled.seconds() * 1e6 / kChecks;
    Stopwatch stamped;
    for (int i = 0; i < kChecks; ++i) held = input.stampNow().has_value() && held;
    const double stampUs = stamped.seconds() * 1e6 / kChecks;
    std::printf(
        "follow check on %.0f MB: %.1f us once it changed (%d blocks of %lld bytes read "
        "again), %.2f us while it stands still (fstat)%s\n",
        mb, sampledUs, bw::ContentSamples::kBlocks,
        static_cast<long long>(bw::ContentSamples::kBlockBytes), stampUs,
        held ? "" : "; THE SAMPLES DID NOT HOLD");
  }

  // Drawing: the whole year, then zoom steps into its middle.
  bw::TrendPlot plot;
  plot.resize(kChartSize);
  plot.setSeries(series.get());
  plot.resetView();
  plot.redraw();
  const double from = static_cast<double>(plot.viewFrom());
  const double to = static_cast<double>(plot.viewTo());
  std::vector<double> whole;
  for (int run = 0; run < 5; ++run) whole.push_back(timeRedraw(plot, from + run * 1e-3, to));
  std::vector<double> zoom;
  double half = (to - from) / 2;
  const double middle = from + half;
  for (int step = 0; step < kZoomSteps; ++step) {
    half *= kZoomFactor;
    zoom.push_back(timeRedraw(plot, middle - half, middle + half));
  }
  const double wholeMs = median(whole);
  const double zoomMax = *std::max_element(zoom.begin(), zoom.end());
  std::printf(
      "drawing (QCustomPlot, %dx%d, decimated for %d columns): whole year %.1f ms median; %d zoom "
      "steps down to "
      "%.0f s in view: median %.1f ms, slowest %.1f ms\n",
      kChartSize.width(), kChartSize.height(), plot.chartWidth(), wholeMs, kZoomSteps, 2 * half,
      median(zoom), zoomMax);
  printSummary("trend redraw of the whole year", wholeMs, "ms", 50, "<= 50");
  printSummary("trend slowest zoom step", zoomMax, "ms", 50, "<= 50");
#ifdef BRINEWATCH_BENCH_QT_CHARTS
  std::printf("drawing (Qt Charts, same decimated year): %.1f ms median\n",
              timeQtCharts(*series, from, to, plot.chartWidth()));
#endif
  series.reset();

  // CSV of the whole year, on every core and on one, beside wc -l.
  const QString csv = temp.filePath(QStringLiteral("year.csv"));
  const auto timeCsv = [&](int threads, bw::CsvResult& result) {
    Stopwatch watch;
    result = bw::writeCsv({log}, csv, {}, nullptr, {}, {threads, bw::kDefaultChunkBytes});
    return watch.seconds();
  };
  bw::CsvResult result;
  const double csvOne = timeCsv(1, result);
  const double csvSeconds = timeCsv(0, result);
  const double csvWc = timeWcL(log);
  std::printf(
      "CSV: %.2f s, %.0f MB/s of log, %.1f times wc -l (%.2f s), %.1f MB written, %lld rows; "
      "%.2f s on one thread\n",
      csvSeconds, mb / csvSeconds, csvSeconds / csvWc, csvWc,
      static_cast<double>(QFileInfo(csv).size()) / 1e6, static_cast<long long>(result.report.lines),
      csvOne);
  printAtLeast("trend CSV of the whole year", mb / csvSeconds, "MB/s", 100);

  // The command line as a user runs it on the year, beside wc -l on the same
  // file: each output within 5 times wc -l on this machine's cores, and in
  // bounded memory.
  const QString program = o.trend.isEmpty()
                              ? QCoreApplication::applicationDirPath() +
                                    QStringLiteral("/../src/trendapp/brinewatch-trend")
                              : o.trend;
  if (!QFileInfo(program).isExecutable()) {
    std::printf("command line: %s not found; --trend PROGRAM measures it\n", qPrintable(program));
    return 0;
  }
  const auto lines = static_cast<double>(report.lines);
  std::vector<double> wcRuns;
  for (int run = 0; run < std::max(o.runs, 5); ++run) wcRuns.push_back(timeWcL(log));
  const double wcNow = median(wcRuns);
  std::printf("command line on %.0f MB, %lld lines, %u cores; wc -l %.2f s (median of %zu)\n", mb,
              static_cast<long long>(report.lines),
              std::max(1u, std::thread::hardware_concurrency()), wcNow, wcRuns.size());
  // A CSV export is a third of its log's size and is synced before it takes
  // its name: it is also written into memory, where the disk has no part.
  QTemporaryDir memory(QStringLiteral("/dev/shm/bench_trend-XXXXXX"));
  const auto timed = [&](const char* mode, const QString& out) {
    std::vector<double> times;
    Run last;
    for (int run = 0; run < o.runs; ++run) {
      last = runMeasured(program, {QString::fromLatin1(mode), out, log});
      times.push_back(last.seconds);
    }
    last.seconds = median(times);
    return last;
  };
  for (const char* mode : {"--csv", "--png", "--svg"}) {
    const QString out = temp.filePath(QStringLiteral("year.") + QString::fromLatin1(mode + 2));
    const Run last = timed(mode, out);
    std::printf(
        "  %s: %.2f s, %.1f times wc -l (goal <= 5); peak memory %.1f MiB, %.1f bytes a line; "
        "status %d\n",
        mode, last.seconds, last.seconds / wcNow, last.peakMiB, last.peakMiB * 1048576.0 / lines,
        last.status);
    const std::string what = std::string("trend ") + mode + " of the year against wc -l";
    printSummary(what.c_str(), last.seconds / wcNow, "times", 5, "<= 5");
    if (std::strcmp(mode, "--csv") == 0) {
      printSummary("trend --csv peak memory", last.peakMiB, "MiB", 64, "< 64");
      if (memory.isValid()) {
        const Run inMemory = timed(mode, memory.filePath(QStringLiteral("year.csv")));
        std::printf("  --csv into memory (/dev/shm): %.2f s, %.1f times wc -l; status %d\n",
                    inMemory.seconds, inMemory.seconds / wcNow, inMemory.status);
        printSummary("trend --csv into memory against wc -l", inMemory.seconds / wcNow, "times", 5,
                     "<= 5");
        QFile::remove(memory.filePath(QStringLiteral("year.csv")));
      }
    }
    if (std::strcmp(mode, "--png") == 0)
      printSummary("trend --png peak memory per line", last.peakMiB * 1048576.0 / lines, "bytes",
                   64, "<= 64");
    QFile::remove(out);
  }
  return 0;
}
