#include <gtest/gtest.h>

#include "site/SiteTable.h"
#include "site/TextColumns.h"

namespace bw {
namespace {

// Columns are counted as a terminal shows them: a wide character takes two,
// a combining mark none; a name is text, never a placeholder.
TEST(SiteTable, ShowsTheLogAndMetricsAndKeepsItsColumnsForWideAndCombiningNames) {
  Site site;
  site.file = QStringLiteral("site.toml");
  site.adapter = QStringLiteral("10.0.0.1");
  site.log = QStringLiteral("tank.log");
  site.metrics = parseListenAddress(QStringLiteral(":9816"));
  site.sensors = {{1, QStringLiteral("9C000000B4A89828"), QStringLiteral("北槽"), -2.0, 6.5},
                  {2, QStringLiteral("06000000A4EC7428"), QStringLiteral("Cafe\u0301"), {}, {}},
                  {3, QStringLiteral("B900000027CA8F28"), QString(), {}, 8.0},
                  {4, QStringLiteral("E6000000B4E6AC28"), QStringLiteral("T%1"), {}, {}}};
  const auto query = [](const char* rom) {
    return QStringLiteral("http://10.0.0.1/1Wire/ReadDS18B20.html?DS18B20Request=%7b") +
           QLatin1String(rom) + QStringLiteral(",12%7d\n");
  };
  EXPECT_EQ(
      siteTable(site).toStdString(),
      (QStringLiteral("Site file site.toml\n"
                      "Adapter 10.0.0.1\n"
                      "Log tank.log\n"
                      "Metrics :9816\n"
                      "Slot  ROM               Name  Band (°C)       URL\n"
                      "   1  9C000000B4A89828  北槽  -2 to 6.5       ") +
       query("9C000000B4A89828") +
       QStringLiteral("   2  06000000A4EC7428  Cafe\u0301  -               ") +
       query("06000000A4EC7428") +
       QStringLiteral("   3  B900000027CA8F28  -     up to 8         ") +
       query("B900000027CA8F28") +
       QStringLiteral("   4  E6000000B4E6AC28  T%1   -               ") + query("E6000000B4E6AC28"))
          .toStdString());
  EXPECT_EQ(displayWidth(u"\U0001F41F fish"), 7);  // beyond the 16-bit plane
  EXPECT_EQ(displayWidth(u"ｔａｎｋ"), 8);
}

}  // namespace
}  // namespace bw
