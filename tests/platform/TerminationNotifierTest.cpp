#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QSignalSpy>
#include <csignal>
#include <memory>

#include "platform/TerminationNotifier.h"

namespace bw {
namespace {

volatile sig_atomic_t earlierHandlerCalls = 0;
extern "C" void earlierHandler(int) {
  earlierHandlerCalls = earlierHandlerCalls + 1;
}

TEST(TerminationNotifier, SigtermSigintAndSighupArriveThroughTheEventLoopInsteadOfKilling) {
  TerminationNotifier notifier;
  QSignalSpy spy(&notifier, &TerminationNotifier::terminationRequested);
  QSignalSpy reloads(&notifier, &TerminationNotifier::reloadRequested);
  ::raise(SIGTERM);
  ::raise(SIGINT);
  ::raise(SIGHUP);
  EXPECT_TRUE(spy.isEmpty()) << "only the event loop delivers it";
  while (spy.size() < 3 && spy.wait(2000)) {
  }
  ASSERT_EQ(spy.size(), 3);
  EXPECT_EQ(spy[0][0].toInt(), SIGTERM);
  EXPECT_EQ(spy[1][0].toInt(), SIGINT);
  EXPECT_EQ(spy[2][0].toInt(), SIGHUP);
  EXPECT_TRUE(reloads.isEmpty());
}

TEST(TerminationNotifier, ASighupAskedForAsReloadIsNoTermination) {
  TerminationNotifier notifier(TerminationNotifier::Hangup::kReloads);
  QSignalSpy ends(&notifier, &TerminationNotifier::terminationRequested);
  QSignalSpy reloads(&notifier, &TerminationNotifier::reloadRequested);
  ::raise(SIGHUP);
  ::raise(SIGTERM);
  while (ends.isEmpty() && ends.wait(2000)) {
  }
  EXPECT_EQ(reloads.size(), 1);
  ASSERT_EQ(ends.size(), 1);
  EXPECT_EQ(ends[0][0].toInt(), SIGTERM);
}

TEST(TerminationNotifier, OneListensAtATimeAndOnceItIsGoneTheEarlierHandlerIsBack) {
  struct sigaction earlier {};
  earlier.sa_handler = earlierHandler;
  sigemptyset(&earlier.sa_mask);
  struct sigaction saved {};
  ::sigaction(SIGTERM, &earlier, &saved);
  earlierHandlerCalls = 0;
  {
    TerminationNotifier first;
    TerminationNotifier second;
    EXPECT_TRUE(first.listening());
    EXPECT_FALSE(second.listening());
    QSignalSpy firstSpy(&first, &TerminationNotifier::terminationRequested);
    QSignalSpy secondSpy(&second, &TerminationNotifier::terminationRequested);
    ::raise(SIGTERM);
    ASSERT_TRUE(firstSpy.wait(2000));
    EXPECT_TRUE(secondSpy.isEmpty());
    EXPECT_EQ(earlierHandlerCalls, 0);
  }
  ::raise(SIGTERM);
  EXPECT_EQ(earlierHandlerCalls, 1);
  ::sigaction(SIGTERM, &saved, nullptr);
}

TEST(TerminationNotifier, AQuitRequestIsReportedBeforeTheApplicationActsOnIt) {
  TerminationNotifier notifier;
  QSignalSpy spy(&notifier, &TerminationNotifier::quitRequested);
  QEvent quit(QEvent::Quit);
  QObject other;
  QCoreApplication::sendEvent(&other, &quit);
  EXPECT_TRUE(spy.isEmpty()) << "only the application's own quit counts";
  // Sent, not posted, and no event loop runs: nothing is left to quit.
  QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
  EXPECT_EQ(spy.size(), 1);
}

// Only the desktop makes session managers, so the request itself cannot be
// sent here: the notifier is seen to be connected to it.
TEST(TerminationNotifier, InAGuiApplicationItRelaysTheSessionSaveRequest) {
  TerminationNotifier notifier;
  EXPECT_TRUE(QObject::disconnect(qApp, SIGNAL(commitDataRequest(QSessionManager&)), &notifier,
                                  SIGNAL(sessionSaveRequested())));
}

}  // namespace
}  // namespace bw
