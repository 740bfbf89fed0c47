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

TEST(HtmlDocumentTest, ElementsThatAreNoFormControlCarryNoValue) {
  EXPECT_EQ(valueIn("<span id=Temperature_0 value=21.5>21.5</span>"), QStringLiteral("<no value>"));
  EXPECT_EQ(valueIn("<table><tr><td id=Temperature_0>21.5</td></tr></table>"),
            QStringLiteral("<no value>"));
  EXPECT_EQ(valueIn("<svg><text id=Temperature_0>21.5</text></svg>"), QStringLiteral("<no value>"));
  const HtmlDocument document("<Custom-Thing id=Temperature_0>1</Custom-Thing>");
  ASSERT_TRUE(document.getElementById(kId));
  EXPECT_EQ(document.getElementById(kId)->tagName(), QStringLiteral("custom-thing"));
}

TEST(HtmlDocumentTest, InputReportsItsValueAsABrowserWould) {
  EXPECT_EQ(valueIn("<input id=Temperature_0>"), QString());
  EXPECT_EQ(valueIn("<input id=Temperature_0 value>"), QString());
  EXPECT_EQ(valueIn("<input id=Temperature_0 value=' 21.5 '>"), QStringLiteral(" 21.5 "));
  EXPECT_EQ(valueIn("<input id=Temperature_0 value='21\n.5'>"), QStringLiteral("21.5"));
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=HIDDEN value='2\n1'>"), QStringLiteral("2\n1"));
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=checkbox>"), QStringLiteral("on"));
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=radio value=x>"), QStringLiteral("x"));
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=file value=x>"), QString());
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=url value=' a \n'>"), QStringLiteral("a"));
  EXPECT_EQ(valueIn("<input id=Temperature_0 type=no-such-type value=5>"), QStringLiteral("5"));
}

TEST(HtmlDocumentTest, NumberInputKeepsOnlyAValidNumber) {
  for (const char* valid : {"21.5", "-0.0625", ".5", "85", "1e3", "1.5E-2"})
    EXPECT_EQ(valueIn(QByteArray("<input type=number id=Temperature_0 value=") + valid + ">"),
              QString::fromLatin1(valid));
  for (const char* invalid : {"+21.5", " 21.5", "21.", "21,5", "1e", "-", "abc", ""})
    EXPECT_EQ(valueIn(QByteArray("<input type=number id=Temperature_0 value='") + invalid + "'>"),
              QString())
        << invalid;
}

TEST(HtmlDocumentTest, TextareaReportsItsText) {
  EXPECT_EQ(valueIn("<TEXTAREA id=Temperature_0>\n21.5 &amp; <b>x</b></TEXTAREA>"),
            QStringLiteral("21.5 & <b>x</b>"));
  EXPECT_EQ(valueIn("<textarea id=Temperature_0 value=1></textarea>"), QString());
  EXPECT_EQ(valueIn("<textarea id=Temperature_0>a\r\nb</textarea>"), QStringLiteral("a\nb"));
}

TEST(HtmlDocumentTest, SelectReportsItsSelectedOption) {
  EXPECT_EQ(valueIn("<select id=Temperature_0><option value=1>one<option value=2 selected>two"
                    "</select>"),
            QStringLiteral("2"));
  // Nothing marked: a drop-down list shows its first enabled option.
  EXPECT_EQ(valueIn("<select id=Temperature_0><option disabled>a<option> b  c </option></select>"),
            QStringLiteral("b c"));
  // Several marked: the last one wins, unless several may be chosen.
  EXPECT_EQ(valueIn("<select id=Temperature_0><option selected>a<option selected>b</select>"),
            QStringLiteral("b"));
  EXPECT_EQ(
      valueIn("<select multiple id=Temperature_0><option selected>a<option selected>b</select>"),
      QStringLiteral("a"));
  EXPECT_EQ(valueIn("<select multiple id=Temperature_0><option>a</select>"), QString());
  EXPECT_EQ(valueIn("<select size=3 id=Temperature_0><option>a</select>"), QString());
  EXPECT_EQ(valueIn("<select id=Temperature_0><optgroup label=g disabled><option>a</optgroup>"
                    "<optgroup><option value=b>B</optgroup></select>"),
            QStringLiteral("b"));
  EXPECT_EQ(valueIn("<select id=Temperature_0></select>"), QString());
}

TEST(HtmlDocumentTest, OtherValueCarryingElements) {
  EXPECT_EQ(valueIn("<select><option id=Temperature_0>\t21.5 <script>x</script></select>"),
            QStringLiteral("21.5"));
  EXPECT_EQ(valueIn("<button id=Temperature_0 value=3>Press</button>"), QStringLiteral("3"));
  EXPECT_EQ(valueIn("<button id=Temperature_0>Press</button>"), QString());
  EXPECT_EQ(valueIn("<data id=Temperature_0 value=21.5>warm</data>"), QStringLiteral("21.5"));
  EXPECT_EQ(valueIn("<object><param id=Temperature_0 name=t value=4></object>"),
            QStringLiteral("4"));
  EXPECT_EQ(valueIn("<output id=Temperature_0>2<b>1</b></output>"), QStringLiteral("21"));
  EXPECT_EQ(valueIn("<ol><li id=Temperature_0 value=' 7x'></ol>"), QStringLiteral("7"));
  EXPECT_EQ(valueIn("<ol><li id=Temperature_0 value=21.5></ol>"), QStringLiteral("21"));
  EXPECT_EQ(valueIn("<ol><li id=Temperature_0></ol>"), QStringLiteral("0"));
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
