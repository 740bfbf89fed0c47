#pragma once

#include <QStringList>

#include "site/Site.h"

namespace bw {

// What the unattended logger needs of a site beyond its file, as
// "FILE:LINE: reason": that its log can be written (the file, or a new one in
// its folder) and that its metrics address is one of this host's. A relative
// log is taken from the working folder; give the path the logger would open.
QStringList checkSiteTargets(const Site& site);

}  // namespace bw
