#include "site/SiteLookup.h"

#include <QDir>
#include <system_error>

#include "site/NativePath.h"

namespace bw {

namespace {

const QString kSiteFileName = QStringLiteral("brinewatch/site.toml");

// Whether a name is there, whatever it is: a link to nothing, or a name that
// cannot be looked at for want of permission, is there too.
bool isThere(const QString& path) {
  std::error_code error;
  return std::filesystem::symlink_status(nativePath(path), error).type() !=
         std::filesystem::file_type::not_found;
}

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
    // A name that is there counts, whatever it is: reading it then says what
    // is wrong, where skipping it would poll other sensors without a word.
    if (isThere(candidate)) return candidate;
  }
  return {};
}

}  // namespace bw
