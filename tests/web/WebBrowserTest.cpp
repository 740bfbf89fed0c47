#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <memory>

#include "RawHttpServer.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/WebBrowser.h"

namespace bw {
namespace {

using test::RawHttpServer;

constexpr int kPatienceMs = 10'000;  // only reached when something is broken

const QString kId = QStringLiteral("Temperature_0");

QByteArray devicePage(const QByteArray& value) {
  return "<HTML><BODY><FORM><INPUT TYPE=text ID=ROMId_0 VALUE=9C000000B4A89828>"
         "<INPUT TYPE=text ID=Temperature_0 VALUE=" +
         value + "></FORM></BODY></HTML>";
}

class WebBrowserTest : public ::testing::Test {
 protected:
  WebBrowserTest() {
    QObject::connect(&browser, &WebBrowser::pageLoaded, &receiver,
                     [this](const QByteArray& html, const QString& url) {
                       events << QStringLiteral("loaded %1 %2").arg(url, QString::fromUtf8(html));
                     });
    QObject::connect(&browser, &WebBrowser::pageFailed, &receiver,
                     [this](const QString& url, const QString& reason) {
                       events << QStringLiteral("failed %1").arg(url);
                       EXPECT_FALSE(reason.isEmpty());
                     });
    QObject::connect(&browser, &WebBrowser::documentComplete, &receiver,
                     [this] { events << QStringLiteral("complete %1").arg(browser.readyState()); });
  }

  // What the polling loop does: block in the dispatcher until the page is complete.
  bool waitForPage() {
    if (browser.readyState() == WebBrowser::kReadyStateComplete) return true;
    QEventLoop loop;
    QObject::connect(&browser, &WebBrowser::documentComplete, &loop, &QEventLoop::quit);
    QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
    loop.exec();
    return browser.readyState() == WebBrowser::kReadyStateComplete;
  }

  QString temperature() const {
    const HtmlDocument* document = browser.document();
    if (!document) return QStringLiteral("<no document>");
    const auto element = document->getElementById(kId);
    if (!element) return QStringLiteral("<no element>");
    return element->value().value_or(QStringLiteral("<no value>"));
  }

  QString urlOf(const QByteArray& path) const { return QString::fromLatin1(server.url(path)); }

  RawHttpServer server;
  WebBrowser browser{std::make_unique<CurlHttpClient>()};
  QObject receiver;
  QStringList events;
};

TEST_F(WebBrowserTest, PageBecomesCompleteOnlyOnceItsAnswerIsIn) {
  EXPECT_EQ(browser.document(), nullptr);
  server.enqueue(RawHttpServer::answer(200, devicePage("21.5")));
  const QString url = urlOf("/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d");

  browser.navigate(url);
  EXPECT_LT(browser.readyState(), WebBrowser::kReadyStateComplete);
  EXPECT_EQ(browser.document(), nullptr);
  EXPECT_TRUE(events.isEmpty());
  EXPECT_EQ(browser.url(), url);

  ASSERT_TRUE(waitForPage());
  EXPECT_EQ(
      events,
      QStringList({QStringLiteral("loaded %1 %2").arg(url, QString::fromUtf8(devicePage("21.5"))),
                   QStringLiteral("complete 4")}));
  EXPECT_EQ(temperature(), QStringLiteral("21.5"));
  EXPECT_EQ(browser.html(), devicePage("21.5"));
  EXPECT_EQ(browser.httpStatus(), 200);
  EXPECT_TRUE(browser.noAnswerReason().isEmpty());
  EXPECT_EQ(server.requestLines().value(0),
            "GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d HTTP/1.1");
}

TEST_F(WebBrowserTest, NoAnswerCompletesWithoutADocument) {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const QString url = QStringLiteral("http://127.0.0.1:%1/q").arg(probe.serverPort());
  probe.close();

  browser.navigate(url);
  EXPECT_TRUE(events.isEmpty());
  ASSERT_TRUE(waitForPage());
  EXPECT_EQ(events, QStringList({QStringLiteral("failed ") + url, QStringLiteral("complete 4")}));
  EXPECT_EQ(browser.document(), nullptr);
  EXPECT_FALSE(browser.noAnswerReason().isEmpty());
  EXPECT_TRUE(browser.html().isEmpty());
  EXPECT_EQ(browser.httpStatus(), 0);
}

TEST_F(WebBrowserTest, EmptyAnswerIsLoadedButHasNoDocument) {
  server.enqueue(RawHttpServer::answer(200, QByteArray()));
  browser.navigate(urlOf("/empty"));
  ASSERT_TRUE(waitForPage());
  EXPECT_EQ(events.value(0), QStringLiteral("loaded %1 ").arg(urlOf("/empty")));
  EXPECT_EQ(browser.document(), nullptr);
  EXPECT_TRUE(browser.noAnswerReason().isEmpty());
}

TEST_F(WebBrowserTest, ErrorPageIsADocumentWithoutTheTemperature) {
  server.enqueue(RawHttpServer::answer(500, "<html><body>1-Wire bus error</body></html>"));
  browser.navigate(urlOf("/q"));
  ASSERT_TRUE(waitForPage());
  EXPECT_EQ(browser.httpStatus(), 500);
  EXPECT_EQ(temperature(), QStringLiteral("<no element>"));
}

TEST_F(WebBrowserTest, NavigatingAgainAbandonsThePageStillLoading) {
  server.enqueue(RawHttpServer::silence());
  server.enqueue(RawHttpServer::answer(200, devicePage("2")));
  browser.navigate(urlOf("/first"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return server.requestLines().size() == 1; }, kPatienceMs));
  browser.navigate(urlOf("/second"));
  ASSERT_TRUE(waitForPage());
  ASSERT_EQ(events.size(), 2) << events.join(u'|').toStdString();
  EXPECT_TRUE(events[0].startsWith(QStringLiteral("loaded ") + urlOf("/second")));
  EXPECT_EQ(browser.url(), urlOf("/second"));
  EXPECT_EQ(temperature(), QStringLiteral("2"));
}

TEST_F(WebBrowserTest, PollsSixteenSensorsOverOneConnection) {
  for (int slot = 0; slot < 16; ++slot)
    server.enqueue(RawHttpServer::answer(200, devicePage(QByteArray::number(slot) + ".0625")));
  for (int slot = 0; slot < 16; ++slot) {
    browser.navigate(urlOf("/sensor/" + QByteArray::number(slot)));
    ASSERT_TRUE(waitForPage()) << slot;
    EXPECT_EQ(temperature(), QString::number(slot) + QStringLiteral(".0625"));
  }
  EXPECT_EQ(server.connectionCount(), 1);
  EXPECT_EQ(server.requestLines().size(), 16);
}

TEST_F(WebBrowserTest, CompletionSlotMayNavigateOnOrDestroyTheBrowser) {
  int completions = 0;
  QObject::connect(&browser, &WebBrowser::documentComplete, &receiver, [&] {
    if (++completions < 3) browser.navigate(urlOf("/again"));
  });
  browser.navigate(urlOf("/first"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return completions == 3; }, kPatienceMs));
  EXPECT_EQ(server.requestLines().size(), 3);

  auto doomed = std::make_unique<WebBrowser>(std::make_unique<CurlHttpClient>());
  bool completed = false;
  QObject::connect(doomed.get(), &WebBrowser::pageLoaded, &receiver, [&] { doomed.reset(); });
  QObject::connect(doomed.get(), &WebBrowser::documentComplete, &receiver,
                   [&] { completed = true; });
  doomed->navigate(urlOf("/doomed"));
  // documentComplete would follow in the same call as pageLoaded.
  ASSERT_TRUE(QTest::qWaitFor([&] { return doomed == nullptr; }, kPatienceMs));
  EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace bw
