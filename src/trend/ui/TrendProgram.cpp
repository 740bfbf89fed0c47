#include "trend/ui/TrendProgram.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "platform/desktop/QtSettingsStore.h"
#include "platform/ui/QtFileChooser.h"
#include "platform/ui/QtMessageBox.h"
#include "site/LoadSite.h"
#include "site/SiteFile.h"
#include "trend/CsvExport.h"
#include "trend/ExportTarget.h"
#include "trend/LosslessText.h"
#include "trend/SensorKeys.h"
#include "trend/SeriesReading.h"
#include "trend/TrendOptions.h"
#include "trend/ui/TrendPlot.h"
#include "trend/ui/TrendWindow.h"

namespace bw {

namespace {

// File names print as the bytes they were given.
void printError(const QString& text) {
  std::fputs(losslessBytes(text).constData(), stderr);
  std::fputc('\n', stderr);
}

// Kept byte for byte where they are not UTF-8: a log's name is opened as given.
QStringList arguments(int argc, char** argv) {
  QStringList list;
  for (int i = 1; i < argc; ++i) list << losslessText(argv[i]);
  return list;
}

QString rangeText(const StampFilter& filter) {
  const auto stamp = [](const std::optional<StampSeconds>& t) {
    if (!t) return QString();
    char text[19];
    writeCsvStamp(*t, text);
    return QString::fromLatin1(text, 19);
  };
  return stamp(filter.from) + QStringLiteral("..") + stamp(filter.to);
}

// Bad lines and unreadable files on stderr; the exit status they make.
int finish(const ReadReport& report, const QString& writeError, const StampFilter& filter) {
  for (const QString& line : report.bad.report()) printError(line);
  for (const QString& error : report.errors) printError(error);
  const TrendExit status = exitStatus(report, writeError.isEmpty());
  if (status == TrendExit::kUnwritable)
    printError(QStringLiteral("brinewatch-trend: %1").arg(writeError));
  if (status == TrendExit::kNoLines)
    printError(
        report.outOfRange > 0
            ? QStringLiteral("brinewatch-trend: no line in the range %1; nothing written")
                  .arg(rangeText(filter))
            : QStringLiteral("brinewatch-trend: no log line could be read; nothing written"));
  if (status == TrendExit::kStopped)
    printError(QStringLiteral(
        "brinewatch-trend: a log was cut shorter while it was read; what was read is written"));
  return static_cast<int>(status);
}

// Without a session the platform warns about its runtime folder; the
// command line keeps stderr for what the user must read.
QtMessageHandler standardMessages = nullptr;

void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QStringLiteral("QStandardPaths:"))) return;
  if (standardMessages) standardMessages(type, context, text);
}

// The names and bands of the site: --site FILE, or the site file the
// logger would read. A file named that cannot be used ends the run; one
// found that cannot be used is reported and left out.
std::optional<SensorKeys> siteKeys(const TrendOptions& o, QStringList& problems) {
  const LoadedSite reading = loadSite(SiteLookup::fromEnvironment(o.siteFile));
  const QString& file = reading.file;
  if (file.isEmpty()) return sensorKeys(nullptr);
  if (reading.site) return sensorKeys(&*reading.site, o.allSensors);
  problems = reading.errors;
  if (!o.siteFile.isEmpty()) return std::nullopt;
  problems.prepend(
      QStringLiteral("The site file %1 cannot be used; no names or bands are shown:").arg(file));
  return sensorKeys(nullptr);
}

int picture(const TrendOptions& o, const SensorKeys& keys, int argc, char** argv) {
  std::vector<LogInput> inputs;
  if (const QStringList errors = LogReading::open(o.logs, inputs); !errors.isEmpty()) {
    for (const QString& error : errors) printError(error);
    return static_cast<int>(TrendExit::kUnreadable);
  }
  ExportTarget target(o.out);
  if (!target.open()) {
    printError(QStringLiteral("brinewatch-trend: %1").arg(target.errorString()));
    return static_cast<int>(TrendExit::kUnwritable);
  }
  // No window is shown, so no display is needed: draw offscreen unless a
  // platform was asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  standardMessages = qInstallMessageHandler(quietMessages);
  QApplication app(argc, argv);
  TrendSeries series;
  SeriesReadOptions options;
  options.filter = o.filter;
  options.inputs = &inputs;
  const ReadReport report = readSeries(o.logs, series, options);
  QString writeError;
  if (report.errors.isEmpty() && report.lines > 0) {
    TrendPlot plot;
    plot.setSeries(&series);
    plot.setSensorKeys(keys);
    plot.setFlaggedAsOrdinary(o.flaggedAsOrdinary);
    plot.resize(o.size);
    plot.resetView();
    const QByteArray bytes = plot.picture(o.size, o.mode == TrendOptions::Mode::kSvg);
    if (bytes.isEmpty())
      writeError = QStringLiteral("%1: the chart could not be drawn").arg(o.out);
    else if (!target.write(bytes) || !target.commit())
      writeError = target.errorString();
  }
  return finish(report, writeError, o.filter);
}

// The window's start routine and the viewer's composition root: every
// service the window works with is made here, once.
int showWindow(const TrendOptions& o, const SensorKeys& keys, const QStringList& siteProblems,
               int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brinewatch-trend"));
  QtFileChooser chooser;
  QtSettingsStore settings;
  QtMessageBox messages;
  TrendWindow window(TrendWindowServices{chooser, settings, messages});
  window.setSensorKeys(keys);
  window.show();
  if (!siteProblems.isEmpty())
    messages.show(&window, siteProblems.join(u'\n'), MessageStyle::Ok,
                  QStringLiteral("Brinewatch Trend"));
  if (!o.logs.isEmpty()) window.openFiles(o.logs);
  return QApplication::exec();
}

// Every log given is open while the logs are read, and a year of daily logs
// is more than the usual soft limit of 1024 open files: the soft limit goes
// up to the hard one, which the user may raise and the program cannot.
void allowAllOpenFiles() {
#ifndef _WIN32
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  if (::setrlimit(RLIMIT_NOFILE, &limit) == 0 || limit.rlim_max != RLIM_INFINITY) return;
  limit.rlim_cur = 1 << 20;  // no hard limit: as many as the kernel gives a process
  ::setrlimit(RLIMIT_NOFILE, &limit);
#endif
}

}  // namespace

int runTrend(int argc, char** argv) {
  allowAllOpenFiles();
  TrendOptions o = parseTrendOptions(arguments(argc, argv));
  if (!o.error.isEmpty()) {
    // The usage goes with the error: a mistyped option shows the right ones.
    printError(QStringLiteral("brinewatch-trend: %1\n").arg(o.error));
    std::fputs(trendUsage().toLocal8Bit().constData(), stderr);
    return static_cast<int>(TrendExit::kUsage);
  }
  const bool exporting = o.mode == TrendOptions::Mode::kCsv || o.mode == TrendOptions::Mode::kPng ||
                         o.mode == TrendOptions::Mode::kSvg;
  if (exporting) {
    // A live log and its rotated predecessors, in the order of their lines.
    o.logs = inTimeOrder(o.logs);
    if (const QString clash = ExportTarget::clash(o.out, o.logs); !clash.isEmpty()) {
      printError(QStringLiteral("brinewatch-trend: %1; nothing written").arg(clash));
      return static_cast<int>(TrendExit::kUsage);
    }
  }
  if (o.mode == TrendOptions::Mode::kHelp) {
    std::fputs(trendUsage().toLocal8Bit().constData(), stdout);
    return static_cast<int>(TrendExit::kRead);
  }
  QStringList siteProblems;
  const std::optional<SensorKeys> keys = siteKeys(o, siteProblems);
  if (!keys || o.mode != TrendOptions::Mode::kWindow)
    for (const QString& problem : siteProblems) printError(problem);
  if (!keys) return static_cast<int>(TrendExit::kUnreadable);
  switch (o.mode) {
    case TrendOptions::Mode::kCsv: {
      const CsvResult result = writeCsv(o.logs, o.out, o.filter, nullptr,
                                        o.names ? csvColumnNames(*keys) : QStringList());
      return finish(result.report, result.writeError, o.filter);
    }
    case TrendOptions::Mode::kPng:
    case TrendOptions::Mode::kSvg:
      return picture(o, *keys, argc, argv);
    default:
      break;
  }
  return showWindow(o, *keys, siteProblems, argc, argv);
}

}  // namespace bw
