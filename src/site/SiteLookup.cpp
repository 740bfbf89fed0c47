#include "site/SiteLookup.h"

#include <QDir>
#include <QFileInfo>

namespace bw {

namespace {

const QString kSiteFileName = QStringLiteral("brinewatch/site.toml");

}  // namespace

SiteLookup SiteLookup::fromEnvironment(const QString& commandLine) {
  SiteLookup lookup;
  lookup.commandLine = commandLine;
  lookup.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
  lookup.home = QDir::homePath();
  return lookup;
}

QString SiteLookup::find() const {
  if (!commandLine.isEmpty()) return commandLine;
  const QString userFolder =
      !xdgConfigHome.isEmpty() ? xdgConfigHome : QDir(home).filePath(QStringLiteral(".config"));
  for (const QString& candidate : {QDir(userFolder).filePath(kSiteFileName),
                                   QDir(systemFolder).filePath(QStringLiteral("site.toml"))}) {
    // A name that exists counts, whatever it is: reading it then says what is wrong.
    if (QFileInfo::exists(candidate)) return candidate;
  }
  return {};
}

}  // namespace bw
