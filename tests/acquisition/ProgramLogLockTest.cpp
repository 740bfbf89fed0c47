#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include "acquisition/LogTarget.h"

namespace bw {
namespace {

// A log another logger holds: brinewatchd does not start, and says who
// holds it.
TEST(ProgramLogLock, TheServiceGivenALogHeldElsewhereDoesNotStartAndNamesTheHolder) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("held.log"));
  LogTarget holder;
  ASSERT_FALSE(holder.open(log).has_value());
  QFile site(dir.filePath(QStringLiteral("site.toml")));
  ASSERT_TRUE(site.open(QIODevice::WriteOnly));
  site.write(QStringLiteral("adapter = \"127.0.0.1:9\"\nlog = \"%1\"\nmetrics = \"127.0.0.1:0\"\n"
                            "[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n")
                 .arg(log)
                 .toUtf8());
  site.close();
  QProcess service;
  service.start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), site.fileName()});
  ASSERT_TRUE(service.waitForFinished(20000));
  EXPECT_EQ(service.exitCode(), 4);  // a log it cannot open, which no restart mends
  const QString errors = QString::fromUtf8(service.readAllStandardError());
  EXPECT_TRUE(errors.contains(QStringLiteral("the log %1 cannot be opened: ").arg(log)))
      << errors.toStdString();
  EXPECT_TRUE(errors.contains(QStringLiteral("process %1)").arg(::getpid())))
      << errors.toStdString();
}

}  // namespace
}  // namespace bw
