#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "acquisition/ReadTemperature.h"
#include "site/Site.h"

namespace bw {

class Clock;
class RecordLog;

// What a logger tells Prometheus, in its text exposition format: per sensor
// the last temperature read, when it was read, the readings that gave none
// by kind and the alarm band; the query and cycle durations; the records
// written and the writes that failed; whether the log is open and writing;
// the build. A reading that gave no temperature is never a temperature here:
// -1 and -2 are real brine temperatures, so a failed reading shows only in
// the failure counters and in the time of the last good reading. Nor is 85,
// the value a DS18B20 gives after a power glitch: it counts as failed, of
// its own kind. A temperature is written as the log line writes it.
class AcquisitionMetrics {
 public:
  AcquisitionMetrics(const Site& site, const QString& program, const Clock& clock,
                     const RecordLog& log);
  AcquisitionMetrics(const AcquisitionMetrics&) = delete;
  AcquisitionMetrics& operator=(const AcquisitionMetrics&) = delete;

  // The site's name, given to every series as the label site="NAME", so
  // that the loggers of one host tell their series apart whatever port or
  // target they are scraped at; none while it is empty (the default).
  void setSiteName(const QString& name) { siteName_ = name; }

  void queryEnded(int slot, ReadingOutcome outcome, float stored, double seconds);
  void cycleEnded(double seconds);
  void recordLogged(bool written);

  QByteArray exposition() const;

 private:
  struct Histogram {
    explicit Histogram(std::vector<double> bucketBounds)
        : bounds(std::move(bucketBounds)), counts(bounds.size()) {}
    void observe(double value);
    std::vector<double> bounds;
    std::vector<std::uint64_t> counts;  // per bound, not cumulative
    std::uint64_t count = 0;
    double sum = 0;
  };
  struct Sensor {
    const SiteSensor* site = nullptr;  // nullptr: no sensor in this slot
    bool read = false;
    float temperature = 0;
    std::int64_t lastGood = 0;  // Unix time; 0 before the first
    std::uint64_t good = 0;
    std::array<std::uint64_t, 4> failed{};  // no page, no temperature, unreadable, power-on
  };

  Site site_;
  QString program_;
  QString siteName_;
  const Clock& clock_;
  const RecordLog& log_;
  std::int64_t started_;
  std::array<Sensor, kMaxReadings> sensors_;
  Histogram query_;
  Histogram cycle_;
  std::uint64_t written_ = 0;
  std::uint64_t writeFailures_ = 0;
  bool lastWriteFailed_ = false;
};

}  // namespace bw
