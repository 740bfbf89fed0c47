#include "site/SiteCommandLine.h"

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

void addSiteOptions(CommandLine& line, const QString& site, const QString& check,
                    const QString& name, const std::function<void(CommandLine&)>& addOwn) {
  line.add(QStringLiteral("site"), QStringLiteral("FILE"), site);
  if (!name.isEmpty()) line.add(QStringLiteral("name"), QStringLiteral("NAME"), name);
  if (addOwn) addOwn(line);
  if (!check.isEmpty())
    line.add(QStringLiteral("check-site"), QStringLiteral("FILE"), check).takes =
        CommandLine::Takes::kOptionalValue;
  line.add("help", "", "this text").aliases = QStringList{QStringLiteral("-h")};
}

SiteCommandLine readSiteOptions(const CommandLine& line) {
  SiteCommandLine site;
  site.error = line.error();
  site.siteFile = line.value(QStringLiteral("site"));
  site.check = line.isSet(QStringLiteral("check-site"));
  site.checkFile = line.value(QStringLiteral("check-site"));
  site.help = line.isSet(QStringLiteral("help"));
  site.name = line.value(QStringLiteral("name"));
  if (site.error.isEmpty() && line.isSet(QStringLiteral("name")) && !isSiteName(site.name))
    site.error = QStringLiteral("--name %1: a NAME is 1 to %2 letters, digits and : - _ . \\")
                     .arg(site.name)
                     .arg(kLongestName);
  return site;
}

}  // namespace bw
