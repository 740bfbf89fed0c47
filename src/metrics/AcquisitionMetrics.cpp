#include "metrics/AcquisitionMetrics.h"

#include <charconv>

#include "BrinewatchConfig.h"
#include "acquisition/RecordLog.h"
#include "logformat/Sentinels.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"

namespace bw {

namespace {

// Seconds: a query is bounded by 5 s and usually takes a conversion, 0.75 s;
// a cycle of sixteen takes 12 s against a real adapter, up to 80 s against
// one that answers nothing.
const std::vector<double> kQueryBounds = {0.01, 0.05, 0.1, 0.25, 0.5, 0.75, 1, 2.5, 5, 10};
const std::vector<double> kCycleBounds = {1, 2.5, 5, 9, 10, 12, 15, 20, 30, 60, 90, 120};

constexpr std::array<const char*, 4> kFailureKinds = {"no_page", "no_temperature", "unreadable",
                                                      "power_on"};

QByteArray number(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return QByteArray(text, static_cast<qsizetype>(end - text));
}

// A reading as the log line writes it: 21.3, not the double nearest the float.
QByteArray readingNumber(float value) {
  return generalNumber(value).toLatin1();
}

QByteArray number(std::uint64_t value) {
  return QByteArray::number(static_cast<qulonglong>(value));
}

// A label value: backslash, double quote and line feed escaped.
QByteArray labelValue(const QString& text) {
  QByteArray out;
  for (const char c : text.toUtf8()) {
    if (c == '\\' || c == '"')
      out += '\\', out += c;
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

// A family's HELP and TYPE, then its samples, each written under the
// family's name (and a suffix for a histogram's parts): the name is typed once.
class Family {
 public:
  Family(QByteArray& text, const char* name, const char* type, const char* help)
      : text_(text), name_(name) {
    text_ += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
  }
  void sample(const QByteArray& labels, const QByteArray& value, const char* suffix = "") const {
    text_ += name_;
    text_ += suffix;
    if (!labels.isEmpty()) text_ += '{' + labels + '}';
    text_ += ' ' + value + '\n';
  }

 private:
  QByteArray& text_;
  const char* name_;
};

}  // namespace

void AcquisitionMetrics::Histogram::observe(double value) {
  ++count;
  sum += value;
  for (std::size_t i = 0; i < bounds.size(); ++i)
    if (value <= bounds[i]) {
      ++counts[i];
      break;
    }
}

AcquisitionMetrics::AcquisitionMetrics(const Site& site, const QString& program, const Clock& clock,
                                       const RecordLog& log)
    : site_(site),
      program_(program),
      clock_(clock),
      log_(log),
      started_(clock.now().toSecsSinceEpoch()),
      query_(kQueryBounds),
      cycle_(kCycleBounds) {
  for (const SiteSensor& sensor : site_.sensors)
    sensors_[static_cast<std::size_t>(sensor.slot - 1)].site = &sensor;
}

void AcquisitionMetrics::queryEnded(int slot, ReadingOutcome outcome, float stored,
                                    double seconds) {
  query_.observe(seconds);
  if (slot < 0 || slot >= kMaxReadings) return;
  Sensor& sensor = sensors_[static_cast<std::size_t>(slot)];
  switch (outcome) {
    case ReadingOutcome::kRead:
      // What a DS18B20 holds from power-on to its first conversion: the log
      // keeps it, yet it is no temperature.
      if (stored == kPowerOnValue) {
        ++sensor.failed[3];
        break;
      }
      ++sensor.good;
      sensor.read = true;
      sensor.temperature = stored;
      sensor.lastGood = clock_.now().toSecsSinceEpoch();
      break;
    case ReadingOutcome::kNoPage:
      ++sensor.failed[0];
      break;
    case ReadingOutcome::kNoTemperature:
      ++sensor.failed[1];
      break;
    case ReadingOutcome::kUnreadable:
      ++sensor.failed[2];
      break;
  }
}

void AcquisitionMetrics::cycleEnded(double seconds) {
  cycle_.observe(seconds);
}

void AcquisitionMetrics::recordLogged(bool written) {
  ++(written ? written_ : writeFailures_);
  lastWriteFailed_ = !written;
}

QByteArray AcquisitionMetrics::exposition() const {
  // Labels stand in name order, the site's among them.
  const QByteArray site =
      siteName_.isEmpty() ? QByteArray() : "site=\"" + labelValue(siteName_) + '"';
  const QByteArray siteAfter = site.isEmpty() ? QByteArray() : ',' + site;
  std::vector<std::pair<const Sensor*, QByteArray>> named;
  for (const Sensor& sensor : sensors_) {
    if (!sensor.site) continue;
    // Prometheus takes an empty label for none: a sensor without a name has none.
    const QByteArray name = sensor.site->name.isEmpty()
                                ? QByteArray()
                                : "name=\"" + labelValue(sensor.site->name) + "\",";
    named.emplace_back(&sensor, name + "rom=\"" + labelValue(sensor.site->rom) + '"' + siteAfter +
                                    ",slot=\"" + QByteArray::number(sensor.site->slot) + '"');
  }

  QByteArray text;
  const auto family = [&text](const char* name, const char* type, const char* help) {
    return Family(text, name, type, help);
  };
  const Family temperature = family("brinewatch_temperature_celsius", "gauge",
                                    "The sensor's last temperature read; none before its first.");
  for (const auto& [sensor, labels] : named)
    if (sensor->read) temperature.sample(labels, readingNumber(sensor->temperature));
  const Family lastGood =
      family("brinewatch_last_good_reading_timestamp_seconds", "gauge",
             "When the sensor last gave a temperature, in Unix time; 0 before it has.");
  for (const auto& [sensor, labels] : named)
    lastGood.sample(labels, QByteArray::number(static_cast<qlonglong>(sensor->lastGood)));
  const Family good =
      family("brinewatch_good_readings_total", "counter", "Queries that gave a temperature.");
  for (const auto& [sensor, labels] : named) good.sample(labels, number(sensor->good));
  const Family failed =
      family("brinewatch_failed_readings_total", "counter",
             "Queries that gave no temperature: no page, a page without it, a value that is "
             "no number, or the sensor's power-on value of 85.");
  for (const auto& [sensor, labels] : named)
    for (std::size_t kind = 0; kind < kFailureKinds.size(); ++kind)
      failed.sample(QByteArray("kind=\"") + kFailureKinds[kind] + "\"," + labels,
                    number(sensor->failed[kind]));
  const Family low =
      family("brinewatch_band_low_celsius", "gauge", "The low end of the sensor's alarm band.");
  for (const auto& [sensor, labels] : named)
    if (sensor->site->low) low.sample(labels, number(*sensor->site->low));
  const Family high =
      family("brinewatch_band_high_celsius", "gauge", "The high end of the sensor's alarm band.");
  for (const auto& [sensor, labels] : named)
    if (sensor->site->high) high.sample(labels, number(*sensor->site->high));

  for (const auto& [name, help, histogram] :
       {std::tuple{"brinewatch_query_duration_seconds",
                   "Time from the start of a query to its page read.", &query_},
        std::tuple{"brinewatch_cycle_duration_seconds",
                   "Time of a polling cycle, from its first query to its record.", &cycle_}}) {
    const Family h = family(name, "histogram", help);
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < histogram->bounds.size(); ++i) {
      cumulative += histogram->counts[i];
      h.sample("le=\"" + number(histogram->bounds[i]) + '"' + siteAfter, number(cumulative),
               "_bucket");
    }
    h.sample("le=\"+Inf\"" + siteAfter, number(histogram->count), "_bucket");
    h.sample(site, number(histogram->sum), "_sum");
    h.sample(site, number(histogram->count), "_count");
  }

  family("brinewatch_log_records_written_total", "counter", "Records that reached the log's disk.")
      .sample(site, number(written_));
  family("brinewatch_log_write_failures_total", "counter",
         "Records that could not be written to the log.")
      .sample(site, number(writeFailures_));
  family("brinewatch_log_open", "gauge", "1 while a log is open (logging is on), else 0.")
      .sample(site, log_.loggingOn() ? "1" : "0");
  family("brinewatch_log_writing", "gauge",
         "1 while a log is open and its last record reached the disk, else 0.")
      .sample(site, log_.loggingOn() && !lastWriteFailed_ ? "1" : "0");
  family("brinewatch_build_info", "gauge", "The program serving these metrics and its version.")
      .sample("program=\"" + labelValue(program_) + '"' + siteAfter + ",version=\"" +
                  QByteArray::number(config::kVersionMajor) + '.' +
                  QByteArray::number(config::kVersionMinor) + '.' +
                  QByteArray::number(config::kVersionRevision) + '"',
              "1");
  family("process_start_time_seconds", "gauge", "Start time of the process, in Unix time.")
      .sample(site, QByteArray::number(static_cast<qlonglong>(started_)));
  return text;
}

}  // namespace bw
