#include "trend/ui/TrendProgram.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "trend/CsvExport.h"
#include "trend/SeriesReading.h"
#include "trend/TrendOptions.h"
#include "trend/ui/TrendPlot.h"
#include "trend/ui/TrendWindow.h"

namespace bw {

namespace {

void printError(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fputc('\n', stderr);
}

QStringList arguments(int argc, char** argv) {
  QStringList list;
  for (int i = 1; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
  return list;
}

// Bad lines and unreadable files on stderr; the exit status they make.
int finish(const ReadReport& report, const QString& writeError) {
  for (const QString& line : report.bad.report()) printError(line);
  for (const QString& error : report.errors) printError(error);
  if (!report.errors.isEmpty()) return static_cast<int>(TrendExit::kUnreadable);
  if (report.lines == 0) {
    printError(QStringLiteral("brinewatch-trend: no log line could be read; nothing written"));
    return static_cast<int>(TrendExit::kNoLines);
  }
  if (!writeError.isEmpty()) {
    printError(writeError);
    return static_cast<int>(TrendExit::kUnreadable);
  }
  return static_cast<int>(TrendExit::kRead);
}

// Without a session the platform warns about its runtime folder; the
// command line keeps stderr for what the user must read.
QtMessageHandler standardMessages = nullptr;

void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QStringLiteral("QStandardPaths:"))) return;
  if (standardMessages) standardMessages(type, context, text);
}

int picture(const TrendOptions& o, int argc, char** argv) {
  for (const QString& path : o.logs)
    if (const QString why = LogReading::unreadable(path); !why.isEmpty()) {
      printError(why);
      return static_cast<int>(TrendExit::kUnreadable);
    }
  // No window is shown, so no display is needed: draw offscreen unless a
  // platform was asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  standardMessages = qInstallMessageHandler(quietMessages);
  QApplication app(argc, argv);
  TrendSeries series;
  SeriesReadOptions options;
  options.filter = o.filter;
  const ReadReport report = readSeries(o.logs, series, options);
  QString writeError;
  if (report.errors.isEmpty() && report.lines > 0) {
    TrendPlot plot;
    plot.setSeries(&series);
    plot.setFlaggedAsOrdinary(o.flaggedAsOrdinary);
    plot.resize(o.size);
    plot.resetView();
    if (!plot.savePicture(o.out, o.size, o.mode == TrendOptions::Mode::kSvg))
      writeError = QStringLiteral("%1: cannot be written").arg(o.out);
  }
  return finish(report, writeError);
}

}  // namespace

int runTrend(int argc, char** argv) {
  const TrendOptions o = parseTrendOptions(arguments(argc, argv));
  if (!o.error.isEmpty()) {
    printError(QStringLiteral("brinewatch-trend: %1").arg(o.error));
    printError(QStringLiteral("Try brinewatch-trend --help."));
    return static_cast<int>(TrendExit::kUsage);
  }
  switch (o.mode) {
    case TrendOptions::Mode::kHelp:
      std::fputs(trendUsage().toLocal8Bit().constData(), stdout);
      return static_cast<int>(TrendExit::kRead);
    case TrendOptions::Mode::kCsv: {
      const CsvResult result = writeCsv(o.logs, o.out, o.filter);
      return finish(result.report, result.writeError);
    }
    case TrendOptions::Mode::kPng:
    case TrendOptions::Mode::kSvg:
      return picture(o, argc, argv);
    case TrendOptions::Mode::kWindow:
      break;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brinewatch-trend"));
  TrendWindow window;
  window.show();
  if (!o.logs.isEmpty()) window.openFiles(o.logs);
  return QApplication::exec();
}

}  // namespace bw
