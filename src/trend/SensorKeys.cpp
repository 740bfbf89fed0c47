#include "trend/SensorKeys.h"

#include "logformat/RecordLine.h"
#include "site/Site.h"

namespace bw {

SensorKeys sensorKeys(const Site* site, bool allSensors) {
  SensorKeys keys;
  const bool onlyTheSites = site && !site->sensors.empty() && !allSensors;
  for (int column = 0; column < kMaxReadings; ++column) {
    SensorKey key;
    key.label = QStringLiteral("Sensor %1").arg(column + 1);
    const SiteSensor* sensor = site ? site->inSlot(column + 1) : nullptr;
    key.shown = sensor || !onlyTheSites;
    if (sensor) {
      key.name = sensor->name;
      key.low = sensor->low;
      key.high = sensor->high;
      if (!sensor->name.isEmpty()) key.label = sensor->label();
    }
    keys.push_back(key);
  }
  return keys;
}

QStringList csvColumnNames(const SensorKeys& keys) {
  QStringList names;
  for (std::size_t column = 0; column < keys.size(); ++column)
    names << (keys[column].name.isEmpty() ? QStringLiteral("sensor%1").arg(column + 1)
                                          : keys[column].name);
  return names;
}

}  // namespace bw
