#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTimer>

#include "AdapterSimulator.h"
#include "acquisition/ReadTemperature.h"
#include "acquisition/Readings.h"
#include "acquisition/SensorTable.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/WebBrowser.h"

namespace bw {
namespace {

using namespace std::chrono_literals;

// Pages served over real HTTP by the simulated adapter, read as the polling
// loop reads them.
class ReadTemperature : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(adapter.start()); }

  // The value left in `working` after reading slot 0's page.
  float readSlot0(float working) {
    browser.navigate(queryUrl(adapter.host(), kBuiltInRomCodes[0]));
    QEventLoop wait;
    QObject::connect(&browser, &WebBrowser::documentComplete, &wait, &QEventLoop::quit);
    QTimer::singleShot(20s, &wait, &QEventLoop::quit);  // only when something is broken
    if (browser.readyState() != WebBrowser::kReadyStateComplete) wait.exec();
    EXPECT_EQ(browser.readyState(), WebBrowser::kReadyStateComplete);
    readTemperature(browser.document(), working);
    return working;
  }

  void serve(int status, const QByteArray& body) { adapter.setCustomAnswer(0, status, body); }

  sim::AdapterSimulator adapter;
  CurlHttpClient* http = new CurlHttpClient;
  WebBrowser browser{std::unique_ptr<HttpClient>(http)};
};

TEST_F(ReadTemperature, AdapterPagesInTheirUsualSloppyForms) {
  serve(200,
        "<HTML><BODY><FORM><INPUT TYPE=text NAME=ROM VALUE=9C000000B4A89828>"
        "<INPUT TYPE=text ID=Temperature_0 VALUE=23.5625></FORM></BODY></HTML>");
  EXPECT_EQ(readSlot0(7.0f), 23.5625f);
  serve(200, "<html><body><input id='Temperature_0' value=' -4.25 '></body></html>");
  EXPECT_EQ(readSlot0(7.0f), -4.25f);
  adapter.clearSlot(0);
  adapter.setFixedTemperature(0, -1.0f);  // a real -1 reads like the sentinel
  EXPECT_EQ(readSlot0(7.0f), -1.0f);
}

TEST_F(ReadTemperature, NoElementGivesMinusTwo_AlsoOnAnErrorPage) {
  adapter.setFault(0, sim::Fault::NoElement);
  EXPECT_EQ(readSlot0(7.0f), kNoTemperature);
  adapter.setFault(0, sim::Fault::HttpError);
  EXPECT_EQ(readSlot0(7.0f), kNoTemperature);
  // An error status is still a page: its element is read.
  adapter.setFault(0, sim::Fault::None);
  serve(503, "<html><input id=Temperature_0 value=12></html>");
  EXPECT_EQ(readSlot0(7.0f), 12.0f);
}

TEST_F(ReadTemperature, PagesTooDeepToReadGiveMinusTwo) {
  // Nesting is read to a sane depth; a page nested so deep that its parse
  // would hold the program for minutes is given up and reads as no element.
  const QByteArray value = "<input id=Temperature_0 value=3.5>";
  serve(200, QByteArray("<div>").repeated(500) + value);
  EXPECT_EQ(readSlot0(7.0f), 3.5f);
  serve(200, QByteArray("<div>").repeated(200000) + value);
  EXPECT_EQ(readSlot0(7.0f), kNoTemperature);
  EXPECT_FALSE(browser.document()->refusal().isEmpty());
}

TEST_F(ReadTemperature, UnreadableValueLeavesTheWorkingReading) {
  adapter.setFault(0, sim::Fault::EmptyValue);
  EXPECT_EQ(readSlot0(7.0f), 7.0f);
  adapter.setFault(0, sim::Fault::NonNumeric);
  EXPECT_EQ(readSlot0(7.0f), 7.0f);
  adapter.setFault(0, sim::Fault::None);
  serve(200, "<html><span id=Temperature_0>21.5</span></html>");  // not a form control
  EXPECT_EQ(readSlot0(7.0f), 7.0f);
  serve(200, "<html><input id=Temperature_0></html>");  // no value attribute
  EXPECT_EQ(readSlot0(7.0f), 7.0f);
}

TEST_F(ReadTemperature, NoAnswerGivesMinusOne) {
  adapter.setFault(0, sim::Fault::Reset);
  EXPECT_EQ(readSlot0(7.0f), kNoPage);
  serve(200, "");  // an empty body is no document either
  EXPECT_EQ(readSlot0(7.0f), kNoPage);
  http->setTimeouts(300ms);
  adapter.setFault(0, sim::Fault::NoAnswer);
  EXPECT_EQ(readSlot0(7.0f), kNoPage);
}

TEST(ReadTemperatureWithoutAdapter, RefusedConnectionGivesMinusOne) {
  quint16 port = 0;
  {
    sim::AdapterSimulator gone;
    ASSERT_TRUE(gone.start());
    port = gone.port();
  }
  WebBrowser browser(std::make_unique<CurlHttpClient>());
  browser.navigate(QStringLiteral("http://127.0.0.1:%1/1Wire/x").arg(port));
  QEventLoop wait;
  QObject::connect(&browser, &WebBrowser::documentComplete, &wait, &QEventLoop::quit);
  wait.exec();
  float working = 3.0f;
  readTemperature(browser.document(), working);
  EXPECT_EQ(working, kNoPage);
}

}  // namespace
}  // namespace bw
