#pragma once

#include <QObject>
#include <chrono>
#include <functional>

namespace bw {

// Time that only goes forward, and waits on it: what pacing is measured
// with. Tests give one whose time passes at once.
class SteadyClock {
 public:
  virtual ~SteadyClock() = default;
  // Time since a fixed point; unmoved by changes of the date and time.
  virtual std::chrono::nanoseconds now() const = 0;
  // Runs `call` in the event loop of `context`'s thread once `delay` has
  // passed; not at all when `context` is destroyed first.
  virtual void callAfter(std::chrono::nanoseconds delay, QObject* context,
                         std::function<void()> call) = 0;
};

class SystemSteadyClock final : public SteadyClock {
 public:
  std::chrono::nanoseconds now() const override;
  void callAfter(std::chrono::nanoseconds delay, QObject* context,
                 std::function<void()> call) override;
};

}  // namespace bw
