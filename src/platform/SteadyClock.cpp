#include "platform/SteadyClock.h"

#include <QTimer>

namespace bw {

std::chrono::nanoseconds SystemSteadyClock::now() const {
  return std::chrono::steady_clock::now().time_since_epoch();
}

void SystemSteadyClock::callAfter(std::chrono::nanoseconds delay, QObject* context,
                                  std::function<void()> call) {
  // Rounded up, and a precise timer: a coarse one may fire up to 5 % early.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(
      std::max(delay, std::chrono::nanoseconds::zero()));
  QTimer::singleShot(ms, Qt::PreciseTimer, context, std::move(call));
}

}  // namespace bw
