#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

namespace bw {

class Clock;

// Wakes once a minute, just after the clock's minute changes, so texts that
// show the time stay current without waking the program every second.
class MinuteTimer : public QObject {
  Q_OBJECT

 public:
  explicit MinuteTimer(const Clock& clock, QObject* parent = nullptr);

  // Arms the timer for the next minute boundary of the clock.
  void start();
  void stop();
  bool isActive() const { return timer_.isActive(); }
  // Time from `now` to the next whole minute, at least 1 ms.
  static std::chrono::milliseconds untilNextMinute(const QDateTime& now);
  // The wait the timer was last armed with.
  std::chrono::milliseconds interval() const { return timer_.intervalAsDuration(); }

 signals:
  void minuteBegan();

 private:
  void onTimeout();

  const Clock& clock_;
  QTimer timer_;
};

}  // namespace bw
