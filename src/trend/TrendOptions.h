#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include "trend/LogReading.h"

namespace bw {

// Exit statuses of the command-line forms.
enum class TrendExit : int {
  kRead = 0,
  kUsage = 1,
  kUnreadable = 2,
  kNoLines = 3,
  kUnwritable = 4,
  kStopped = 5  // a file was cut shorter while it was read: lines after that are not read
};

// The status a command-line export ends with, from what its reading found
// and whether the output was written: a file that could not be read, then
// an output that could not be written, then no line, then a file whose
// reading stopped before its end.
TrendExit exitStatus(const ReadReport& report, bool written);

// The largest picture --size asks for: drawing and encoding take time and
// memory in proportion to its pixels (16384x16384 took half a minute and
// 3 GB), so a side and the whole are bounded.
inline constexpr int kMostPictureSide = 8192;
inline constexpr qint64 kMostPicturePixels = 32ll << 20;  // 32 megapixels, 8192x4096

// The command line: no mode opens the window on the logs given, if any.
struct TrendOptions {
  enum class Mode { kWindow, kHelp, kCsv, kPng, kSvg };
  Mode mode = Mode::kWindow;
  QString out;
  QSize size{1200, 600};
  StampFilter filter;
  bool flaggedAsOrdinary = false;
  QString siteFile;         // --site FILE
  bool names = false;       // the CSV header names the sensors
  bool allSensors = false;  // every slot the logs hold, not only the site's sensors
  QStringList logs;
  QString error;  // a usage error; the mode is then meaningless
};

TrendOptions parseTrendOptions(const QStringList& arguments);  // without the program name
QString trendUsage();

}  // namespace bw
