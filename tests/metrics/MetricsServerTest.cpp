#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "metrics/MetricsServer.h"

namespace bw {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One client connection on loopback, from 127.0.0.`from`, with every wait
// bounded.
class Client {
 public:
  explicit Client(quint16 port, int from = 1) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<uint32_t>(from - 1));
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~Client() { ::close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return connected_; }

  // Sends what it can within `within`; false once the server stops taking.
  bool send(const std::string& data, std::chrono::milliseconds within = 2s) {
    std::size_t sent = 0;
    const auto end = Clock::now() + within;
    while (sent < data.size()) {
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, 50) <= 0) {
        if (Clock::now() > end) return false;
        continue;
      }
      const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads until the server closes or `within` has passed.
  std::string read(std::chrono::milliseconds within = 2s) {
    std::string got;
    const auto end = Clock::now() + within;
    char buffer[65536];
    closed_ = false;
    while (Clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed_ = true;
        break;
      }
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  // Whether the last read() ended at the server's close.
  bool closed() const { return closed_; }

 private:
  int fd_;
  bool connected_ = false;
  bool closed_ = false;
};

class MetricsServerTest : public ::testing::Test {
 protected:
  static MetricsServer::Limits limits() {
    MetricsServer::Limits l;
    l.connections = 6;
    l.connectionsPerAddress = 12;  // the loopback address is every client's
    l.requestTime = 1s;
    l.answerTime = 1s;
    return l;
  }
  void SetUp() override {
    server.publish("brinewatch_up 1\n");
    ASSERT_EQ(server.listen(*parseListenAddress(QStringLiteral(":0"))), std::nullopt);
    ASSERT_NE(server.port(), 0);
  }
  std::string exchange(const std::string& request) {
    Client client(server.port());
    client.send(request);
    return client.read();
  }

  MetricsServer server{limits()};
};

const std::string kGet = "GET /metrics HTTP/1.1\r\nHost: localhost\r\n";

TEST_F(MetricsServerTest, AnswersGetAndHeadOfMetricsAndNothingElse) {
  const std::string get = exchange(kGet + "Connection: close\r\n\r\n");
  EXPECT_EQ(get.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << get;
  EXPECT_NE(get.find("Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"),
            std::string::npos);
  EXPECT_EQ(get.substr(get.size() - 20), "\r\n\r\nbrinewatch_up 1\n");

  const std::string head = exchange("HEAD /metrics HTTP/1.1\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("Content-Length: 16\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n") << head;  // no body

  EXPECT_EQ(exchange("GET /other HTTP/1.0\r\n\r\n").rfind("HTTP/1.1 404 ", 0), 0u);
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
    const std::string refused = exchange(std::string(method) + " /metrics HTTP/1.0\r\n\r\n");
    EXPECT_EQ(refused.rfind("HTTP/1.1 405 ", 0), 0u) << refused;
    EXPECT_NE(refused.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos) << refused;
  }

  server.publish("brinewatch_up 2\n");
  const std::string later = exchange(kGet + "Connection: close\r\n\r\n");
  EXPECT_EQ(later.substr(later.size() - 16), "brinewatch_up 2\n");
}

TEST_F(MetricsServerTest, RefusesBodiesAndOversizeRequestsAndCloses) {
  std::string manyHeaders;
  for (int i = 0; i < 20000; ++i) manyHeaders += "X: y\r\n";
  const struct {
    std::string request;
    const char* status;
  } cases[] = {
      {kGet + "Content-Length: 5\r\n\r\nhello", "413"},
      {"POST /metrics HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n" + std::string(65536, 'x'),
       "413"},
      {kGet + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", "413"},
      {kGet + "X-Long: " + std::string(5000, 'a') + "\r\n\r\n", "431"},
      {kGet + "X-Long: " + std::string(1 << 20, 'a') + "\r\n\r\n", "431"},
      {kGet + manyHeaders + "\r\n", "431"},
      {"GET /metrics?" + std::string(5000, 'a') + " HTTP/1.1\r\n\r\n", "414"},
      {"GET /metrics?" + std::string(100000, 'a') + " HTTP/1.1\r\n\r\n", "414"},
  };
  for (const auto& c : cases) {
    Client client(server.port());
    client.send(c.request);
    const std::string answer = client.read();
    EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + c.status + ' ', 0), 0u)
        << c.request.substr(0, 60) << " -> " << answer.substr(0, 60);
    EXPECT_TRUE(client.closed()) << c.request.substr(0, 60);
  }
  // Under the limit is answered.
  EXPECT_EQ(exchange(kGet + "X-Long: " + std::string(3000, 'a') + "\r\nConnection: close\r\n\r\n")
                .rfind("HTTP/1.1 200 ", 0),
            0u);
}

TEST_F(MetricsServerTest, KeepsTheConnectionOpenUnlessAskedToClose) {
  Client kept(server.port());
  kept.send(kGet + "\r\n" + kGet + "\r\n");  // pipelined
  const std::string two = kept.read(300ms);
  EXPECT_NE(two.find("brinewatch_up 1\nHTTP/1.1 200 OK"), std::string::npos) << two;
  EXPECT_FALSE(kept.closed());

  for (const std::string& request :
       {kGet + "Connection: close\r\n\r\n", std::string("GET /metrics HTTP/1.0\r\n\r\n")}) {
    Client client(server.port());
    client.send(request);
    EXPECT_NE(client.read(500ms).find("brinewatch_up 1\n"), std::string::npos);
    EXPECT_TRUE(client.closed()) << request;
  }
}

TEST_F(MetricsServerTest, ReportsWhyItCannotListen) {
  MetricsServer taken;
  const auto reason =
      taken.listen(*parseListenAddress(QStringLiteral("127.0.0.1:%1").arg(server.port())));
  ASSERT_TRUE(reason.has_value());
  EXPECT_TRUE(reason->startsWith(QStringLiteral("cannot listen on 127.0.0.1:")))
      << reason->toStdString();
  EXPECT_EQ(taken.port(), 0);
}

// Past the limit, the oldest idle connection of the address holding the
// most makes room, or else the new connection is closed.
TEST_F(MetricsServerTest, PastTheLimitClosesTheOldestIdleOfTheBusiestAddressOrTheNewConnection) {
  std::vector<std::unique_ptr<Client>> idle;
  for (int i = 0; i < limits().connections; ++i) {
    idle.push_back(std::make_unique<Client>(server.port(), i == 0 ? 1 : 2));
    std::this_thread::sleep_for(10ms);  // each after the one before
  }
  Client newcomer(server.port(), 3);
  newcomer.send(kGet + "Connection: close\r\n\r\n");
  EXPECT_EQ(newcomer.read().rfind("HTTP/1.1 200 ", 0), 0u);
  std::vector<bool> closed;
  for (const auto& client : idle) {
    client->read(50ms);
    closed.push_back(client->closed());
  }
  EXPECT_EQ(closed, (std::vector<bool>{false, true, false, false, false, false}));
  idle.clear();

  // Every connection busy with answers its client does not read.
  server.publish(QByteArray(1 << 20, '#'));
  std::vector<std::unique_ptr<Client>> busy;
  std::string requests;
  for (int i = 0; i < 30; ++i) requests += kGet + "\r\n";
  std::this_thread::sleep_for(100ms);
  for (int i = 0; i < limits().connections; ++i) {
    busy.push_back(std::make_unique<Client>(server.port()));
    busy.back()->send(requests);
  }
  std::this_thread::sleep_for(100ms);
  Client refused(server.port());
  refused.send(kGet + "\r\n");
  EXPECT_EQ(refused.read(500ms), "");
  EXPECT_TRUE(refused.closed());
}

// An idle client, one that sends its request a byte at a time and one that
// asks and never reads are all closed past their time, while a good client
// is answered meanwhile.
TEST_F(MetricsServerTest, ClosesIdleSlowAndNonReadingClientsAndServesOthers) {
  server.publish(QByteArray(256 * 1024, '#'));
  Client idle(server.port());
  Client slow(server.port());
  Client greedy(server.port());
  std::string requests;
  for (int i = 0; i < 1000; ++i) requests += kGet + "\r\n";
  greedy.send(requests, 500ms);

  const auto end = Clock::now() + 8s;
  bool slowRefused = false;
  while (Clock::now() < end && !slowRefused) {
    slowRefused = !slow.send("G", 100ms);
    slow.read(100ms);
    slowRefused = slowRefused || slow.closed();
  }
  EXPECT_TRUE(slowRefused);
  idle.read(5s);  // its close, which comes at the same deadline
  EXPECT_TRUE(idle.closed());

  Client good(server.port());
  good.send(kGet + "Connection: close\r\n\r\n");
  const std::string answer = good.read();
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 ", 0), 0u);
  EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, 256u * 1024);
  greedy.read(8s);  // what the server had sent, then its close
  EXPECT_TRUE(greedy.closed());
}

}  // namespace
}  // namespace bw
