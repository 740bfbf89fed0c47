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

void addSiteOptions(CommandLine& line, const SiteOptionHelp& help,
                    const QList<CommandLine::Option>& own) {
  line.add(CommandLine::valued(QStringLiteral("site"), QStringLiteral("FILE"), help.site));
  if (!help.name.isEmpty())
    line.add(CommandLine::valued(QStringLiteral("name"), QStringLiteral("NAME"), help.name));
  for (const CommandLine::Option& o : own) line.add(o);
  if (!help.check.isEmpty())
    line.add(CommandLine::valued(QStringLiteral("check-site"), QStringLiteral("FILE"), help.check))
        .takes = CommandLine::Takes::kOptionalValue;
  line.add(CommandLine::flag(QStringLiteral("help"), QStringLiteral("this text"))).aliases = {
      QStringLiteral("-h")};
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
