#pragma once

#include <QString>
#include <array>

#include "site/Site.h"

namespace bw {

// Slots of the sensor and reading tables: 0 to 15 carry a sensor, slot 16
// stays empty.
inline constexpr int kSlotCount = 17;
inline constexpr int kSensorCount = kSiteSlots;

// The 17 query URLs of the polling loop: slot i holds the query of the
// site's sensor i + 1, empty where the site names none (the loop skips an
// empty slot); slot 16 stays empty.
std::array<QString, kSlotCount> sensorUrls(const Site& site);
// The sensors built in, on `host`.
std::array<QString, kSlotCount> sensorUrls(const QString& host);

}  // namespace bw
