#include "platform/pageview/PageOutline.h"

#include "SamplePage.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

QByteArray page(const char* body) {
  return QByteArray("<!DOCTYPE html><html><head><title>t</title></head><body>") + body +
         "</body></html>";
}

TEST(PageOutline, AnswersThatDifferOnlyInValuesHaveTheSameShape) {
  const PageOutline first(test::adapterPage(QStringLiteral("9C000000B4A89828"), 21.5625, 100));
  const PageOutline next(test::adapterPage(QStringLiteral("06000000A4EC7428"), -3.125, 101));
  EXPECT_TRUE(first.patchable());
  EXPECT_TRUE(first.sameShape(next));
  const std::optional<QString> script = PageOutline::patchScript(first, next);
  ASSERT_TRUE(script.has_value());
  EXPECT_TRUE(script->contains(QStringLiteral("\"-3.125\"")));
  EXPECT_TRUE(script->contains(QStringLiteral("\"{06000000A4EC7428,12}\"")));
  // Only the changed values travel: the style sheet and labels are not resent.
  EXPECT_FALSE(script->contains(QStringLiteral("Helvetica")));
  EXPECT_FALSE(script->contains(QStringLiteral("Resolution")));
}

TEST(PageOutline, SameValuesGiveAnEmptyScript) {
  const QByteArray html = test::adapterPage(QStringLiteral("9C000000B4A89828"), 20.0, 7);
  const std::optional<QString> script =
      PageOutline::patchScript(PageOutline(html), PageOutline(html));
  ASSERT_TRUE(script.has_value());
  EXPECT_TRUE(script->isEmpty());
}

TEST(PageOutline, ChangesToElementsAttributesOrDoctypeChangeTheShape) {
  const PageOutline base(page("<p class=a>x<input value=1></p>"));
  const char* const others[] = {
      "<p class=a>x<input value=1><b>y</b></p>",  // element added
      "<p class=a>x</p>",                         // element removed
      "<p>x<input value=1></p>",                  // attribute removed
      "<p class=a>x<input value=1 checked></p>",  // attribute added
      "<div class=a>x<input value=1></div>",      // element renamed
      "<p class=a>x<!--c--><input value=1></p>",  // node added between
  };
  for (const char* other : others) {
    const PageOutline changed(page(other));
    EXPECT_FALSE(base.sameShape(changed)) << other;
    EXPECT_FALSE(PageOutline::patchScript(base, changed).has_value()) << other;
  }
  const PageOutline quirks(QByteArray("<html><head><title>t</title></head><body>") +
                           "<p class=a>x<input value=1></p></body></html>");
  EXPECT_FALSE(base.sameShape(quirks));
}

TEST(PageOutline, ReadsSloppyMarkupAsTheBrowserWouldBuildIt) {
  // Tag case, attribute quoting and implied end tags do not change the tree.
  const PageOutline tidy(page("<p id=\"a\">x</p><p id=\"b\">y</p>"));
  const PageOutline sloppy(QByteArray("<!DOCTYPE html><HTML><HEAD><TITLE>t</TITLE></HEAD><BODY>") +
                           "<P ID=a>x<P ID=b>y</BODY></HTML>");
  EXPECT_TRUE(tidy.sameShape(sloppy));
}

TEST(PageOutline, TextAndAttributeValuesAreEscapedForTheScript) {
  const PageOutline from(page("<input id=t value=\"1\"><span>a</span>"));
  const PageOutline to(page("<input id=t value='say \"hi\" \\ </script>'><span>b\nc</span>"));
  const std::optional<QString> script = PageOutline::patchScript(from, to);
  ASSERT_TRUE(script.has_value());
  EXPECT_TRUE(script->contains(QStringLiteral("\"say \\\"hi\\\" \\\\ </script>\"")));
  EXPECT_TRUE(script->contains(QStringLiteral("\"b\\nc\"")));
}

TEST(PageOutline, PagesWithTemplatesAreNotPatched) {
  const PageOutline from(page("<template><i>1</i></template><p>1</p>"));
  const PageOutline to(page("<template><i>2</i></template><p>2</p>"));
  EXPECT_FALSE(from.patchable());
  EXPECT_FALSE(PageOutline::patchScript(from, to).has_value());
}

TEST(PageOutline, DeepPagesAreWalkedWithoutRecursionOrRefused) {
  const QByteArray deep = QByteArray("<div>").repeated(1000);
  const PageOutline first(page((deep + "<input value=1>").constData()));
  const PageOutline next(page((deep + "<input value=2>").constData()));
  const std::optional<QString> script = PageOutline::patchScript(first, next);
  ASSERT_TRUE(script.has_value());
  EXPECT_TRUE(script->contains(QStringLiteral("\"2\"")));
  // Nested past what a page may cost: refused, not a crash.
  const PageOutline tooDeep(QByteArray("<span>").repeated(40000));
  EXPECT_TRUE(tooDeep.refused());
  EXPECT_FALSE(PageOutline::patchScript(tooDeep, tooDeep).has_value());
}

}  // namespace
}  // namespace bw
