#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "site/SiteFile.h"
#include "site/SiteTargets.h"

namespace bw {
namespace {

// The errors the unattended logger's check adds for a site's log and
// metrics, on the lines they were given on.
QStringList targetErrors(const QString& log, const QString& metrics) {
  const QByteArray text = "adapter = \"10.0.0.1\"\nlog = \"" + log.toUtf8() + "\"\nmetrics = \"" +
                          metrics.toUtf8() +
                          "\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n";
  const SiteReading reading = parseSite(text, QStringLiteral("f.toml"));
  if (!reading.site) return reading.errors;
  return checkSiteTargets(*reading.site);
}

TEST(SiteTargets, TheLogsFolderMustBeThereAndTheMetricsAddressThisHosts) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("brine.log"));
  for (const char* metrics : {"127.0.0.1:9816", ":9816", "localhost:1", "[::1]:1", "0.0.0.0:0"})
    EXPECT_EQ(targetErrors(log, QLatin1String(metrics)), QStringList()) << metrics;

  const QString missing = dir.filePath(QStringLiteral("gone/brine.log"));
  const QStringList errors = targetErrors(missing, QStringLiteral("203.0.113.77:9816"));
  ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
  EXPECT_EQ(errors[0], QStringLiteral("f.toml:2: log \"%1\": its folder %2 does not exist")
                           .arg(missing, dir.filePath(QStringLiteral("gone"))));
  EXPECT_TRUE(errors[1].startsWith(
      QStringLiteral("f.toml:3: metrics \"203.0.113.77:9816\": 203.0.113.77 is not an address of "
                     "this host (it has 127.0.0.1")))
      << errors[1].toStdString();
  EXPECT_EQ(
      targetErrors(dir.path(), QStringLiteral(":1")),
      QStringList(QStringLiteral("f.toml:2: log \"%1\": a folder, not a file").arg(dir.path())));
  // A relative log is taken from the working folder.
  const QString here = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  EXPECT_EQ(targetErrors(QStringLiteral("brine.log"), QStringLiteral(":1")), QStringList());
  EXPECT_EQ(targetErrors(QStringLiteral("gone/brine.log"), QStringLiteral(":1")).size(), 1);
  QDir::setCurrent(here);
}

}  // namespace
}  // namespace bw
