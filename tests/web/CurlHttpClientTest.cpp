#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "RawHttpServer.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/HostResolver.h"

namespace bw {
namespace {

using namespace std::chrono_literals;
using test::RawHttpServer;

constexpr std::chrono::milliseconds kPatience = 10s;  // only reached when something is broken

// Runs the event loop until `done` holds.
bool waitUntil(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, static_cast<int>(kPatience.count()));
}

// A zlib stream ("deflate" in HTTP) and the same data as a gzip member.
QByteArray deflated(const QByteArray& data) {
  return qCompress(data).mid(4);  // without Qt's length prefix
}

QByteArray gzipped(const QByteArray& data) {
  quint32 crc = 0xFFFFFFFFu;
  for (const char c : data) {
    crc ^= static_cast<quint8>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc = ~crc;
  QByteArray member("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  member += deflated(data).mid(2).chopped(4);  // the raw deflate data
  for (const quint32 word : {crc, static_cast<quint32>(data.size())})
    for (int byte = 0; byte < 4; ++byte) member += static_cast<char>((word >> (8 * byte)) & 0xFF);
  return member;
}

quint16 refusingPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 port = probe.serverPort();
  probe.close();
  return port;
}

// Answers a name from its table from the event loop, after `delay`; never
// answers a name that is not in it, as a name server that does not answer.
class FakeResolver : public HostResolver {
 public:
  std::unique_ptr<HostLookup> lookUp(const QByteArray& host) override {
    asked << host;
    auto lookup = std::make_unique<HostLookup>();
    const auto found = answers.find(host);
    if (found != answers.end()) {
      HostLookup* raw = lookup.get();
      QTimer::singleShot(delay, raw, [raw, result = found->second] { emit raw->finished(result); });
    }
    return lookup;
  }

  std::map<QByteArray, HostAddresses> answers;
  std::chrono::milliseconds delay{0};
  QList<QByteArray> asked;
};

// Ends in ".localhost", which curl's own lookup would take for 127.0.0.1 with
// no name server, so that none is ever asked.
const QByteArray kName = "tank-adapter.localhost";

class CurlHttpClientTest : public ::testing::Test {
 protected:
  CurlHttpClientTest() {
    QObject::connect(&client, &HttpClient::finished, &receiver, [this](const HttpAnswer& answer) {
      answers.push_back(answer);
      if (waiting) waiting->quit();
    });
  }

  // Blocks in the dispatcher (no spinning) until `count` answers are in.
  bool waitForAnswers(std::size_t count, std::chrono::milliseconds limit = kPatience) {
    if (answers.size() >= count) return true;
    QEventLoop loop;
    waiting = &loop;
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    while (answers.size() < count) {
      const std::size_t before = answers.size();
      loop.exec();
      if (answers.size() == before) break;  // time-out
    }
    waiting = nullptr;
    return answers.size() >= count;
  }

  HttpAnswer fetch(const QByteArray& url) {
    const std::size_t before = answers.size();
    client.get(url);
    if (!waitForAnswers(before + 1))
      return HttpAnswer{false, 0, {}, QStringLiteral("test gave up")};
    return answers.back();
  }

  QByteArray named(const QByteArray& path, const QByteArray& host = kName) const {
    return "http://" + host + ':' + QByteArray::number(server.port()) + path;
  }

  RawHttpServer server;
  std::shared_ptr<FakeResolver> names = std::make_shared<FakeResolver>();
  CurlHttpClient client{names};
  QObject receiver;
  std::vector<HttpAnswer> answers;
  QEventLoop* waiting = nullptr;
};

TEST_F(CurlHttpClientTest, SendsThePathByteForByteWithEscapesAndCommaAsGiven) {
  const QList<QByteArray> paths = {
      "/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d",
      "/1Wire/ReadDS18B20.html?DS18B20Request=%7B06000000A4EC7428,12%7D",
      "/a/./b/../c?x=%7b%2c%7D,y",
  };
  for (const QByteArray& path : paths)
    EXPECT_TRUE(fetch(server.url(path)).answered) << path.constData();
  const QList<QByteArray> lines = server.requestLines();
  ASSERT_EQ(lines.size(), paths.size());
  for (qsizetype i = 0; i < paths.size(); ++i) EXPECT_EQ(lines[i], "GET " + paths[i] + " HTTP/1.1");
}

TEST_F(CurlHttpClientTest, KeepsOneConnectionForSuccessiveQueries) {
  for (int i = 0; i < 10; ++i) {
    const HttpAnswer answer = fetch(server.url("/q"));
    EXPECT_TRUE(answer.answered);
    EXPECT_EQ(answer.status, 200);
  }
  EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(CurlHttpClientTest, ReconnectsAfterTheAdapterClosedTheConnection) {
  server.enqueue(RawHttpServer::answerUntilClose(200, "first"));
  EXPECT_EQ(fetch(server.url("/1")).body, "first");
  EXPECT_TRUE(fetch(server.url("/2")).answered);
  EXPECT_TRUE(fetch(server.url("/3")).answered);
  EXPECT_EQ(server.connectionCount(), 2);
}

TEST_F(CurlHttpClientTest, AdapterThatHangsUpAfterEachAnswerLosesNoQuery) {
  // The next query leaves before the close arrives: it goes out on a
  // connection that is about to die and gets no byte back.
  server.setDefaultReply(RawHttpServer::answerThenHangUp(200, "page", 2ms));
  constexpr int kQueries = 40;
  QObject::connect(&client, &HttpClient::finished, &receiver, [this] {
    if (answers.size() < kQueries) client.get(server.url("/q"));
  });
  client.get(server.url("/q"));
  ASSERT_TRUE(waitForAnswers(kQueries));
  int lost = 0;
  for (const HttpAnswer& answer : answers) lost += answer.body == "page" ? 0 : 1;
  EXPECT_EQ(lost, 0);
}

TEST_F(CurlHttpClientTest, GzipAndDeflateBodiesAreDecodedAndTheRequestStaysAsItWas) {
  const QByteArray page = "<html><body><input id=Temperature_0 value=\"4.5625\"></body></html>";
  server.enqueue(RawHttpServer::answer(200, gzipped(page), "Content-Encoding: gzip\r\n"));
  server.enqueue(RawHttpServer::answer(200, deflated(page), "Content-Encoding: deflate\r\n"));
  EXPECT_EQ(fetch(server.url("/q")).body, page);
  EXPECT_EQ(fetch(server.url("/q")).body, page);
  const QByteArray head =
      "GET /q HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(server.port()) +
      "\r\nUser-Agent: Brinewatch\r\nAccept: */*";
  EXPECT_EQ(server.requestHeads(), QList<QByteArray>(2, head));
}

TEST_F(CurlHttpClientTest, NameGoesOutAsSpelledToTheAddressItsLookupFound) {
  names->answers[kName] = {{"127.0.0.1"}, {}};
  const QByteArray path = "/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d";
  EXPECT_TRUE(fetch(named(path)).answered);
  EXPECT_TRUE(fetch(named(path)).answered);
  const QByteArray head = "GET " + path + " HTTP/1.1\r\nHost: " + kName + ':' +
                          QByteArray::number(server.port()) +
                          "\r\nUser-Agent: Brinewatch\r\nAccept: */*";
  EXPECT_EQ(server.requestHeads(), QList<QByteArray>(2, head));
  EXPECT_EQ(server.connectionCount(), 1);
  // Addresses are not looked up.
  EXPECT_TRUE(fetch(server.url("/address")).answered);
  EXPECT_FALSE(fetch("http://[::1]:" + QByteArray::number(server.port()) + "/six").answered);
  EXPECT_EQ(names->asked, QList<QByteArray>(2, kName));
}

TEST_F(CurlHttpClientTest, OnlyTheAddressFoundIsConnectedTo) {
  // Nothing listens on these; the server is on 127.0.0.1.
  for (const QByteArray address : {"127.0.0.2", "::1"}) {
    names->answers[kName] = {{address}, {}};
    EXPECT_FALSE(fetch(named("/q")).answered) << address.constData();
  }
  EXPECT_TRUE(server.requestLines().isEmpty());
}

TEST_F(CurlHttpClientTest, NameWithoutAnAddressIsNoAnswerThatNamesIt) {
  client.setTimeouts(300ms);
  const QByteArray unknown = "unknown.localhost";
  names->answers[unknown] = {{}, QStringLiteral("Name or service not known")};
  const HttpAnswer refused = fetch(named("/q", unknown));
  EXPECT_FALSE(refused.answered);
  EXPECT_EQ(refused.error.toStdString(),
            "could not resolve unknown.localhost (Name or service not known)");
  const HttpAnswer late = fetch(named("/q"));  // never answered
  EXPECT_FALSE(late.answered);
  EXPECT_EQ(late.error.toStdString(),
            "no answer within 300 ms (could not resolve tank-adapter.localhost in time)");
  EXPECT_TRUE(server.requestLines().isEmpty());
}

TEST_F(CurlHttpClientTest, AbandonedLookupDoesNotReachTheNextQuery) {
  // The address would refuse the abandoned queries, were they to go on.
  names->answers[kName] = {{"127.0.0.2"}, {}};
  names->delay = 50ms;
  client.get(named("/aborted"));
  client.abort();
  EXPECT_FALSE(client.busy());
  client.get(named("/replaced"));
  EXPECT_EQ(fetch(server.url("/next")).status, 200);
  QTest::qWait(100);  // past the lookups' answers
  EXPECT_EQ(answers.size(), 1u);
  EXPECT_FALSE(client.busy());
}

TEST_F(CurlHttpClientTest, AnyHttpStatusIsAnAnswer) {
  server.enqueue(RawHttpServer::answer(500, "<html>sensor bus fault</html>"));
  server.enqueue(RawHttpServer::answer(404, "missing"));
  server.enqueue(RawHttpServer::answer(302, "elsewhere"));

  const HttpAnswer failed = fetch(server.url("/500"));
  EXPECT_TRUE(failed.answered);
  EXPECT_EQ(failed.status, 500);
  EXPECT_EQ(failed.body, "<html>sensor bus fault</html>");
  EXPECT_TRUE(failed.error.isEmpty());

  EXPECT_EQ(fetch(server.url("/404")).status, 404);
  const HttpAnswer moved = fetch(server.url("/302"));
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(moved.body, "elsewhere");  // not followed
  EXPECT_EQ(server.requestLines().size(), 3);
}

TEST_F(CurlHttpClientTest, EmptyBodyIsAnAnswer) {
  server.enqueue(RawHttpServer::answer(200, QByteArray()));
  const HttpAnswer answer = fetch(server.url("/empty"));
  EXPECT_TRUE(answer.answered);
  EXPECT_EQ(answer.status, 200);
  EXPECT_TRUE(answer.body.isEmpty());
}

TEST_F(CurlHttpClientTest, RefusedConnectionIsNoAnswer) {
  const QByteArray url = "http://127.0.0.1:" + QByteArray::number(refusingPort()) + "/q";
  const HttpAnswer answer = fetch(url);
  EXPECT_FALSE(answer.answered);
  EXPECT_EQ(answer.status, 0);
  EXPECT_FALSE(answer.error.isEmpty());
}

TEST_F(CurlHttpClientTest, ResetIsNoAnswerAndTheNextQueryConnectsAfresh) {
  server.enqueue(RawHttpServer::reset());
  const HttpAnswer reset = fetch(server.url("/reset"));
  EXPECT_FALSE(reset.answered);
  EXPECT_FALSE(reset.error.isEmpty());
  EXPECT_TRUE(fetch(server.url("/next")).answered);
  EXPECT_EQ(server.connectionCount(), 2);
}

TEST_F(CurlHttpClientTest, ConnectionClosedWithoutAnswerIsNoAnswerAndGoesOutAtMostTwice) {
  RawHttpServer::Reply hangUp;
  hangUp.closeAfter = true;  // sends nothing, then closes
  server.enqueue(hangUp);
  EXPECT_FALSE(fetch(server.url("/fresh")).answered);
  EXPECT_EQ(server.requestLines().size(), 1);  // a fresh connection is not tried again

  EXPECT_TRUE(fetch(server.url("/kept")).answered);
  server.enqueue(hangUp);
  server.enqueue(hangUp);
  EXPECT_FALSE(fetch(server.url("/reused")).answered);
  EXPECT_EQ(server.requestLines().size(), 4);  // once more, on a fresh connection
}

TEST_F(CurlHttpClientTest, SilencePastTheTimeoutIsNoAnswer) {
  client.setTimeouts(300ms);
  server.enqueue(RawHttpServer::silence());
  const HttpAnswer answer = fetch(server.url("/silent"));
  EXPECT_FALSE(answer.answered);
  EXPECT_TRUE(answer.error.contains(QStringLiteral("300"))) << answer.error.toStdString();
}

TEST_F(CurlHttpClientTest, BodyThatStallsHalfwayRunsIntoTheTimeout) {
  client.setTimeouts(300ms);
  RawHttpServer::Reply half;
  half.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<html><input id=Temperature_0";
  server.enqueue(half);
  const HttpAnswer answer = fetch(server.url("/half"));
  EXPECT_FALSE(answer.answered);
  EXPECT_TRUE(answer.body.isEmpty());
}

TEST_F(CurlHttpClientTest, SlowAnswerWithinTheTimeoutIsAnswered) {
  client.setTimeouts(2s);
  RawHttpServer::Reply slow = RawHttpServer::answer(200, "late");
  slow.delay = 300ms;
  server.enqueue(slow);
  EXPECT_EQ(fetch(server.url("/slow")).body, "late");
}

TEST_F(CurlHttpClientTest, BodyUpToOneMebibyteIsKeptAndOneByteMoreIsNoAnswer) {
  const QByteArray atCap(CurlHttpClient::kMaxBodyBytes, 'x');
  const QByteArray overCap(CurlHttpClient::kMaxBodyBytes + 1, 'x');
  struct Case {
    const char* name;
    RawHttpServer::Reply reply;
    bool answered;
  };
  const std::vector<Case> cases = {
      {"at cap, with length", RawHttpServer::answer(200, atCap), true},
      {"over cap, with length", RawHttpServer::answer(200, overCap), false},
      {"at cap, until close", RawHttpServer::answerUntilClose(200, atCap), true},
      {"over cap, until close", RawHttpServer::answerUntilClose(200, overCap), false},
  };
  for (const Case& c : cases) {
    server.enqueue(c.reply);
    const HttpAnswer answer = fetch(server.url("/big"));
    EXPECT_EQ(answer.answered, c.answered) << c.name;
    EXPECT_EQ(answer.body.size(), c.answered ? atCap.size() : 0) << c.name;
    if (!c.answered) {
      EXPECT_FALSE(answer.error.isEmpty()) << c.name;
    }
  }
}

TEST_F(CurlHttpClientTest, FinishedComesExactlyOnceAndNeverFromInsideGet) {
  const QList<QByteArray> urls = {
      server.url("/ok"),
      "http://127.0.0.1:" + QByteArray::number(refusingPort()) + "/refused",
      "no scheme at all",
      "ftp://127.0.0.1/other-protocol",
  };
  for (const QByteArray& url : urls) {
    const std::size_t before = answers.size();
    client.get(url);
    EXPECT_EQ(answers.size(), before) << url.constData();
    EXPECT_TRUE(client.busy()) << url.constData();
    EXPECT_TRUE(waitForAnswers(before + 1)) << url.constData();
    EXPECT_FALSE(client.busy()) << url.constData();
  }
  // A second `finished` for any of them would come before this answer.
  EXPECT_EQ(fetch(server.url("/last")).status, 200);
  const auto count = static_cast<std::size_t>(urls.size());
  ASSERT_EQ(answers.size(), count + 1);
  EXPECT_TRUE(answers[0].answered);
  for (std::size_t i = 1; i < count; ++i) EXPECT_FALSE(answers[i].answered);
}

TEST_F(CurlHttpClientTest, AbortEmitsNothingAndTheClientStaysUsable) {
  RawHttpServer::Reply slow = RawHttpServer::answer(200, "too late");
  slow.delay = 200ms;
  server.enqueue(slow);
  client.get(server.url("/slow"));
  ASSERT_TRUE(waitUntil([&] { return server.requestLines().size() == 1; }));
  client.abort();
  EXPECT_FALSE(client.busy());
  EXPECT_EQ(fetch(server.url("/again")).body, "<html><body>ok</body></html>");
  EXPECT_EQ(answers.size(), 1u);
}

TEST_F(CurlHttpClientTest, GetWhileBusyAbandonsTheRunningQuery) {
  server.enqueue(RawHttpServer::silence());
  client.get(server.url("/first"));
  ASSERT_TRUE(waitUntil([&] { return server.requestLines().size() == 1; }));
  client.get(server.url("/second"));
  ASSERT_TRUE(waitForAnswers(1));
  EXPECT_TRUE(answers[0].answered);
  EXPECT_EQ(server.requestLines().last(), "GET /second HTTP/1.1");
  // An answer for the abandoned query would come before this one.
  EXPECT_TRUE(fetch(server.url("/third")).answered);
  EXPECT_EQ(answers.size(), 2u);
}

TEST_F(CurlHttpClientTest, NextQueryMayStartFromTheFinishedSlot) {
  QObject::connect(&client, &HttpClient::finished, &receiver, [this] {
    if (answers.size() < 5) client.get(server.url("/next"));
  });
  client.get(server.url("/first"));
  ASSERT_TRUE(waitForAnswers(5));
  for (const HttpAnswer& answer : answers) EXPECT_TRUE(answer.answered);
  EXPECT_EQ(server.connectionCount(), 1);
}

TEST(CurlHttpClientLifetimeTest, DestroyingTheClientMidQueryOrFromItsOwnSignalIsSafe) {
  RawHttpServer server;
  server.enqueue(RawHttpServer::silence());
  auto waiting = std::make_unique<CurlHttpClient>();
  waiting->get(server.url("/silent"));
  ASSERT_TRUE(waitUntil([&] { return server.requestLines().size() == 1; }));
  waiting.reset();
  // And while it waits for an address that never comes.
  auto looking = std::make_unique<CurlHttpClient>(std::make_shared<FakeResolver>());
  looking->get("http://" + kName + "/never");
  looking.reset();

  // The queries that follow run the event loop over whatever a destroyed
  // client left behind.
  auto answered = std::make_unique<CurlHttpClient>();
  QObject receiver;
  int calls = 0;
  QObject::connect(answered.get(), &HttpClient::finished, &receiver, [&] {
    ++calls;
    answered.reset();
  });
  answered->get(server.url("/ok"));
  EXPECT_TRUE(waitUntil([&] { return calls == 1; }));
  CurlHttpClient next;
  bool done = false;
  QObject::connect(&next, &HttpClient::finished, &receiver, [&] { done = true; });
  next.get(server.url("/next"));
  EXPECT_TRUE(waitUntil([&] { return done; }));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace bw
