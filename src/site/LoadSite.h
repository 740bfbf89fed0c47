#pragma once

#include <QString>

#include "site/SiteFile.h"
#include "site/SiteLookup.h"

namespace bw {

// The site file `lookup` finds, read: the site, or every error found in it.
// `file` is empty when none was found; each program chooses then (the
// sensors built in, or a refusal).
struct LoadedSite : SiteReading {
  QString file;
};
LoadedSite loadSite(const SiteLookup& lookup);

// A failure found once the site is used, said of the line that gave the
// value as parse errors are: "FILE:LINE: reason"; the reason alone for the
// table built in or a value no line gave.
QString siteError(const Site& site, int line, const QString& reason);

}  // namespace bw
