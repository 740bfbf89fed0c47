#include "acquisition/PollingLoop.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/ReadTemperature.h"
#include "acquisition/RecordLog.h"
#include "platform/web/WebBrowser.h"

namespace bw {

PollingLoop::PollingLoop(WebBrowser& browser, AcquisitionDisplay& display, RecordLog& log,
                         QObject* parent)
    : QObject(parent), browser_(browser), display_(display), log_(log) {}

void PollingLoop::setSensorCount(int count) {
  sensorCount_ = count == kSixteenSensors ? kSixteenSensors : kTwelveSensors;
}

void PollingLoop::stop() {
  if (stopping_) return;
  stopping_ = true;
  emit stopRequested();
}

void PollingLoop::run(const std::array<QString, kSlotCount>& urls) {
  urls_ = urls;
  recordNumber_ = 1;
  while (!stopping_) {
    // The last index is fixed for the cycle; a count changed meanwhile only
    // shows in this cycle's record.
    const int lastSlot = sensorCount_ - 1;
    for (int slot = 0; slot <= lastSlot; ++slot) {
      pollSlot(slot);
      if (stopping_) return;
    }
    if (log_.loggingOn()) endCycle();
    emit cycleEnded();
  }
}

void PollingLoop::pollSlot(int slot) {
  const QString& url = urls_[static_cast<size_t>(slot)];
  if (url.isEmpty()) return;
  display_.showAddress(url);
  QElapsedTimer started;
  started.start();
  browser_.navigate(url);
  if (!waitForPage()) return;
  display_.showWindow();
  const bool read = readTemperature(browser_.document(), workingReading_);
  readings_[static_cast<size_t>(slot)] = workingReading_;
  display_.showReading(slot + 1, workingReading_);
  emit slotPolled(slot);
  if (!read) {
    const auto spent = std::chrono::milliseconds(started.elapsed());
    if (spent < kFailedReadingPace) pause(kFailedReadingPace - spent);
  }
}

void PollingLoop::pause(std::chrono::milliseconds time) {
  if (stopping_) return;
  QEventLoop wait;
  QTimer timer;
  timer.setSingleShot(true);
  connect(&timer, &QTimer::timeout, &wait, &QEventLoop::quit);
  connect(this, &PollingLoop::stopRequested, &wait, &QEventLoop::quit);
  timer.start(time);
  wait.exec();
}

bool PollingLoop::waitForPage() {
  if (browser_.readyState() != WebBrowser::kReadyStateComplete && !stopping_) {
    // Blocks in the event dispatcher: events are handled as they come and an
    // idle wait costs no CPU.
    QEventLoop wait;
    connect(&browser_, &WebBrowser::documentComplete, &wait, &QEventLoop::quit);
    connect(this, &PollingLoop::stopRequested, &wait, &QEventLoop::quit);
    wait.exec();
  }
  return !stopping_ && browser_.readyState() == WebBrowser::kReadyStateComplete;
}

void PollingLoop::endCycle() {
  // The count is read now, not at the start of the cycle. A record that did
  // not reach the disk is not counted.
  if (!log_.writeRecord(readings_, sensorCount_)) {
    display_.showLoggingFailure(log_.lastError());
    return;
  }
  display_.showRecordNumber(recordNumber_);
  if (recordNumber_ < kMaxRecordNumber) ++recordNumber_;
}

}  // namespace bw
