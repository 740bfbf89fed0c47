#pragma once

#include <QString>
#include <array>

#include "site/Site.h"

namespace bw {

// The query URLs of the polling loop: slot i holds the query of the site's
// sensor i + 1, empty where the site names none (the loop skips an empty
// slot).
std::array<QString, kMaxReadings> sensorUrls(const Site& site);

}  // namespace bw
