#include <gtest/gtest.h>

#include <unistd.h>
#include <QTemporaryDir>

#include "NotifySocket.h"
#include "platform/ServiceManager.h"

namespace bw {
namespace {

using namespace std::chrono_literals;
using test::NotifySocket;

// The environment a service manager gives, for one test.
class ManagerEnvironment {
 public:
  ManagerEnvironment(const QByteArray& socket, const QByteArray& watchdogPid) {
    qputenv("NOTIFY_SOCKET", socket);
    qputenv("WATCHDOG_USEC", "4000");
    qputenv("WATCHDOG_PID", watchdogPid);
  }
  ~ManagerEnvironment() {
    for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"}) qunsetenv(name);
  }
};

// No library of the manager's: the datagrams are the program's own.
TEST(SystemdServiceManager, TellsTheManagersSocketByPathOrAbstractName) {
  QTemporaryDir dir;
  const QByteArray self = QByteArray::number(::getpid());
  for (const QByteArray& name : {QFile::encodeName(dir.filePath(QStringLiteral("notify"))),
                                 QByteArray("@brinewatch-notify-test-") + self}) {
    SCOPED_TRACE(name.constData());
    NotifySocket manager(QFile::decodeName(name));
    ASSERT_TRUE(manager.bound());
    const ManagerEnvironment environment(name, self);
    SystemdServiceManager service;
    service.ready(QStringLiteral("polling 4 sensors"));
    std::this_thread::sleep_for(2ms);  // past a quarter of the watchdog's interval
    service.alive();
    service.stopping();
    ASSERT_TRUE(manager.waitFor("STOPPING=1", 5s));
    EXPECT_EQ(manager.seen(),
              (QList<QByteArray>{"READY=1\nSTATUS=polling 4 sensors", "WATCHDOG=1", "STOPPING=1"}));
  }
}

TEST(SystemdServiceManager, TheWatchdogOfAnotherProcessIsNotPinged) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("notify"));
  NotifySocket manager(name);
  ASSERT_TRUE(manager.bound());
  const ManagerEnvironment environment(QFile::encodeName(name), QByteArray::number(::getpid() + 1));
  SystemdServiceManager service;
  std::this_thread::sleep_for(2ms);
  service.alive();
  service.stopping();
  ASSERT_TRUE(manager.waitFor("STOPPING=1", 5s));
  EXPECT_EQ(manager.seen(), QList<QByteArray>{"STOPPING=1"});
}

}  // namespace
}  // namespace bw
