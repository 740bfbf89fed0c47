#include <gtest/gtest.h>
#include <QSignalSpy>
#include <csignal>
#include <memory>

#include "platform/desktop/TerminationNotifier.h"

namespace bw {
namespace {

volatile sig_atomic_t earlierHandlerCalls = 0;
extern "C" void earlierHandler(int) {
  earlierHandlerCalls = earlierHandlerCalls + 1;
}

TEST(TerminationNotifier, SigtermAndSigintArriveThroughTheEventLoopInsteadOfKilling) {
  TerminationNotifier notifier;
  QSignalSpy spy(&notifier, &TerminationNotifier::terminationRequested);
  ::raise(SIGTERM);
  ::raise(SIGINT);
  EXPECT_TRUE(spy.isEmpty()) << "only the event loop delivers it";
  while (spy.size() < 2 && spy.wait(2000)) {
  }
  ASSERT_EQ(spy.size(), 2);
  EXPECT_EQ(spy[0][0].toInt(), SIGTERM);
  EXPECT_EQ(spy[1][0].toInt(), SIGINT);
}

TEST(TerminationNotifier, EveryLiveNotifierHearsItAndTheLastOneGoneRestoresTheEarlierHandler) {
  struct sigaction earlier {};
  earlier.sa_handler = earlierHandler;
  sigemptyset(&earlier.sa_mask);
  struct sigaction saved {};
  ::sigaction(SIGTERM, &earlier, &saved);
  earlierHandlerCalls = 0;
  {
    auto first = std::make_unique<TerminationNotifier>();
    TerminationNotifier second;
    QSignalSpy firstSpy(first.get(), &TerminationNotifier::terminationRequested);
    QSignalSpy secondSpy(&second, &TerminationNotifier::terminationRequested);
    ::raise(SIGTERM);
    ASSERT_TRUE(secondSpy.wait(2000));
    EXPECT_EQ(firstSpy.size(), 1);

    // The oldest one reads the pipe; once it is gone the next one does.
    first.reset();
    ::raise(SIGTERM);
    ASSERT_TRUE(secondSpy.wait(2000));
    EXPECT_EQ(secondSpy.size(), 2);
    EXPECT_EQ(earlierHandlerCalls, 0);
  }
  ::raise(SIGTERM);
  EXPECT_EQ(earlierHandlerCalls, 1);
  ::sigaction(SIGTERM, &saved, nullptr);
}

}  // namespace
}  // namespace bw
