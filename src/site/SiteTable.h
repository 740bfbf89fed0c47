#pragma once

#include <QString>

#include "site/Site.h"

namespace bw {

// What --check-site prints: where the site comes from, the adapter, the log
// and the metrics address when the site gives them, and per sensor its slot,
// ROM code, name, band and query URL, in columns that stay aligned whatever
// the names are written in.
QString siteTable(const Site& site);

}  // namespace bw
