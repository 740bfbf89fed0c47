#include "site/SiteCommandLine.h"

#include <optional>

namespace bw {

namespace {

constexpr qsizetype kLongestName = 64;

// The characters of a systemd unit instance as %i gives it: a name that
// starts a unit starts its logger.
bool isSiteName(const QString& name) {
  if (name.isEmpty() || name.size() > kLongestName) return false;
  for (const QChar c : name)
    if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && !QStringLiteral(":-_.\\").contains(c))
      return false;
  return true;
}

}  // namespace

SiteCommandLine parseSiteCommandLine(const QStringList& arguments, bool takesName) {
  SiteCommandLine line;
  const auto refuse = [&line](const QString& error) {
    line.error = error;
    return line;
  };
  bool siteGiven = false;
  bool nameGiven = false;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    // --site=FILE and --check-site=FILE give a FILE that may start with a dash.
    const qsizetype equals = a.startsWith(QStringLiteral("--")) ? a.indexOf(u'=') : -1;
    const QString option = equals < 0 ? a : a.left(equals);
    const std::optional<QString> attached =
        equals < 0 ? std::nullopt : std::optional<QString>(a.mid(equals + 1));
    const bool nextIsWord = i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-');
    if (option == u"--site") {
      if (siteGiven) return refuse(QStringLiteral("--site is given twice"));
      siteGiven = true;
      if (attached)
        line.siteFile = *attached;
      else if (nextIsWord)
        line.siteFile = arguments[++i];
      if (line.siteFile.isEmpty()) return refuse(QStringLiteral("--site needs a FILE"));
    } else if (takesName && option == u"--name") {
      if (nameGiven) return refuse(QStringLiteral("--name is given twice"));
      nameGiven = true;
      if (attached)
        line.name = *attached;
      else if (nextIsWord)
        line.name = arguments[++i];
      if (line.name.isEmpty()) return refuse(QStringLiteral("--name needs a NAME"));
      if (!isSiteName(line.name))
        return refuse(QStringLiteral("--name %1: a NAME is 1 to %2 letters, digits and : - _ . \\")
                          .arg(line.name)
                          .arg(kLongestName));
    } else if (option == u"--check-site") {
      if (line.check) return refuse(QStringLiteral("--check-site is given twice"));
      line.check = true;
      if (attached && attached->isEmpty())
        return refuse(QStringLiteral("--check-site= needs a FILE"));
      if (attached)
        line.checkFile = *attached;
      else if (nextIsWord)
        line.checkFile = arguments[++i];
    } else if (option == u"--help" || a == u"-h") {
      if (attached) return refuse(QStringLiteral("--help takes no value"));
      line.help = true;
    } else if (a.startsWith(QStringLiteral("--"))) {
      return refuse(QStringLiteral("unknown option %1").arg(option));
    } else if (a.startsWith(u'-') && a.size() > 1) {
      // Options have two dashes. A word of one dash is not left for Qt either:
      // -site FILE taken silently would poll whatever site the lookup finds.
      const QString word = a.mid(1);
      return refuse(word == u"site" || word == u"check-site" || word == u"help" ||
                            (takesName && word == u"name")
                        ? QStringLiteral("unknown option %1 (did you mean -%1?)").arg(a)
                        : QStringLiteral("unknown option %1").arg(a));
    } else {
      return refuse(QStringLiteral("unexpected argument %1").arg(a));
    }
  }
  return line;
}

}  // namespace bw
