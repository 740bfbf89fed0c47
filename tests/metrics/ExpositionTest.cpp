#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

#include "AcquisitionFakes.h"
#include "BrinewatchConfig.h"
#include "Fakes.h"
#include "metrics/AcquisitionMetrics.h"

namespace bw {
namespace {

// Two sensors, one with a name that needs every escape, and a history of
// each kind of query, cycle and record.
TEST(Exposition, IsTheWholeTextExpected) {
  Site site;
  site.sensors = {
      {1, QStringLiteral("9C000000B4A89828"), QStringLiteral("Sump \"B\"\\2\nold"), -1.5, 4},
      {3, QStringLiteral("B900000027CA8F28"), {}, std::nullopt, 0.1}};
  test::FixedClock clock;
  clock.stamp = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0), QTimeZone::utc());
  test::RecordingLog log;
  AcquisitionMetrics metrics(site, QStringLiteral("brinewatchd"), clock, log);

  metrics.queryEnded(0, ReadingOutcome::kRead, 21.3f, 0.2);
  metrics.queryEnded(2, ReadingOutcome::kRead, 85.0f, 0.75);  // power-on, not a temperature
  clock.stamp = clock.stamp.addSecs(10);
  metrics.queryEnded(0, ReadingOutcome::kNoPage, -1, 5.0);
  metrics.queryEnded(2, ReadingOutcome::kNoTemperature, -2, 12.0);  // past every bound
  metrics.queryEnded(2, ReadingOutcome::kUnreadable, 85.0f, 0.01);
  metrics.queryEnded(2, ReadingOutcome::kRead, -1.0f, 0.75);  // -1 read is a temperature
  metrics.cycleEnded(9.5);
  metrics.recordLogged(true);
  metrics.recordLogged(false);

  const QByteArray version = QByteArray::number(config::kVersionMajor) + '.' +
                             QByteArray::number(config::kVersionMinor) + '.' +
                             QByteArray::number(config::kVersionRevision);
  const QByteArray sump = R"(name="Sump \"B\"\\2\nold",rom="9C000000B4A89828",slot="1")";
  const QByteArray third = R"(rom="B900000027CA8F28",slot="3")";
  const QByteArray expected =
      "# HELP brinewatch_temperature_celsius The sensor's last temperature read; none before its "
      "first.\n"
      "# TYPE brinewatch_temperature_celsius gauge\n"
      "brinewatch_temperature_celsius{" +
      sump +
      "} 21.3\n"
      "brinewatch_temperature_celsius{" +
      third +
      "} -1\n"
      "# HELP brinewatch_last_good_reading_timestamp_seconds When the sensor last gave a "
      "temperature, in Unix time; 0 before it has.\n"
      "# TYPE brinewatch_last_good_reading_timestamp_seconds gauge\n"
      "brinewatch_last_good_reading_timestamp_seconds{" +
      sump +
      "} 1796724000\n"
      "brinewatch_last_good_reading_timestamp_seconds{" +
      third +
      "} 1796724010\n"
      "# HELP brinewatch_good_readings_total Queries that gave a temperature.\n"
      "# TYPE brinewatch_good_readings_total counter\n"
      "brinewatch_good_readings_total{" +
      sump +
      "} 1\n"
      "brinewatch_good_readings_total{" +
      third +
      "} 1\n"
      "# HELP brinewatch_failed_readings_total Queries that gave no temperature: no page, a page "
      "without it, a value that is no number, or the sensor's power-on value of 85.\n"
      "# TYPE brinewatch_failed_readings_total counter\n"
      "brinewatch_failed_readings_total{kind=\"no_page\"," +
      sump +
      "} 1\n"
      "brinewatch_failed_readings_total{kind=\"no_temperature\"," +
      sump +
      "} 0\n"
      "brinewatch_failed_readings_total{kind=\"unreadable\"," +
      sump +
      "} 0\n"
      "brinewatch_failed_readings_total{kind=\"power_on\"," +
      sump +
      "} 0\n"
      "brinewatch_failed_readings_total{kind=\"no_page\"," +
      third +
      "} 0\n"
      "brinewatch_failed_readings_total{kind=\"no_temperature\"," +
      third +
      "} 1\n"
      "brinewatch_failed_readings_total{kind=\"unreadable\"," +
      third +
      "} 1\n"
      "brinewatch_failed_readings_total{kind=\"power_on\"," +
      third +
      "} 1\n"
      "# HELP brinewatch_band_low_celsius The low end of the sensor's alarm band.\n"
      "# TYPE brinewatch_band_low_celsius gauge\n"
      "brinewatch_band_low_celsius{" +
      sump +
      "} -1.5\n"
      "# HELP brinewatch_band_high_celsius The high end of the sensor's alarm band.\n"
      "# TYPE brinewatch_band_high_celsius gauge\n"
      "brinewatch_band_high_celsius{" +
      sump +
      "} 4\n"
      "brinewatch_band_high_celsius{" +
      third +
      "} 0.1\n"
      "# HELP brinewatch_query_duration_seconds Time from the start of a query to its page read.\n"
      "# TYPE brinewatch_query_duration_seconds histogram\n"
      "brinewatch_query_duration_seconds_bucket{le=\"0.01\"} 1\n"
      "brinewatch_query_duration_seconds_bucket{le=\"0.05\"} 1\n"
      "brinewatch_query_duration_seconds_bucket{le=\"0.1\"} 1\n"
      "brinewatch_query_duration_seconds_bucket{le=\"0.25\"} 2\n"
      "brinewatch_query_duration_seconds_bucket{le=\"0.5\"} 2\n"
      "brinewatch_query_duration_seconds_bucket{le=\"0.75\"} 4\n"
      "brinewatch_query_duration_seconds_bucket{le=\"1\"} 4\n"
      "brinewatch_query_duration_seconds_bucket{le=\"2.5\"} 4\n"
      "brinewatch_query_duration_seconds_bucket{le=\"5\"} 5\n"
      "brinewatch_query_duration_seconds_bucket{le=\"10\"} 5\n"
      "brinewatch_query_duration_seconds_bucket{le=\"+Inf\"} 6\n"
      "brinewatch_query_duration_seconds_sum 18.71\n"
      "brinewatch_query_duration_seconds_count 6\n"
      "# HELP brinewatch_cycle_duration_seconds Time of a polling cycle, from its first query to "
      "its record.\n"
      "# TYPE brinewatch_cycle_duration_seconds histogram\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"1\"} 0\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"2.5\"} 0\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"5\"} 0\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"9\"} 0\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"10\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"12\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"15\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"20\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"30\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"60\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"90\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"120\"} 1\n"
      "brinewatch_cycle_duration_seconds_bucket{le=\"+Inf\"} 1\n"
      "brinewatch_cycle_duration_seconds_sum 9.5\n"
      "brinewatch_cycle_duration_seconds_count 1\n"
      "# HELP brinewatch_log_records_written_total Records that reached the log's disk.\n"
      "# TYPE brinewatch_log_records_written_total counter\n"
      "brinewatch_log_records_written_total 1\n"
      "# HELP brinewatch_log_write_failures_total Records that could not be written to the log.\n"
      "# TYPE brinewatch_log_write_failures_total counter\n"
      "brinewatch_log_write_failures_total 1\n"
      "# HELP brinewatch_log_open 1 while a log is open (logging is on), else 0.\n"
      "# TYPE brinewatch_log_open gauge\n"
      "brinewatch_log_open 1\n"
      "# HELP brinewatch_log_writing 1 while a log is open and its last record reached the disk, "
      "else 0.\n"
      "# TYPE brinewatch_log_writing gauge\n"
      "brinewatch_log_writing 0\n"
      "# HELP brinewatch_build_info The program serving these metrics and its version.\n"
      "# TYPE brinewatch_build_info gauge\n"
      "brinewatch_build_info{program=\"brinewatchd\",version=\"" +
      version +
      "\"} 1\n"
      "# HELP process_start_time_seconds Start time of the process, in Unix time.\n"
      "# TYPE process_start_time_seconds gauge\n"
      "process_start_time_seconds 1796724000\n";
  EXPECT_EQ(metrics.exposition().toStdString(), expected.toStdString());
}

// A named site is a label on every series, in its place among the others:
// each line is the unnamed one with site="NAME" added.
TEST(Exposition, GivesTheSiteNameToEverySeries) {
  Site site;
  site.sensors = {{2, QStringLiteral("06000000A4EC7428"), QStringLiteral("North"), -1, 2}};
  test::FixedClock clock;
  test::RecordingLog log;
  AcquisitionMetrics metrics(site, QStringLiteral("brinewatchd"), clock, log);
  metrics.queryEnded(1, ReadingOutcome::kRead, 1.5f, 0.2);
  metrics.cycleEnded(1);
  const QList<QByteArray> unnamed = metrics.exposition().split('\n');
  metrics.setSiteName(QStringLiteral("tank\"1"));
  const QList<QByteArray> named = metrics.exposition().split('\n');
  ASSERT_EQ(named.size(), unnamed.size());
  const QRegularExpression labelName(QStringLiteral(R"re([{,]([a-z_]+)=")re"));
  for (qsizetype i = 0; i < named.size(); ++i) {
    const QByteArray& line = named[i];
    if (line.isEmpty() || line.startsWith('#')) {
      EXPECT_EQ(line, unnamed[i]);
      continue;
    }
    SCOPED_TRACE(line.constData());
    QStringList names;
    for (const auto& m : labelName.globalMatch(QString::fromUtf8(line.left(line.indexOf('}')))))
      names << m.captured(1);
    EXPECT_EQ(names.count(QStringLiteral("site")), 1);
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(names, sorted);
    QByteArray without = line;
    without.replace(",site=\"tank\\\"1\"", "").replace("site=\"tank\\\"1\",", "");
    without.replace("{site=\"tank\\\"1\"}", "");
    EXPECT_EQ(without, unnamed[i]);
  }
}

}  // namespace
}  // namespace bw
