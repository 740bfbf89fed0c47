#include <gtest/gtest.h>
#include <QTimer>

#include "AcquisitionFakes.h"
#include "Fakes.h"
#include "acquisition/PollingLoop.h"
#include "platform/web/WebBrowser.h"

namespace bw {
namespace {

struct LoopHarness {
  explicit LoopHarness(test::FakeHttpClient::Answerer answerer =
                           [](const QByteArray&) { return test::page("2.5"); })
      : http(new test::FakeHttpClient(std::move(answerer))),
        browser(std::unique_ptr<HttpClient>(http)),
        loop(browser, display, log, pace) {}
  void runCycles(int cycles, const std::array<QString, kMaxReadings>& urls) {
    int seen = 0;
    QObject::connect(&loop, &PollingLoop::cycleEnded, &loop, [&] {
      if (++seen == cycles) loop.stop();
    });
    loop.run(urls);
  }
  test::InstantSteadyClock pace;
  test::FakeHttpClient* http;
  WebBrowser browser;
  test::RecordingDisplay display;
  test::RecordingLog log;
  PollingLoop loop;
};

std::array<QString, kMaxReadings> onlySlots(std::initializer_list<int> filled) {
  std::array<QString, kMaxReadings> urls{};
  for (int slot : filled) urls[static_cast<size_t>(slot)] = QStringLiteral("http://a/%1").arg(slot);
  return urls;
}

TEST(PollingLoop, EmptySlotIsSkippedWithoutTouchingItsReadingOrTheDisplay) {
  LoopHarness h;
  h.runCycles(1, onlySlots({0, 1, 3}));
  EXPECT_EQ(h.http->urls, (QList<QByteArray>{"http://a/0", "http://a/1", "http://a/3"}));
  EXPECT_EQ(h.display.addresses.size(), 3);
  ASSERT_EQ(h.display.readings.size(), 3);
  EXPECT_EQ(h.display.readings[2].first, 4);
  EXPECT_EQ(h.loop.readings()[2], kNoPage);  // never read
  EXPECT_EQ(h.loop.readings()[3], 2.5f);
}

// Twelve sensors polled, and the only one named sits in slot 14: no query
// to make, yet each cycle takes a conversion time.
TEST(PollingLoop, ACycleWithNothingToQueryTakesAConversionTime) {
  LoopHarness h;
  h.runCycles(3, onlySlots({13}));
  EXPECT_TRUE(h.http->urls.isEmpty());
  EXPECT_EQ(h.log.counts, (QList<int>{12, 12, 12}));
  EXPECT_EQ(h.pace.time, 3 * PollingLoop::kConversionTime);
  EXPECT_GE(h.display.shows, 1);
}

// Sixteen Sensors ticked again during a cycle of twelve: slots 13 to 16 are
// not read in it, and their readings from before the untick (maybe days
// old) must not go out under this cycle's stamp.
TEST(PollingLoop, SixteenTickedAgainMidCycle_LogsSlotsThirteenToSixteenAsNotRead) {
  LoopHarness h;
  h.loop.setSensorCount(kMaxReadings);
  int cycles = 0;
  QObject::connect(&h.loop, &PollingLoop::cycleEnded, &h.loop, [&] {
    if (++cycles == 1) h.loop.setSensorCount(kTwelveSensors);
    if (cycles == 3) h.loop.stop();
  });
  int polled = 0;
  QObject::connect(&h.loop, &PollingLoop::slotPolled, &h.loop, [&] {
    if (++polled == 16 + 12 + 3) h.loop.setSensorCount(kMaxReadings);
  });
  std::array<QString, kMaxReadings> all{};
  for (int slot = 0; slot < kMaxReadings; ++slot)
    all[static_cast<size_t>(slot)] = QStringLiteral("http://a/%1").arg(slot);
  h.loop.run(all);
  ASSERT_EQ(h.log.counts, (QList<int>{16, 12, 16}));
  for (int slot = 12; slot < 16; ++slot) {
    EXPECT_EQ(h.log.records[0][static_cast<size_t>(slot)], 2.5f);
    EXPECT_EQ(h.log.records[2][static_cast<size_t>(slot)], kNoPage) << "slot " << slot;
  }
  EXPECT_EQ(h.log.records[2][11], 2.5f);
}

TEST(PollingLoop, RecordNumberCountsWrittenRecordsAndStaysAt32767) {
  LoopHarness h;
  h.runCycles(32769, onlySlots({0}));
  ASSERT_EQ(h.display.recordNumbers.size(), 32769);
  EXPECT_EQ(h.display.recordNumbers.first(), 1);
  EXPECT_EQ(h.display.recordNumbers[32766], 32767);
  EXPECT_EQ(h.display.recordNumbers[32767], 32767);
  EXPECT_EQ(h.display.recordNumbers.last(), 32767);
  EXPECT_EQ(h.loop.recordNumber(), 32767);
}

TEST(PollingLoop, NoRecordWhileLoggingIsOff_AndFailedRecordsAreNotCounted) {
  LoopHarness h;
  h.log.on = false;
  h.runCycles(2, onlySlots({0}));
  EXPECT_TRUE(h.log.counts.isEmpty());
  EXPECT_TRUE(h.display.recordNumbers.isEmpty());

  LoopHarness failing;
  failing.log.succeed = false;
  failing.runCycles(3, onlySlots({0}));
  EXPECT_EQ(failing.log.counts.size(), 3);
  EXPECT_TRUE(failing.display.recordNumbers.isEmpty());
  EXPECT_EQ(failing.display.failures, QStringList(3, QStringLiteral("disk full")));
  EXPECT_EQ(failing.loop.recordNumber(), 1);
}

TEST(PollingLoop, StopDuringAWaitEndsWithoutAnotherStep) {
  LoopHarness h;
  QObject::connect(
      h.http, &HttpClient::finished, &h.loop, [&] { h.loop.stop(); }, Qt::DirectConnection);
  h.loop.run(onlySlots({0, 1}));
  // The stop came while the first page was finishing: nothing after it runs.
  EXPECT_EQ(h.http->urls.size(), 1);
  EXPECT_LE(h.display.readings.size(), 1);
  EXPECT_TRUE(h.log.counts.isEmpty());
}

TEST(PollingLoop, AQueryBeginsAConversionTimeAfterThePreviousOneBeganAnsweredOrNot) {
  using namespace std::chrono_literals;
  auto answer = [](int status, const QByteArray& body) {
    HttpAnswer a;
    a.answered = true;
    a.status = status;
    a.body = body;
    return a;
  };
  constexpr std::chrono::nanoseconds conversion = PollingLoop::kConversionTime;
  const struct {
    const char* what;
    HttpAnswer answer;
    std::chrono::nanoseconds takes;  // how long the adapter takes to answer
    float reading;
    std::chrono::nanoseconds apart;
  } cases[] = {
      {"instant reading", test::page("2.5"), 0ms, 2.5f, conversion},
      {"no answer", HttpAnswer{}, 0ms, kNoPage, conversion},
      {"empty 200", answer(200, {}), 0ms, kNoPage, conversion},
      {"error page", answer(500, "<html><body>Internal error</body></html>"), 0ms, kNoTemperature,
       conversion},
      {"garbage", answer(200, "\x01\x02 not a page"), 0ms, kNoTemperature, conversion},
      {"unreadable value", test::page("n/a"), 0ms, 0.0f, conversion},
      {"slower than a conversion", test::page("2.5"), 900ms, 2.5f, 900ms},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QList<std::chrono::nanoseconds> began;
    LoopHarness h([&](const QByteArray&) {
      began.append(h.pace.now());  // no time passes between a query and its answer here
      h.pace.time += c.takes;
      return c.answer;
    });
    // Five queries over three slots: the pace holds across the end of a cycle.
    QObject::connect(&h.loop, &PollingLoop::slotPolled, &h.loop, [&] {
      if (h.display.readings.size() == 5) h.loop.stop();
    });
    h.loop.run(onlySlots({0, 1, 2}));
    ASSERT_EQ(began.size(), 5);
    for (int i = 0; i < began.size(); ++i)
      EXPECT_EQ(began[i].count(), (i * c.apart).count()) << "ns, query " << i;
    EXPECT_EQ(h.display.readings.size(), 5);  // each one still read and shown
    EXPECT_EQ(h.loop.readings()[0], c.reading);
  }
}

TEST(PollingLoop, StopDuringThePauseEndsItAtOnce) {
  LoopHarness h([](const QByteArray&) { return HttpAnswer{}; });
  QObject::connect(&h.loop, &PollingLoop::slotPolled, &h.loop,
                   [&] { QTimer::singleShot(0, &h.loop, [&] { h.loop.stop(); }); });
  h.loop.run(onlySlots({0, 1}));
  EXPECT_EQ(h.http->urls.size(), 1);
  EXPECT_EQ(h.pace.now().count(), 0);  // the pause did not run out
  EXPECT_TRUE(h.log.counts.isEmpty());
}

}  // namespace
}  // namespace bw
