#include "acquisition/PollingLoop.h"

#include <QEventLoop>

#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/ReadTemperature.h"
#include "acquisition/RecordLog.h"
#include "platform/SteadyClock.h"
#include "platform/web/WebBrowser.h"

namespace bw {

PollingLoop::PollingLoop(WebBrowser& browser, AcquisitionDisplay& display, RecordLog& log,
                         SteadyClock& pace, QObject* parent)
    : QObject(parent), browser_(browser), display_(&display), log_(log), pace_(pace) {
  log_.setListener(this);
}

PollingLoop::~PollingLoop() {
  log_.setListener(nullptr);
}

void PollingLoop::setSensorCount(int count) {
  const int next = count == kMaxReadings ? kMaxReadings : kTwelveSensors;
  // The four added slots start unread, as on the first tick: what they held
  // before an untick may be days old, and a cycle of twelve begun already
  // does not read them before its record.
  if (next == kMaxReadings && sensorCount_ != kMaxReadings)
    for (int slot = kTwelveSensors; slot < kMaxReadings; ++slot)
      readings_[static_cast<size_t>(slot)] = kNoPage;
  sensorCount_ = next;
}

void PollingLoop::stop() {
  if (stopping_) return;
  stopping_ = true;
  emit stopRequested();
}

void PollingLoop::run(const std::array<QString, kMaxReadings>& urls) {
  urls_ = urls;
  recordNumber_ = 1;
  while (!stopping_) {
    // The last index is fixed for the cycle; a count changed meanwhile only
    // shows in this cycle's record.
    const int lastSlot = sensorCount_ - 1;
    const std::chrono::nanoseconds began = pace_.now();
    bool queried = false;
    for (int slot = 0; slot <= lastSlot; ++slot) {
      queried = pollSlot(slot) || queried;
      if (stopping_) return;
    }
    // A cycle with nothing to query (a site whose sensors all sit in the slots
    // not polled) takes a conversion time as a query would, so it never spins,
    // and the window shows without a page, so Sixteen Sensors can be ticked.
    if (!queried) {
      display_->showWindow();
      lastQueryBegan_ = pace_.now();
      waitForConversion();
      if (stopping_) return;
    }
    if (log_.loggingOn()) endCycle();
    lastCycleTook_ = pace_.now() - began;
    emit cycleEnded();
  }
}

bool PollingLoop::pollSlot(int slot) {
  const QString& url = urls_[static_cast<size_t>(slot)];
  if (url.isEmpty()) return false;
  waitForConversion();
  if (stopping_) return false;
  display_->showAddress(url);
  lastQueryBegan_ = pace_.now();
  browser_.navigate(url);
  if (!waitForPage()) return true;
  display_->showWindow();
  const ReadingOutcome outcome = readTemperature(browser_.document(), workingReading_);
  readings_[static_cast<size_t>(slot)] = workingReading_;
  display_->showReading(slot + 1, workingReading_);
  emit slotPolled(slot);
  const std::chrono::duration<double> took = pace_.now() - *lastQueryBegan_;
  emit queryEnded(slot, outcome, workingReading_, took.count());
  return true;
}

void PollingLoop::waitForConversion() {
  if (!lastQueryBegan_ || stopping_) return;
  const std::chrono::nanoseconds left = *lastQueryBegan_ + kConversionTime - pace_.now();
  if (left <= std::chrono::nanoseconds::zero()) return;
  // Like the wait for a page: events are handled as they come, and a stop
  // ends the wait at once.
  QEventLoop wait;
  connect(this, &PollingLoop::stopRequested, &wait, &QEventLoop::quit);
  pace_.callAfter(left, &wait, [&wait] { wait.quit(); });
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
  // The count is read now, not at the start of the cycle.
  log_.writeRecord(readings_, sensorCount_);
}

void PollingLoop::recordWritten() {
  display_->showRecordNumber(recordNumber_);
  if (recordNumber_ < kMaxRecordNumber) ++recordNumber_;
  emit recordLogged(true);
}

void PollingLoop::recordFailed(const QString& reason) {
  // Not counted; polling goes on and the next record tries again.
  display_->showLoggingFailure(reason);
  emit recordLogged(false);
}

void PollingLoop::logStalled(const QString& reason) {
  display_->showLoggingFailure(reason);
}

}  // namespace bw
