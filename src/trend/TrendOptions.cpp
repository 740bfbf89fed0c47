#include "trend/TrendOptions.h"

#include <QRegularExpression>
#include <string_view>

#include "site/SiteCommandLine.h"

namespace bw {

namespace {

std::optional<StampSeconds> optionStamp(const QString& text) {
  const QByteArray latin = text.toLatin1();
  return parseStamp(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())),
                    'T');
}

// The options, declared once for reading and for the usage.
CommandLine trendCommandLine() {
  CommandLine line;
  line.takeWords();
  line.add("csv", "OUT", "write CSV: time,sensor1,...,sensorN, one row per log line");
  line.add("names", "", "the CSV header names the sensors by the site's names");
  line.add("png", "OUT", "draw the chart of the whole range as a PNG picture");
  line.add("svg", "OUT", "draw it as an SVG picture");
  line.add("size", "WxH",
           "picture size in pixels (default 1200x600); at most 8192\n"
           "a side and 32 megapixels in all (8192x4096)");
  line.add("from", "T",
           "only lines stamped from/to T, inclusive; T is\n"
           "yyyy-MM-ddTHH:mm:ss or yyyy-MM-dd (midnight)");
  line.add("to", "T", "");  // on the line of --from
  line.add("flagged-ordinary", "", "draw readings of -1, -2 and 85 as ordinary readings");
  addSiteOptions(line,
                 QStringLiteral("the site file whose names and bands are shown (without\n"
                                "it, the one brinewatch reads: $XDG_CONFIG_HOME or\n"
                                "~/.config/brinewatch/site.toml, /etc/brinewatch/site.toml)"),
                 {}, {}, [](CommandLine& own) {
                   own.add("all-sensors", "",
                           "with a site, show every slot the logs hold, not only\n"
                           "the site's sensors (a slot it leaves out is logged as -1)");
                 });
  return line;
}

}  // namespace

QString trendUsage() {
  return trendCommandLine().usage(
      QStringLiteral(
          "Usage: brinewatch-trend [--site FILE] [--all-sensors] [LOG...]\n"
          "       brinewatch-trend --csv OUT [--names] [--from T] [--to T] LOG...\n"
          "       brinewatch-trend --png OUT [--size WxH] [--from T] [--to T] [--flagged-ordinary] "
          "LOG...\n"
          "       brinewatch-trend --svg OUT [--size WxH] [--from T] [--to T] [--flagged-ordinary] "
          "LOG...\n"
          "       (each of them takes --site FILE too, the pictures --all-sensors)\n"),
      QStringLiteral(
          "Shows Brinewatch log files as a chart of temperature against local time, or\n"
          "turns them into CSV, PNG or SVG without a window. OUT may be - for standard\n"
          "output; an OUT that is one of the logs is refused. The logs are read in the\n"
          "order of their first lines (brine.log* after rotations), and a log compressed\n"
          "with gzip, xz or zstd is read as the log it holds.\n"),
      QStringLiteral("Exit status: 0 at least one log line read, 1 usage error (OUT is a log),\n"
                     "2 a file cannot be read (missing, a folder, not a regular file), 3 no log\n"
                     "line could be read or none lies in the range, 4 the output could not be\n"
                     "written, 5 a log was cut shorter while it was read (what was read is\n"
                     "written). Lines that are not log lines are reported on standard error (the\n"
                     "first 20, then a count).\n"));
}

TrendExit exitStatus(const ReadReport& report, bool written) {
  if (!report.errors.isEmpty()) return TrendExit::kUnreadable;
  if (!written) return TrendExit::kUnwritable;
  if (report.lines == 0) return TrendExit::kNoLines;
  if (report.bad.stops() > 0) return TrendExit::kStopped;
  return TrendExit::kRead;
}

TrendOptions parseTrendOptions(const QStringList& arguments) {
  TrendOptions o;
  const auto fail = [&o](const QString& why) {
    o.error = why;
    return o;
  };
  CommandLine line = trendCommandLine();
  line.parse(arguments);
  const SiteCommandLine site = readSiteOptions(line);
  if (!site.error.isEmpty()) return fail(site.error);
  if (site.help) {
    o.mode = TrendOptions::Mode::kHelp;
    return o;
  }
  o.siteFile = site.siteFile;
  o.logs = line.words();
  o.flaggedAsOrdinary = line.isSet(QStringLiteral("flagged-ordinary"));
  o.names = line.isSet(QStringLiteral("names"));
  o.allSensors = line.isSet(QStringLiteral("all-sensors"));
  const std::pair<const char*, TrendOptions::Mode> outputs[] = {{"csv", TrendOptions::Mode::kCsv},
                                                                {"png", TrendOptions::Mode::kPng},
                                                                {"svg", TrendOptions::Mode::kSvg}};
  for (const auto& [name, mode] : outputs) {
    if (!line.isSet(QLatin1String(name))) continue;
    if (o.mode != TrendOptions::Mode::kWindow)
      return fail(QStringLiteral("only one of --csv, --png and --svg at a time"));
    o.mode = mode;
    o.out = line.value(QLatin1String(name));
  }
  const bool sizeGiven = line.isSet(QStringLiteral("size"));
  if (sizeGiven) {
    const QString value = line.value(QStringLiteral("size"));
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,5})x([0-9]{1,5})$"));
    const auto m = form.match(value);
    const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (!m.hasMatch() || w < 100 || h < 100)
      return fail(QStringLiteral("--size wants WxH, each at least 100, not %1").arg(value));
    if (w > kMostPictureSide || h > kMostPictureSide ||
        static_cast<qint64>(w) * h > kMostPicturePixels)
      return fail(QStringLiteral("--size %1 is too large: at most %2 pixels a side and 32 "
                                 "megapixels in all (%2x%3)")
                      .arg(value)
                      .arg(kMostPictureSide)
                      .arg(kMostPicturePixels / kMostPictureSide));
    o.size = QSize(w, h);
  }
  for (const char* name : {"from", "to"}) {
    if (!line.isSet(QLatin1String(name))) continue;
    const QString value = line.value(QLatin1String(name));
    const auto stamp = optionStamp(value);
    if (!stamp)
      return fail(
          QStringLiteral("--%1 wants yyyy-MM-ddTHH:mm:ss, not %2").arg(QLatin1String(name), value));
    (name == std::string_view("from") ? o.filter.from : o.filter.to) = stamp;
  }
  const bool picture = o.mode == TrendOptions::Mode::kPng || o.mode == TrendOptions::Mode::kSvg;
  if (!picture && sizeGiven) return fail(QStringLiteral("--size goes with --png or --svg"));
  if (o.names && o.mode != TrendOptions::Mode::kCsv)
    return fail(QStringLiteral("--names goes with --csv"));
  if (o.allSensors && o.mode == TrendOptions::Mode::kCsv)
    return fail(
        QStringLiteral("--all-sensors goes with the window, --png or --svg (the CSV has "
                       "every column)"));
  if (o.mode != TrendOptions::Mode::kWindow && o.logs.isEmpty())
    return fail(QStringLiteral("no log file given"));
  if (o.filter.from && o.filter.to && *o.filter.from > *o.filter.to)
    return fail(QStringLiteral("--from is later than --to"));
  return o;
}

}  // namespace bw
