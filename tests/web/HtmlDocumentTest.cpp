#include <gtest/gtest.h>

#include <optional>

#include "platform/web/HtmlDocument.h"

namespace bw {
namespace {

const QString kId = QStringLiteral("Temperature_0");

// The value of the element with `id` in `html`; "<none>" without such an
// element, "<no value>" for an element that carries none.
QString valueIn(const QByteArray& html, const QString& id = kId) {
  const HtmlDocument document(html);
  const std::optional<HtmlElement> element = document.getElementById(id);
  if (!element) return QStringLiteral("<none>");
  return element->value().value_or(QStringLiteral("<no value>"));
}

TEST(HtmlDocumentTest, ReadsTheTemperatureOfAnAdapterStylePage) {
  const QByteArray page =
      "<HTML><HEAD><TITLE>DS18B20</TITLE></HEAD><BODY>\r\n"
      "<FORM NAME=f><TABLE><TR><TD>ROM</TD><TD><INPUT TYPE=text ID=ROMId_0 VALUE=9C000000B4A89828>"
      "</TD></TR><TR><TD>Temp</TD><TD><INPUT TYPE=text ID=Temperature_0 NAME=Temperature_0 "
      "VALUE=21.5625 SIZE=8></TD></TR></TABLE></FORM></BODY></HTML>";
  const HtmlDocument document(page);
  const auto element = document.getElementById(kId);
  ASSERT_TRUE(element);
  EXPECT_EQ(element->tagName(), QStringLiteral("input"));
  EXPECT_EQ(element->value(), QStringLiteral("21.5625"));
  EXPECT_EQ(valueIn(page, QStringLiteral("ROMId_0")), QStringLiteral("9C000000B4A89828"));
}

TEST(HtmlDocumentTest, AttributesMayBeUnquotedSingleQuotedOrCarryCharacterReferences) {
  EXPECT_EQ(valueIn("<input id=Temperature_0 value=-3.25>"), QStringLiteral("-3.25"));
  EXPECT_EQ(valueIn("<input id='Temperature_0' value='4'>"), QStringLiteral("4"));
  EXPECT_EQ(valueIn("<input id=\"Temperature_0\" value=\"&#50;3&period;5\">"),
            QStringLiteral("23.5"));
  EXPECT_EQ(valueIn("<input value=7 ID=Temperature_0 iD=other>"), QStringLiteral("7"));
}

TEST(HtmlDocumentTest, IdMatchesExactlyAndTheFirstInDocumentOrderWins) {
  const QByteArray page =
      "<div><input id=Temperature_00 value=1><input id=temperature_0 value=2>"
      "<input id=' Temperature_0' value=3></div>"
      "<p><input id=Temperature_0 value=first></p><input id=Temperature_0 value=second>";
  EXPECT_EQ(valueIn(page), QStringLiteral("first"));
  EXPECT_EQ(valueIn(page, QStringLiteral("TEMPERATURE_0")), QStringLiteral("<none>"));
  EXPECT_EQ(valueIn(page, QString()), QStringLiteral("<none>"));
  // Depth first: a nested element comes before a later sibling of its parent.
  EXPECT_EQ(valueIn("<div><div><input id=Temperature_0 value=deep></div></div>"
                    "<input id=Temperature_0 value=shallow>"),
            QStringLiteral("deep"));
}

TEST(HtmlDocumentTest, MissingElementAndUnusablePagesFindNothing) {
  EXPECT_EQ(valueIn("<html><body><input id=Temperature_1 value=3></body></html>"),
            QStringLiteral("<none>"));
  EXPECT_EQ(valueIn(QByteArray()), QStringLiteral("<none>"));
  EXPECT_EQ(valueIn("23.5"), QStringLiteral("<none>"));
  static constexpr char kWithNuls[] = "\0\0<input id=Temperature_0 value=1>\0";
  EXPECT_EQ(valueIn(QByteArray(kWithNuls, sizeof kWithNuls - 1)), QStringLiteral("1"));
  // The content of a template is not part of the page.
  EXPECT_EQ(valueIn("<template><input id=Temperature_0 value=1></template>"),
            QStringLiteral("<none>"));
}

TEST(HtmlDocumentTest, OnlyAnInputOrATextareaCarriesAValue) {
  EXPECT_EQ(valueIn("<span id=Temperature_0 value=21.5>21.5</span>"), QStringLiteral("<no value>"));
  EXPECT_EQ(valueIn("<select id=Temperature_0><option value=21.5 selected>21.5</select>"),
            QStringLiteral("<no value>"));
  EXPECT_EQ(valueIn("<table><tr><td id=Temperature_0>21.5</td></tr></table>"),
            QStringLiteral("<no value>"));
  EXPECT_EQ(valueIn("<svg><text id=Temperature_0>21.5</text></svg>"), QStringLiteral("<no value>"));
  const HtmlDocument document("<Custom-Thing id=Temperature_0>1</Custom-Thing>");
  ASSERT_TRUE(document.getElementById(kId));
  EXPECT_EQ(document.getElementById(kId)->tagName(), QStringLiteral("custom-thing"));
}

TEST(HtmlDocumentTest, InputReportsItsValueAttributeWithoutLineBreaks) {
  EXPECT_EQ(valueIn("<input id=Temperature_0>"), QString());
  EXPECT_EQ(valueIn("<input id=Temperature_0 value='21\r\n.5\n'>"), QStringLiteral("21.5"));
  EXPECT_EQ(valueIn("<input id=Temperature_0 value>"), QString());
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=number value=' 21.5 '>"),
            QStringLiteral(" 21.5 "));
}

TEST(HtmlDocumentTest, TextareaReportsItsText) {
  EXPECT_EQ(valueIn("<TEXTAREA id=Temperature_0>\n21.5 &amp; <b>x</b></TEXTAREA>"),
            QStringLiteral("21.5 & <b>x</b>"));
  EXPECT_EQ(valueIn("<textarea id=Temperature_0 value=1></textarea>"), QString());
  EXPECT_EQ(valueIn("<textarea id=Temperature_0>a\r\nb</textarea>"), QStringLiteral("a\nb"));
}

TEST(HtmlDocumentTest, ReadsUtf8AndLatin1PagesAlike) {
  const QString degrees = QStringLiteral("21.5 \u00B0C");
  EXPECT_EQ(valueIn("<input id=Temperature_0 value='21.5 \xC2\xB0"
                    "C'>"),
            degrees);
  EXPECT_EQ(valueIn("<input id=Temperature_0 value='21.5 \xB0"
                    "C'>"),
            degrees);
  EXPECT_EQ(valueIn("\xEF\xBB\xBF<input id=Temperature_0 value='21.5 \xC2\xB0"
                    "C'>"),
            degrees);
  // One stray byte makes the whole page Latin-1.
  EXPECT_EQ(valueIn("<input id=Temperature_0 value='\xC2\xB0'>\xFF"),
            QStringLiteral("\u00C2\u00B0"));
  EXPECT_EQ(
      valueIn("<input id=Temperature_\xC3\xA9 value=1>", QStringLiteral("Temperature_\u00E9")),
      QStringLiteral("1"));
}

TEST(HtmlDocumentTest, SurvivesDeeplyNestedAndLongPages) {
  // Well within what a page may cost to parse; deeper pages are refused.
  QByteArray deep;
  for (int i = 0; i < 1000; ++i) deep += "<div>";
  deep += "<input id=Temperature_0 value=9>";
  EXPECT_EQ(valueIn(deep), QStringLiteral("9"));

  QByteArray wide = "<body>";
  for (int i = 0; i < 300; ++i) wide += "<input id=x value=0>";
  wide += "<input id=Temperature_0 value=8>";
  EXPECT_EQ(valueIn(wide), QStringLiteral("8"));
}

}  // namespace
}  // namespace bw
