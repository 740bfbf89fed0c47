#include "AdapterSimulator.h"
#include "RawHttpClient.h"
#include "acquisition/SensorTable.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace bw::sim {
namespace {

using namespace std::chrono_literals;
using test::Outcome;
using test::RawHttpClient;
using test::RawResponse;

QByteArray target(int slot) {
  return bw::queryPath(bw::kBuiltInRomCodes[slot]).toLatin1();
}

QByteArray requestLine(int slot) {
  return "GET " + target(slot) + " HTTP/1.1";
}

// VALUE of the element with id Temperature_0; nullopt when there is none.
std::optional<QString> temperatureValue(const QByteArray& body) {
  static const QRegularExpression element(
      QStringLiteral("<INPUT[^>]*ID=\"Temperature_0\"[^>]*VALUE=\"([^\"]*)\""),
      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = element.match(QString::fromLatin1(body));
  if (!match.hasMatch()) return std::nullopt;
  return match.captured(1);
}

class AdapterSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.start()); }

  RawResponse query(int slot) {
    RawHttpClient client(sim.port());
    return client.get(target(slot));
  }

  AdapterSimulator sim;
};

// The sensors of a site: a ROM code of the site answers with its reading, in
// the slot the site gives it; any other gets a page without the temperature.
TEST(AdapterSimulatorSite, AnswersExactlyTheSitesRomCodes) {
  AdapterSimulator::Options options;
  options.romCodes = {};
  options.romCodes[4] = "61302518CA4DA528";
  options.othersWithoutTemperature = true;
  AdapterSimulator sim(options);
  ASSERT_TRUE(sim.start());
  sim.setFixedTemperature(4, -1.5f);
  RawHttpClient client(sim.port());
  const RawResponse site =
      client.get(bw::queryPath(std::string_view("61302518ca4da528")).toLatin1());
  ASSERT_EQ(site.outcome, Outcome::Answered);
  EXPECT_EQ(temperatureValue(site.body), QStringLiteral("-1.5"));
  const RawResponse other = client.get(target(0));
  ASSERT_EQ(other.outcome, Outcome::Answered);
  EXPECT_EQ(other.status, 200);
  EXPECT_FALSE(temperatureValue(other.body));
  EXPECT_TRUE(other.body.contains(QByteArray(bw::kBuiltInRomCodes[0].data())));
}

TEST_F(AdapterSimulatorTest, ReportsLoopbackHostWithTheChosenPort) {
  EXPECT_TRUE(sim.isListening());
  EXPECT_NE(sim.port(), 0);
  EXPECT_EQ(sim.host(), QStringLiteral("127.0.0.1:%1").arg(sim.port()));
}

TEST_F(AdapterSimulatorTest, EverySensorPageCarriesATemperatureOnTheTwelveBitGrid) {
  RawHttpClient client(sim.port());
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    SCOPED_TRACE(slot);
    const RawResponse response = client.get(target(slot));
    ASSERT_EQ(response.outcome, Outcome::Answered);
    EXPECT_EQ(response.status, 200);
    EXPECT_TRUE(response.head.contains("Content-Type: text/html"));
    const std::optional<QString> value = temperatureValue(response.body);
    ASSERT_TRUE(value.has_value());
    bool isNumber = false;
    const double celsius = value->toDouble(&isNumber);
    ASSERT_TRUE(isNumber) << value->toStdString();
    EXPECT_EQ(std::fmod(celsius * 16.0, 1.0), 0.0) << celsius;
    EXPECT_GE(celsius, -5.0);
    EXPECT_LE(celsius, 15.0);
    // Read-only inputs with the ROM code and resolution come before the temperature.
    const qsizetype rom = response.body.indexOf(QByteArray(bw::kBuiltInRomCodes[slot].data()));
    const qsizetype resolution = response.body.indexOf("VALUE=\"12\"");
    const qsizetype temperature = response.body.indexOf("ID=\"Temperature_0\"");
    EXPECT_GE(rom, 0);
    EXPECT_LT(rom, temperature);
    EXPECT_GE(resolution, 0);
    EXPECT_LT(resolution, temperature);
  }
}

TEST_F(AdapterSimulatorTest, KeepAliveServesManyRequestsOnOneConnection) {
  RawHttpClient client(sim.port());
  for (int i = 0; i < 40; ++i) {
    const RawResponse response = client.get(target(i % kMaxReadings));
    ASSERT_EQ(response.outcome, Outcome::Answered) << i;
    EXPECT_EQ(response.status, 200);
    EXPECT_TRUE(response.head.contains("Connection: keep-alive"));
  }
  EXPECT_EQ(client.waitForEnd(100ms), Outcome::TimedOut);
  EXPECT_EQ(sim.requestCount(), 40);
}

TEST_F(AdapterSimulatorTest, AnswersInTwoWritesCarryTheSameBytes) {
  sim.setFixedTemperature(3, 21.5f);
  RawHttpClient client(sim.port());
  const RawResponse whole = client.get(target(3));
  sim.setTwoWrites(true);
  for (int i = 0; i < 3; ++i) {  // on the same kept-alive connection
    const RawResponse split = client.get(target(3));
    ASSERT_EQ(split.outcome, Outcome::Answered) << i;
    EXPECT_EQ(split.head, whole.head);
    EXPECT_EQ(split.body, whole.body);
  }
}

TEST_F(AdapterSimulatorTest, ClosesAfterAnsweringWhenTheClientAsksOrSpeaksHttp10) {
  RawHttpClient closing(sim.port());
  const RawResponse answer = closing.get(target(0), "Connection: close\r\n");
  EXPECT_EQ(answer.status, 200);
  EXPECT_TRUE(answer.head.contains("Connection: close"));
  EXPECT_EQ(closing.waitForEnd(1s), Outcome::Closed);

  RawHttpClient old(sim.port());
  ASSERT_TRUE(old.send("GET " + target(1) + " HTTP/1.0\r\n\r\n"));
  EXPECT_EQ(old.receive().status, 200);
  EXPECT_EQ(old.waitForEnd(1s), Outcome::Closed);
}

TEST_F(AdapterSimulatorTest, UnknownPathOrRomGets404WithoutTheElementAndKeepsTheConnection) {
  RawHttpClient client(sim.port());
  for (const QByteArray& wrong :
       {QByteArray("/"), QByteArray("/1Wire/ReadDS18B20.html"),
        QByteArray("/1Wire/Other.html?DS18B20Request=%7b9C000000B4A89828,12%7d"),
        QByteArray("/1Wire/ReadDS18B20.html?DS18B20Request=%7b0000000000000028,12%7d")}) {
    SCOPED_TRACE(wrong.toStdString());
    const RawResponse response = client.get(wrong);
    EXPECT_EQ(response.status, 404);
    EXPECT_FALSE(response.body.contains("Temperature_0"));
  }
  EXPECT_EQ(client.get(target(3)).status, 200);
}

TEST_F(AdapterSimulatorTest, MalformedRequestGets400AndOtherMethods405) {
  RawHttpClient garbage(sim.port());
  ASSERT_TRUE(garbage.send("HELLO\r\n\r\n"));
  EXPECT_EQ(garbage.receive().status, 400);
  EXPECT_EQ(garbage.waitForEnd(1s), Outcome::Closed);

  RawHttpClient post(sim.port());
  ASSERT_TRUE(post.send("POST " + target(0) + " HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"));
  EXPECT_EQ(post.receive().status, 405);
  EXPECT_EQ(post.get(target(0)).status, 200);  // the body was skipped, not taken as a request
}

TEST_F(AdapterSimulatorTest, UpperCaseEscapesAreAnsweredAndLoggedAsSent) {
  const QByteArray upper = "/1Wire/ReadDS18B20.html?DS18B20Request=%7B9C000000B4A89828,12%7D";
  RawHttpClient client(sim.port());
  EXPECT_TRUE(temperatureValue(client.get(upper).body).has_value());
  EXPECT_EQ(sim.requestLines(), QList<QByteArray>{"GET " + upper + " HTTP/1.1"});
}

TEST_F(AdapterSimulatorTest, RequestLogIsExactAndInArrivalOrderAcrossConnections) {
  RawHttpClient first(sim.port());
  RawHttpClient second(sim.port());
  ASSERT_EQ(first.get(target(0)).status, 200);
  ASSERT_EQ(second.get(target(15)).status, 200);
  ASSERT_EQ(first.get("/nothing?a=%7b").status, 404);
  EXPECT_EQ(sim.requestLines(),
            (QList<QByteArray>{requestLine(0), requestLine(15), "GET /nothing?a=%7b HTTP/1.1"}));
  EXPECT_EQ(sim.requestCount(), 3);

  sim.clearRequestLog();
  EXPECT_TRUE(sim.requestLines().isEmpty());
  EXPECT_EQ(sim.requestCount(), 0);
  ASSERT_EQ(first.get(target(7)).status, 200);
  EXPECT_EQ(sim.requestLines(), QList<QByteArray>{requestLine(7)});
}

TEST(AdapterSimulatorLog, KeepsOnlyTheNewestLinesButCountsAll) {
  AdapterSimulator::Options options;
  options.requestLogCapacity = 3;
  AdapterSimulator sim(options);
  ASSERT_TRUE(sim.start());
  RawHttpClient client(sim.port());
  for (int slot = 0; slot < 5; ++slot) ASSERT_EQ(client.get(target(slot)).status, 200);
  EXPECT_EQ(sim.requestLines(),
            (QList<QByteArray>{requestLine(2), requestLine(3), requestLine(4)}));
  EXPECT_EQ(sim.requestCount(), 5);
}

TEST_F(AdapterSimulatorTest, WaitForRequestsReturnsOnArrivalAndFalseOnTimeout) {
  EXPECT_FALSE(sim.waitForRequests(1, 50ms));
  RawHttpClient client(sim.port());
  ASSERT_TRUE(client.send("GET " + target(0) + " HTTP/1.1\r\n\r\n"));
  EXPECT_TRUE(sim.waitForRequests(1, 2s));
}

TEST_F(AdapterSimulatorTest, ContentFaultsChangeOnlyTheirOwnSensor) {
  struct Case {
    Fault fault;
    int status;
    std::optional<QString> value;
  };
  const Case cases[] = {
      {Fault::HttpError, 500, std::nullopt},
      {Fault::NoElement, 200, std::nullopt},
      {Fault::EmptyValue, 200, QString()},
      {Fault::NonNumeric, 200, QStringLiteral("n/a")},
  };
  RawHttpClient client(sim.port());
  for (const Case& c : cases) {
    SCOPED_TRACE(faultName(c.fault).toStdString());
    sim.setFault(5, c.fault);
    const RawResponse faulty = client.get(target(5));
    EXPECT_EQ(faulty.status, c.status);
    EXPECT_EQ(temperatureValue(faulty.body), c.value);
    if (!c.value) {
      EXPECT_FALSE(faulty.body.contains("Temperature_0"));
    }

    const RawResponse neighbour = client.get(target(6));
    EXPECT_EQ(neighbour.status, 200);
    bool isNumber = false;
    temperatureValue(neighbour.body).value_or(QString()).toDouble(&isNumber);
    EXPECT_TRUE(isNumber);
  }
  sim.setFault(5, Fault::None);
  EXPECT_TRUE(temperatureValue(client.get(target(5)).body).has_value());
}

TEST_F(AdapterSimulatorTest, NoAnswerReadsTheRequestButNeverRepliesNorCloses) {
  sim.setFault(2, Fault::NoAnswer);
  RawHttpClient silent(sim.port());
  EXPECT_EQ(silent.get(target(2), {}, 300ms).outcome, Outcome::TimedOut);
  EXPECT_EQ(sim.requestLines(), QList<QByteArray>{requestLine(2)});
  EXPECT_EQ(silent.waitForEnd(200ms), Outcome::TimedOut);
  EXPECT_EQ(query(3).status, 200);
}

TEST_F(AdapterSimulatorTest, ResetFaultByRomCodeResetsTheConnectionAfterReadingTheRequest) {
  const int slot = AdapterSimulator::slotOf("06000000a4ec7428");
  ASSERT_EQ(slot, 1);
  sim.setFault(slot, Fault::Reset);
  EXPECT_EQ(query(1).outcome, Outcome::Reset);
  EXPECT_EQ(sim.requestLines(), QList<QByteArray>{requestLine(1)});
  EXPECT_EQ(query(0).status, 200);
}

TEST_F(AdapterSimulatorTest, CustomAnswerIsSentByteForByteAndFaultsTakePrecedence) {
  const QByteArray raw("<p>busy\r\n</p>\0tail", 18);
  sim.setCustomAnswer(4, 503, raw);
  const RawResponse custom = query(4);
  EXPECT_EQ(custom.status, 503);
  EXPECT_EQ(custom.body, raw);

  sim.setFault(4, Fault::HttpError);
  EXPECT_EQ(query(4).status, 500);
  sim.clearSlot(4);
  EXPECT_EQ(query(4).status, 200);
}

TEST_F(AdapterSimulatorTest, FixedTemperatureIsWrittenInItsShortestForm) {
  sim.setFixedTemperature(8, 21.3f);
  sim.setFixedTemperature(9, -0.0625f);
  sim.setFixedTemperature(10, 85.0f);
  EXPECT_EQ(temperatureValue(query(8).body), QStringLiteral("21.3"));
  EXPECT_EQ(temperatureValue(query(9).body), QStringLiteral("-0.0625"));
  EXPECT_EQ(temperatureValue(query(10).body), QStringLiteral("85"));
  sim.clearAllSlots();
  EXPECT_NE(temperatureValue(query(10).body), QStringLiteral("85"));
}

TEST_F(AdapterSimulatorTest, ConversionTimeDelaysSensorAnswersWithoutBlockingOthers) {
  // Long enough that the third connection is surely served while both
  // conversions are still pending; no duration is asserted.
  sim.setConversionTime(1500ms);
  RawHttpClient first(sim.port());
  RawHttpClient second(sim.port());
  ASSERT_TRUE(first.send("GET " + target(0) + " HTTP/1.1\r\n\r\n"));
  ASSERT_TRUE(second.send("GET " + target(1) + " HTTP/1.1\r\n\r\n"));
  EXPECT_TRUE(sim.waitForRequests(2, 5s));

  RawHttpClient third(sim.port());
  EXPECT_EQ(third.get("/", {}, 1000ms).status, 404);

  EXPECT_EQ(first.receive().status, 200);
  EXPECT_EQ(second.receive().status, 200);
}

TEST(AdapterSimulatorStart, FailsWithAReasonWhenThePortIsTaken) {
  AdapterSimulator first;
  ASSERT_TRUE(first.start());
  AdapterSimulator::Options options;
  options.port = first.port();
  AdapterSimulator second(options);
  QString error;
  EXPECT_FALSE(second.start(&error));
  EXPECT_FALSE(second.isListening());
  EXPECT_TRUE(error.contains(QString::number(first.port()))) << error.toStdString();
}

}  // namespace
}  // namespace bw::sim
