#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

#include "AcquisitionFakes.h"
#include "Fakes.h"
#include "UnitFile.h"
#include "daemon/LoggerService.h"
#include "platform/TerminationNotifier.h"

namespace bw {
namespace {

using test::FakeHttpClient;

// runLogger in this process over the tests' stand-ins, on a site file of one
// sensor that gave the adapter on line 1, the log on line 2 and the metrics
// on line 3; `whenAsked` runs at each query, told how many were asked for.
struct Service {
  Service() {
    site = builtInSite(QStringLiteral("adapter.test"));
    site.sensors.resize(1);
    site.file = QStringLiteral("site.toml");
    site.log = dir.filePath(QStringLiteral("tank.log"));
    site.metrics = parseListenAddress(QStringLiteral("127.0.0.1:0"));
    site.lines = {1, 2, 3};
  }
  int run(std::function<HttpAnswer(int query)> answer, bool hangs = false) {
    auto http = std::make_unique<FakeHttpClient>([this, answer](const QByteArray&) {
      return answer(static_cast<int>(client->urls.size()));
    });
    client = http.get();
    client->hangs = hangs;
    return runLogger(site, {},
                     LoggerServices{std::move(http), clock, pace, manager, termination,
                                    [this](int priority, const QString& line) {
                                      journal << QStringLiteral("<%1>%2").arg(priority).arg(line);
                                    }});
  }
  // Asks for the end as SIGTERM does, once the event loop turns again.
  void terminateSoon() {
    QTimer::singleShot(0, &termination, [this] { emit termination.terminationRequested(SIGTERM); });
  }
  QStringList said(const QString& part) const { return journal.filter(part); }

  QTemporaryDir dir;
  Site site;
  test::FixedClock clock;
  test::InstantSteadyClock pace;
  test::RecordingServiceManager manager;
  TerminationNotifier termination{TerminationNotifier::Hangup::kReloads};
  FakeHttpClient* client = nullptr;
  QStringList journal;
};

// A sensor that fails, fails again and reads again is said twice: when it
// stops reading and when it reads again, never once per cycle.
TEST(LoggerRun, TheJournalSaysASensorOnceWhenItFailsAndOnceWhenItReadsAgain) {
  Service s;
  const int status = s.run([&s](int query) {
    if (query < 3) return HttpAnswer{};
    s.terminateSoon();
    return test::page("4.5");
  });
  EXPECT_EQ(status, 0);
  const QStringList sensor = s.said(QStringLiteral("sensor 1 (9C000000B4A89828)"));
  ASSERT_EQ(sensor.size(), 2) << sensor.join(u'\n').toStdString();
  EXPECT_TRUE(sensor[0].startsWith(QStringLiteral("<4>sensor 1 (9C000000B4A89828): no page")));
  EXPECT_EQ(sensor[1], QStringLiteral("<6>sensor 1 (9C000000B4A89828): reading again"));
  EXPECT_EQ(s.manager.told.first(), QStringLiteral("ready: polling 1 sensors of adapter.test"));
  EXPECT_EQ(s.manager.told.last(), QStringLiteral("stopping"));
}

// SIGTERM while the adapter holds the first query: the logger ends at once,
// never ready, with its log closed.
TEST(LoggerRun, SigtermDuringAHungQueryBeforeReadyEndsTheLogger) {
  Service s;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
    if (s.client && !s.client->urls.isEmpty()) {
      watch.stop();
      s.terminateSoon();
    }
  });
  watch.start(0);
  EXPECT_EQ(s.run([](int) { return HttpAnswer{}; }, true), 0);
  EXPECT_EQ(s.client->urls.size(), 1);
  EXPECT_EQ(s.manager.told, QStringList{QStringLiteral("stopping")});
  EXPECT_EQ(s.journal.last(), QStringLiteral("<6>stopped; the log is closed"));
}

// A log or metrics that cannot be used end the logger before any query, said
// of the site file's line as its parse errors are, with a status that tells a
// failure that may pass (restarted by the unit) from one that stays.
TEST(LoggerRun, ALogOrMetricsThatCannotBeUsedEndItAtTheStartNamingTheSiteFileLine) {
  QTcpServer taken;
  ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
  struct Case {
    const char* what;
    QString log, metrics;  // empty: the fixture's
    LoggerExit status;
    QString said;
  };
  const Case cases[] = {
      {"a log in a folder that is not there",
       QStringLiteral("gone/tank.log"),
       {},
       LoggerExit::kLogUnusable,
       QStringLiteral("<3>site.toml:2: the log %1 cannot be opened: ")},
      // A documentation address: bound to no interface here, and never sent to.
      {"a metrics address not of this host",
       {},
       QStringLiteral("192.0.2.1:9816"),
       LoggerExit::kMetricsUnusable,
       QStringLiteral("<3>site.toml:3: the metrics: ")},
      {"a metrics port taken",
       {},
       QStringLiteral("127.0.0.1:%1").arg(taken.serverPort()),
       LoggerExit::kFailed,
       QStringLiteral("<3>site.toml:3: the metrics: ")},
  };
  const QSet<int> prevented = test::unitRestartPrevented(BRINEWATCHD_UNIT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Service s;
    if (!c.log.isEmpty()) s.site.log = s.dir.filePath(c.log);
    if (!c.metrics.isEmpty()) s.site.metrics = parseListenAddress(c.metrics);
    EXPECT_EQ(s.run([](int) { return HttpAnswer{}; }), status(c.status));
    EXPECT_TRUE(s.client->urls.isEmpty());
    ASSERT_EQ(s.journal.size(), 1);
    EXPECT_TRUE(s.journal[0].startsWith(QString(c.said).replace(QStringLiteral("%1"), s.site.log)))
        << s.journal[0].toStdString();
    EXPECT_EQ(prevented.contains(status(c.status)), c.status != LoggerExit::kFailed)
        << "the unit's RestartPreventExitStatus=";
  }
  EXPECT_TRUE(prevented.contains(status(LoggerExit::kUsage)));
}

}  // namespace
}  // namespace bw
