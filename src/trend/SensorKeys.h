#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace bw {

struct Site;

// What the viewer knows of the sensor of a column (column s holds slot
// s + 1): the label of its legend entry and statistics row, its name, and
// its alarm band.
struct SensorKey {
  QString label;
  QString name;  // empty when the site gives none
  std::optional<double> low;
  std::optional<double> high;
  // Drawn, listed and read out: a slot the site leaves out is not (its
  // readings are the logger's -1 for a slot not polled), unless all are asked for.
  bool shown = true;

  bool hasBand() const { return low || high; }
  bool outsideBand(double celsius) const {
    return (low && celsius < *low) || (high && celsius > *high);
  }
};

// One key per column: "Sensor N" for each without a site, "N name" and the
// band where the site names the sensor. With a site that has sensors, only
// theirs are shown, unless `allSensors`.
using SensorKeys = std::vector<SensorKey>;
SensorKeys sensorKeys(const Site* site, bool allSensors = false);

// The CSV header's names: a sensor's name, or sensorN without one.
QStringList csvColumnNames(const SensorKeys& keys);

}  // namespace bw
