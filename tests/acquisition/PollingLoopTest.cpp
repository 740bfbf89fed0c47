#include <gtest/gtest.h>
#include <QTimer>

#include "FakeHttpClient.h"
#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/PollingLoop.h"
#include "acquisition/RecordLog.h"
#include "platform/web/WebBrowser.h"

namespace bw {
namespace {

struct RecordingDisplay final : AcquisitionDisplay {
  void showAddress(const QString& url) override { addresses.append(url); }
  void showWindow() override { ++shows; }
  void showReading(int number, float value) override { readings.append({number, value}); }
  void showRecordNumber(int number) override { recordNumbers.append(number); }
  void showLoggingFailure(const QString& reason) override { failures.append(reason); }
  QStringList addresses;
  int shows = 0;
  QList<std::pair<int, float>> readings;
  QList<int> recordNumbers;
  QStringList failures;
};

struct CountingLog final : RecordLog {
  bool loggingOn() const override { return on; }
  bool writeRecord(const Readings&, int count) override {
    counts.append(count);
    return succeed;
  }
  QString lastError() const override { return QStringLiteral("disk full"); }
  bool on = true;
  bool succeed = true;
  QList<int> counts;
};

struct LoopHarness {
  LoopHarness()
      : http(new test::FakeHttpClient([](const QByteArray&) { return test::page("2.5"); })),
        browser(std::unique_ptr<HttpClient>(http)),
        loop(browser, display, log) {}
  void runCycles(int cycles, const std::array<QString, kSlotCount>& urls) {
    int seen = 0;
    QObject::connect(&loop, &PollingLoop::cycleEnded, &loop, [&] {
      if (++seen == cycles) loop.stop();
    });
    loop.run(urls);
  }
  test::FakeHttpClient* http;
  WebBrowser browser;
  RecordingDisplay display;
  CountingLog log;
  PollingLoop loop;
};

std::array<QString, kSlotCount> onlySlots(std::initializer_list<int> filled) {
  std::array<QString, kSlotCount> urls{};
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

TEST(PollingLoop, QueriesThatGiveNoReadingAreNotHammered) {
  // Each of these fails at once: without pacing the loop would query
  // thousands of times in the time allowed here.
  auto answer = [](int status, const QByteArray& body) {
    HttpAnswer a;
    a.answered = true;
    a.status = status;
    a.body = body;
    return a;
  };
  const struct {
    const char* what;
    HttpAnswer answer;
    float reading;
  } cases[] = {
      {"no answer", HttpAnswer{}, kNoPage},
      {"empty 200", answer(200, {}), kNoPage},
      {"error page", answer(500, "<html><body>Internal error</body></html>"), kNoTemperature},
      {"garbage", answer(200, "\x01\x02 not a page"), kNoTemperature},
      {"unreadable value", test::page("n/a"), 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const HttpAnswer fixed = c.answer;
    auto* http = new test::FakeHttpClient([fixed](const QByteArray&) { return fixed; });
    WebBrowser browser{std::unique_ptr<HttpClient>(http)};
    RecordingDisplay display;
    CountingLog log;
    PollingLoop loop(browser, display, log);
    QTimer::singleShot(PollingLoop::kFailedReadingPace * 3 / 2, &loop, [&] { loop.stop(); });
    loop.run(onlySlots({0, 1, 2}));
    EXPECT_GE(http->urls.size(), 1);
    EXPECT_LE(http->urls.size(), 2);
    EXPECT_EQ(display.readings.size(), http->urls.size());  // each one still read and shown
    EXPECT_EQ(loop.readings()[0], c.reading);
  }
}

TEST(PollingLoop, StopDuringTheNoAnswerPauseEndsAtOnce) {
  auto* http = new test::FakeHttpClient([](const QByteArray&) { return HttpAnswer{}; });
  WebBrowser browser{std::unique_ptr<HttpClient>(http)};
  RecordingDisplay display;
  CountingLog log;
  PollingLoop loop(browser, display, log);
  QObject::connect(&loop, &PollingLoop::slotPolled, &loop,
                   [&] { QTimer::singleShot(0, &loop, [&] { loop.stop(); }); });
  loop.run(onlySlots({0, 1}));
  EXPECT_EQ(http->urls.size(), 1);
  EXPECT_TRUE(log.counts.isEmpty());
}

}  // namespace
}  // namespace bw
