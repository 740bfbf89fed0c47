#include "SamplePage.h"

#include <gtest/gtest.h>

#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include "platform/pageview/WebEnginePageView.h"

#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <memory>
#endif

namespace bw {
namespace {

#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW

constexpr int kTimeoutMs = 20'000;
const QString kRom = QStringLiteral("9C000000B4A89828");
const QString kUrl = QStringLiteral(
    "http://127.0.0.1:8080/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d");

class WebEnginePageViewTest : public ::testing::Test {
 protected:
  void SetUp() override { view_ = makeView(WebEnginePageView::Updates::Cheap); }

  static std::unique_ptr<WebEnginePageView> makeView(WebEnginePageView::Updates updates) {
    auto view = std::make_unique<WebEnginePageView>(nullptr, updates);
    view->resize(777, 305);
    view->show();
    return view;
  }

  // Shows a page and waits until the view has it on screen.
  static bool showAndSettle(WebEnginePageView& view, const QByteArray& html,
                            const QString& url = kUrl) {
    bool settled = false;
    QMetaObject::Connection c =
        QObject::connect(&view, &WebEnginePageView::settled, &view, [&] { settled = true; });
    view.showPage(html, url);
    const bool ok = QTest::qWaitFor([&] { return settled; }, kTimeoutMs);
    QObject::disconnect(c);
    return ok;
  }

  // Reads the shown document; only tests look into the view.
  static QVariant evaluate(WebEnginePageView& view, const QString& script) {
    QVariant result;
    bool done = false;
    view.webView()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                          [&](const QVariant& v) {
                                            result = v;
                                            done = true;
                                          });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, kTimeoutMs));
    return result;
  }

  static QString shownTemperature(WebEnginePageView& view) {
    return evaluate(view, QStringLiteral("document.getElementById('Temperature_0').value"))
        .toString();
  }

  std::unique_ptr<WebEnginePageView> view_;
};

TEST_F(WebEnginePageViewTest, ShowsThePageAndPaintsIt) {
  ASSERT_TRUE(showAndSettle(*view_, test::adapterPage(kRom, 21.5625, 1)));
  EXPECT_EQ(view_->webView()->title(), QStringLiteral("Read DS18B20"));
  EXPECT_EQ(shownTemperature(*view_), QStringLiteral("21.5625"));
  // The compositor delivers the first frame a little after the load.
  const bool painted = QTest::qWaitFor(
      [&] {
        const QImage picture = view_->webView()->grab().toImage();
        const QRgb corner = picture.pixel(0, 0);
        for (int y = 0; y < picture.height(); y += 2)
          for (int x = 0; x < picture.width(); x += 2)
            if (picture.pixel(x, y) != corner) return true;
        return false;
      },
      kTimeoutMs);
  EXPECT_TRUE(painted);
}

TEST_F(WebEnginePageViewTest, RunsNoScriptOfThePage) {
  ASSERT_TRUE(showAndSettle(*view_,
                            "<html><head><title>before</title></head><body>"
                            "<script>document.title = 'after';</script><p>x</p></body></html>"));
  // The script would have run while the page was parsed, before it settled.
  EXPECT_EQ(evaluate(*view_, QStringLiteral("document.title")).toString(),
            QStringLiteral("before"));
}

TEST_F(WebEnginePageViewTest, SendsNoRequestOfItsOwn) {
  QTcpServer adapter;
  ASSERT_TRUE(adapter.listen(QHostAddress::LocalHost, 0));
  int connections = 0;
  QObject::connect(&adapter, &QTcpServer::newConnection, &adapter, [&] {
    while (QTcpSocket* socket = adapter.nextPendingConnection()) {
      ++connections;
      socket->deleteLater();
    }
  });
  const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(adapter.serverPort());
  const auto greedyPage = [&](const QString& name) {
    return QStringLiteral(
               "<html><head><title>greedy</title>"
               "<link rel=stylesheet href=\"/%1.css\"><link rel=icon href=\"/%1.ico\">"
               "<link rel=preconnect href=\"%2\"><link rel=dns-prefetch href=\"%2\">"
               "<link rel=prefetch href=\"/%1.next\"><link rel=preload as=image href=\"/%1.pre\">"
               "<script src=\"/%1.js\"></script>"
               "<meta http-equiv=refresh content=\"0;url=/%1.refresh\">"
               "<style>body { background: url(/%1.bg) }</style></head><body>"
               "<img src=\"/%1.png\"><img src=\"%2/%1.abs.png\"><iframe src=\"/%1.frame\"></iframe>"
               "<object data=\"/%1.obj\"></object><video poster=\"/%1.poster\"></video>"
               "<a href=\"/%1.link\" ping=\"/%1.ping\">link</a>"
               "<form action=\"/%1.form\"><input id=Temperature_0 value=\"%1\"></form>"
               "</body></html>")
        .arg(name, origin)
        .toUtf8();
  };
  const QString queryUrl =
      origin + QStringLiteral("/1Wire/ReadDS18B20.html?DS18B20Request=%7b1%7d");
  ASSERT_TRUE(showAndSettle(*view_, greedyPage(QStringLiteral("first")), queryUrl));
  // The page did try, and was refused.
  ASSERT_TRUE(QTest::qWaitFor([&] { return view_->blockedRequests() > 0; }, kTimeoutMs));
  const int blockedBefore = view_->blockedRequests();
  // Same shape, new URLs everywhere: rewriting them in place makes the page
  // try again, and it is refused again.
  ASSERT_TRUE(showAndSettle(*view_, greedyPage(QStringLiteral("second")), queryUrl));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return view_->blockedRequests() > blockedBefore; }, kTimeoutMs));
  // The listen queue is first come, first served: once a connection of our
  // own is taken, so is any the view made before it.
  QTcpSocket probe;
  probe.connectToHost(QHostAddress::LocalHost, adapter.serverPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return connections > 0; }, kTimeoutMs));

  EXPECT_EQ(connections, 1);
  EXPECT_EQ(view_->counts().patches, 1);
  EXPECT_EQ(view_->webView()->title(), QStringLiteral("greedy"));  // nothing navigated away
  EXPECT_EQ(shownTemperature(*view_), QStringLiteral("second"));
}

TEST_F(WebEnginePageViewTest, DoesNotRedrawAPageIdenticalToTheOneShown) {
  const QByteArray html = test::adapterPage(kRom, 21.5, 1);
  ASSERT_TRUE(showAndSettle(*view_, html));
  ASSERT_TRUE(showAndSettle(*view_, html, kUrl + QStringLiteral("&again")));
  EXPECT_EQ(view_->counts().loads, 1);
  EXPECT_EQ(view_->counts().patches, 0);
  EXPECT_EQ(view_->counts().unchanged, 1);
}

TEST_F(WebEnginePageViewTest, RewritesTheValuesOfAPageOfTheSameShapeInPlace) {
  ASSERT_TRUE(showAndSettle(*view_, test::adapterPage(kRom, 21.5, 1)));
  ASSERT_TRUE(
      showAndSettle(*view_, test::adapterPage(QStringLiteral("06000000A4EC7428"), -3.25, 2)));
  EXPECT_EQ(view_->counts().loads, 1);
  EXPECT_EQ(view_->counts().patches, 1);
  EXPECT_EQ(view_->counts().refusedPatches, 0);
  EXPECT_EQ(shownTemperature(*view_), QStringLiteral("-3.25"));
  EXPECT_EQ(evaluate(*view_, QStringLiteral("document.getElementById('ROMId_0').value")).toString(),
            QStringLiteral("06000000A4EC7428"));
  EXPECT_TRUE(evaluate(*view_, QStringLiteral("document.body.innerText"))
                  .toString()
                  .contains(QStringLiteral("Adapter up for 2 s")));
}

TEST_F(WebEnginePageViewTest, RewritesTitlesAndAwkwardTextFaithfully) {
  const auto page = [](const char* title, const char* value) {
    return QByteArray("<html><head><title>") + title + "</title></head><body><input id=v value=\"" +
           value + "\"><p id=p>" + title + "</p></body></html>";
  };
  ASSERT_TRUE(showAndSettle(*view_, page("one", "1")));
  ASSERT_TRUE(showAndSettle(*view_, page("two &amp; &lt;three&gt;", "a &quot;b&quot; \\ c")));
  EXPECT_EQ(view_->counts().patches, 1);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return view_->webView()->title() == QStringLiteral("two & <three>"); }, kTimeoutMs));
  EXPECT_EQ(evaluate(*view_, QStringLiteral("document.getElementById('v').value")).toString(),
            QStringLiteral("a \"b\" \\ c"));
}

TEST_F(WebEnginePageViewTest, LoadsAPageOfANewShapeInFull) {
  ASSERT_TRUE(showAndSettle(*view_, test::adapterPage(kRom, 21.5, 1)));
  ASSERT_TRUE(showAndSettle(
      *view_, "<html><head><title>Other</title></head><body><p>Other layout</p></body></html>"));
  EXPECT_EQ(view_->counts().loads, 2);
  EXPECT_EQ(view_->counts().patches, 0);
  EXPECT_EQ(view_->webView()->title(), QStringLiteral("Other"));
  EXPECT_TRUE(evaluate(*view_, QStringLiteral("document.getElementById('Temperature_0') === null"))
                  .toBool());
}

TEST_F(WebEnginePageViewTest, LoadsInFullWhenTheShownDocumentIsNotTheExpectedOne) {
  ASSERT_TRUE(showAndSettle(*view_, test::adapterPage(kRom, 21.5, 1)));
  evaluate(*view_, QStringLiteral(
                       "document.getElementById('Temperature_0').setAttribute('value', 'x'); 1"));
  ASSERT_TRUE(showAndSettle(*view_, test::adapterPage(kRom, 30.0, 2)));
  EXPECT_EQ(view_->counts().refusedPatches, 1);
  EXPECT_EQ(view_->counts().loads, 2);
  EXPECT_EQ(shownTemperature(*view_), QStringLiteral("30"));
  EXPECT_TRUE(evaluate(*view_, QStringLiteral("document.body.innerText"))
                  .toString()
                  .contains(QStringLiteral("Adapter up for 2 s")));
}

TEST_F(WebEnginePageViewTest, KeepsOnlyTheNewestPageWhileOneIsOnItsWay) {
  bool settled = false;
  QObject::connect(view_.get(), &WebEnginePageView::settled, view_.get(), [&] { settled = true; });
  for (int i = 1; i <= 5; ++i) view_->showPage(test::adapterPage(kRom, 20.0 + i, i), kUrl);
  ASSERT_TRUE(QTest::qWaitFor([&] { return settled; }, kTimeoutMs));
  EXPECT_EQ(view_->counts().loads, 1);
  EXPECT_EQ(view_->counts().superseded, 3);
  EXPECT_EQ(view_->counts().patches, 1);
  EXPECT_EQ(shownTemperature(*view_), QStringLiteral("25"));
}

TEST_F(WebEnginePageViewTest, ShowsNoAnswerWithUrlAndReason) {
  bool settled = false;
  QObject::connect(view_.get(), &WebEnginePageView::settled, view_.get(), [&] { settled = true; });
  view_->showNoAnswer(kUrl, QStringLiteral("connection refused"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return settled; }, kTimeoutMs));
  QString text = evaluate(*view_, QStringLiteral("document.body.innerText")).toString();
  EXPECT_TRUE(text.contains(kUrl)) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("connection refused")));

  settled = false;
  view_->showNoAnswer(kUrl, QStringLiteral("timed out <2 s>"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return settled; }, kTimeoutMs));
  text = evaluate(*view_, QStringLiteral("document.body.innerText")).toString();
  EXPECT_TRUE(text.contains(QStringLiteral("timed out <2 s>")));
  EXPECT_EQ(view_->counts().loads, 1);  // the second one only rewrote the reason
}

TEST_F(WebEnginePageViewTest, APageTooDeepToReadIsReplacedByANotice) {
  ASSERT_TRUE(showAndSettle(*view_, QByteArray("<span>").repeated(40000)));
  const QString text = evaluate(*view_, QStringLiteral("document.body.innerText")).toString();
  EXPECT_TRUE(text.contains(QStringLiteral("Page not shown"))) << text.left(200).toStdString();
}

TEST_F(WebEnginePageViewTest, ReloadEveryPageModeLoadsEachNewPage) {
  auto view = makeView(WebEnginePageView::Updates::ReloadEveryPage);
  ASSERT_TRUE(showAndSettle(*view, test::adapterPage(kRom, 21.5, 1)));
  ASSERT_TRUE(showAndSettle(*view, test::adapterPage(kRom, 22.5, 2)));
  EXPECT_EQ(view->counts().loads, 2);
  EXPECT_EQ(view->counts().patches, 0);
  EXPECT_EQ(shownTemperature(*view), QStringLiteral("22.5"));
}

#else

TEST(WebEnginePageViewTest, NeedsTheBrowserEngine) {
  GTEST_SKIP() << "built without the browser-engine page view";
}

#endif

}  // namespace
}  // namespace bw
