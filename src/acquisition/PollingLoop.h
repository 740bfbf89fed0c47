#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <optional>

#include "acquisition/ReadTemperature.h"
#include "acquisition/Readings.h"
#include "acquisition/RecordLog.h"
#include "acquisition/SensorTable.h"

namespace bw {

class AcquisitionDisplay;
class SteadyClock;
class WebBrowser;

// The program's engine: polls slot after slot through the browser, shows
// each reading, and hands one record per cycle to the log while logging is
// on; a record counts once the log says it is on the disk, whenever that
// is, so a slow disk never holds polling. It runs on the GUI thread; every user command is handled
// inside the wait for a page, so a handler may change the sensor count or logging between two
// steps, and a modal dialog holds the loop until it closes.
class PollingLoop : public QObject, private RecordListener {
  Q_OBJECT

 public:
  static constexpr qint16 kMaxRecordNumber = 32767;
  // A DS18B20 at 12 bits takes this long for a conversion: an answer that
  // comes sooner can only repeat one. A query begins no sooner than this
  // after the one before it began, answered or not, so an adapter that
  // answers or fails at once is not hammered, the program does not eat a
  // core and the log does not fill with the same readings. A real adapter
  // takes this long anyway.
  static constexpr std::chrono::milliseconds kConversionTime{750};

  // `pace` measures the time between queries and waits on it.
  PollingLoop(WebBrowser& browser, AcquisitionDisplay& display, RecordLog& log, SteadyClock& pace,
              QObject* parent = nullptr);
  ~PollingLoop() override;

  // Fills the URL table and polls until stop() is asked for; returns without
  // any further step once it is.
  void run(const std::array<QString, kMaxReadings>& urls);
  void stop();
  bool stopping() const { return stopping_; }
  // Where the loop shows what it does from now on.
  void setDisplay(AcquisitionDisplay& display) { display_ = &display; }

  // kTwelveSensors or kMaxReadings; any other value is taken as 12. Going
  // to kMaxReadings marks slots 13 to 16 as not read yet.
  void setSensorCount(int count);
  int sensorCount() const { return sensorCount_; }
  qint16 recordNumber() const { return recordNumber_; }
  const Readings& readings() const { return readings_; }
  // How long the cycle just ended took, on the pacing clock.
  std::chrono::nanoseconds lastCycleTook() const { return lastCycleTook_; }

 signals:
  void stopRequested();
  void slotPolled(int slot);
  // A page was read for `slot`: what it gave, the value stored, and the time
  // from the query's start to its end.
  void queryEnded(int slot, bw::ReadingOutcome outcome, float stored, double seconds);
  // A record handed to the log at the end of a cycle has ended: `written`
  // once it is on the disk (and counted), else it failed.
  void recordLogged(bool written);
  void cycleEnded();

 private:
  // False for an empty slot, which is no query.
  bool pollSlot(int slot);
  bool waitForPage();
  // Waits in the event loop until kConversionTime has passed since the last
  // query began, or stop() is asked for.
  void waitForConversion();
  void endCycle();
  void recordWritten() override;
  void recordFailed(const QString& reason) override;
  void logStalled(const QString& reason) override;

  WebBrowser& browser_;
  AcquisitionDisplay* display_;
  RecordLog& log_;
  SteadyClock& pace_;
  std::optional<std::chrono::nanoseconds> lastQueryBegan_;
  std::chrono::nanoseconds lastCycleTook_{0};
  std::array<QString, kMaxReadings> urls_{};
  Readings readings_ = unreadSlots();
  float workingReading_ = 0.0f;
  int sensorCount_ = kTwelveSensors;
  qint16 recordNumber_ = 1;
  bool stopping_ = false;
};

}  // namespace bw
