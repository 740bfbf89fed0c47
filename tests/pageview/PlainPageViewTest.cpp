#include "platform/pageview/InertTextBrowser.h"
#include "platform/pageview/PlainMarkup.h"
#include "platform/pageview/PlainPageView.h"

#include "SamplePage.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QTemporaryDir>
#include <QTextDocument>

namespace bw {
namespace {

const QString kUrl = QStringLiteral(
    "http://127.0.0.1:8080/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d");

TEST(PlainPageView, ShowsTheTemperatureOfTheAnswerPage) {
  PlainPageView view;
  view.resize(777, 305);
  view.showPage(test::adapterPage(QStringLiteral("9C000000B4A89828"), 21.5625, 5), kUrl);
  const QString text = view.shownText();
  EXPECT_TRUE(text.contains(QStringLiteral("[21.5625]"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("[9C000000B4A89828]")));
  EXPECT_TRUE(text.contains(QStringLiteral("Temperature")));
  EXPECT_TRUE(text.contains(QStringLiteral("[ Read again ]")));
  EXPECT_FALSE(text.contains(QStringLiteral("{9C000000B4A89828,12}")));  // hidden input
}

TEST(PlainPageView, RedrawsOnlyWhenThePageChanges) {
  PlainPageView view;
  const QByteArray first = test::adapterPage(QStringLiteral("9C000000B4A89828"), 21.5, 5);
  view.showPage(first, kUrl);
  view.showPage(first, kUrl);
  EXPECT_EQ(view.renderCount(), 1);
  view.showPage(test::adapterPage(QStringLiteral("9C000000B4A89828"), 22.0, 6), kUrl);
  EXPECT_EQ(view.renderCount(), 2);
  EXPECT_TRUE(view.shownText().contains(QStringLiteral("[22]")));
  view.showPage("<html><body><p>Another layout</p></body></html>", kUrl);
  EXPECT_EQ(view.shownText().trimmed(), QStringLiteral("Another layout"));
}

TEST(PlainPageView, ShowsNoAnswerWithUrlAndReasonAsText) {
  PlainPageView view;
  view.showNoAnswer(kUrl, QStringLiteral("timed out <after 2 s>"));
  const QString text = view.shownText();
  EXPECT_TRUE(text.contains(kUrl)) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("timed out <after 2 s>")));
  view.showPage(test::adapterPage(QStringLiteral("9C000000B4A89828"), 20.0, 1), kUrl);
  EXPECT_FALSE(view.shownText().contains(QStringLiteral("timed out")));
}

TEST(PlainPageView, APageTooDeepToReadShowsWhyItIsNotShown) {
  PlainPageView view;
  view.showPage(QByteArray("<span>").repeated(40000), kUrl);
  const QString text = view.shownText();
  EXPECT_TRUE(text.contains(QStringLiteral("Page not shown"))) << text.left(200).toStdString();
  EXPECT_TRUE(text.contains(kUrl));
  // Deep but readable: past the nesting the view draws, only the text is kept.
  view.showPage(QByteArray("<div>").repeated(1000) + "<b>deep text</b>", kUrl);
  EXPECT_TRUE(view.shownText().contains(QStringLiteral("deep text")));
}

TEST(PlainMarkup, ShowsEachKindOfFormControlAsText) {
  const QString markup = plainMarkup(
      "<form><input type=checkbox checked><input type=checkbox><input type=radio>"
      "<input type=password value=abc><input type=submit><input type=reset value=Clear>"
      "<input value='a<b'><textarea>note</textarea>"
      "<select><option>one<option selected>two</select>"
      "<select><optgroup><option>first</optgroup></select>"
      "<button>Go</button></form>");
  QTextDocument document;
  document.setHtml(markup);
  const QString text = document.toPlainText();
  for (const char* expected : {"[x]", "[ ]", "[\u2022\u2022\u2022]", "[ Submit ]", "[ Clear ]",
                               "[a<b]", "[note]", "[two]", "[first]", "[ Go ]"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected)))
        << expected << " in " << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("one")));
}

TEST(PlainMarkup, LeavesOutEverythingThatLoadsRunsOrLinks) {
  const QString markup = plainMarkup(
      "<html><head><link rel=stylesheet href=/s.css><script>x()</script>"
      "<style>p{background:url(/b.png)}</style><meta http-equiv=refresh content='0;url=/x'>"
      "</head><body background=/bg.png onload=x()><a href=/next onclick=x()>next</a>"
      "<img src=/a.png alt=logo><iframe src=/f></iframe><object data=/o></object>"
      "<p style='color:red'>kept</p></body></html>");
  for (const char* absent : {"href", "src", "onload", "onclick", "background=", "<script", "x()",
                             "url(", "refresh", "<iframe", "<object", "<a"})
    EXPECT_FALSE(markup.contains(QLatin1String(absent)))
        << absent << " in " << markup.toStdString();
  EXPECT_TRUE(markup.contains(QStringLiteral("next")));
  EXPECT_TRUE(markup.contains(QStringLiteral("logo")));
  EXPECT_TRUE(markup.contains(QStringLiteral("style=\"color:red\"")));
}

TEST(InertTextBrowser, ReadsNoFileThatTheMarkupNames) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("red.png"));
  QImage red(4, 4, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(file));

  InertTextBrowser browser;
  browser.setHtml(QStringLiteral("<img src=\"%1\">").arg(QUrl::fromLocalFile(file).toString()));
  const QVariant loaded =
      browser.document()->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(file));
  EXPECT_EQ(loaded.userType(), QMetaType::QByteArray);
  EXPECT_TRUE(loaded.toByteArray().isEmpty());
}

}  // namespace
}  // namespace bw
