#include "site/LoadSite.h"

namespace bw {

LoadedSite loadSite(const SiteLookup& lookup) {
  LoadedSite loaded;
  loaded.file = lookup.find();
  if (!loaded.file.isEmpty()) static_cast<SiteReading&>(loaded) = readSiteFile(loaded.file);
  return loaded;
}

QString siteError(const Site& site, int line, const QString& reason) {
  if (site.file.isEmpty() || line <= 0) return reason;
  return QStringLiteral("%1:%2: %3").arg(site.file).arg(line).arg(reason);
}

}  // namespace bw
