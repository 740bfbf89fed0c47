#include "frame/MinuteTimer.h"

#include "platform/Clock.h"

namespace bw {

namespace {
constexpr std::chrono::milliseconds kMinute = std::chrono::minutes(1);
constexpr std::chrono::milliseconds kShortest{1};
}  // namespace

MinuteTimer::MinuteTimer(const Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {
  timer_.setSingleShot(true);
  // One wake a minute: precision costs nothing, and a coarse timer could
  // wake seconds early or late.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &MinuteTimer::onTimeout);
}

void MinuteTimer::start() {
  timer_.start(untilNextMinute(clock_.now()));
}

void MinuteTimer::stop() {
  timer_.stop();
}

std::chrono::milliseconds MinuteTimer::untilNextMinute(const QDateTime& now) {
  const QTime time = now.time();
  const std::chrono::milliseconds intoMinute{time.second() * 1000 + time.msec()};
  return std::max(kShortest, kMinute - intoMinute);
}

void MinuteTimer::onTimeout() {
  // Re-armed from the clock each time, so a late wake or a changed clock
  // does not build up.
  start();
  emit minuteBegan();
}

}  // namespace bw
