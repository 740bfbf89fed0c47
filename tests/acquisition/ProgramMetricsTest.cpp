#include <gtest/gtest.h>

#include <QLabel>
#include <QTcpServer>

#include "WindowHarness.h"
#include "app/Module1.h"
#include "frame/ui/MainFrame.h"
#include "platform/TerminationNotifier.h"

namespace bw {
namespace {

// A site file whose metrics port another program holds: the first query goes
// out with no box before it, and the status bar says why there are no metrics,
// of the site file's line.
TEST(ProgramMetrics, APortTakenIsToldInTheStatusBarAndPollingGoesOn) {
  QTcpServer taken;
  ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
  test::FakeServices s;
  Site site = builtInSite(QStringLiteral("adapter.test"));
  site.metrics = parseListenAddress(QStringLiteral("127.0.0.1:%1").arg(taken.serverPort()));
  site.file = QStringLiteral("site.toml");
  site.lines.metrics = 3;
  Acquisition acquisition(site, std::make_unique<test::FakeHttpClient>([](const QByteArray&) {
                            return test::page("1");
                          }),
                          s.clock, s.pace, noDisplay());
  TerminationNotifier termination;
  int boxesAtFirstQuery = -1;
  QString status, tip;
  const int exit = runProgram(
      FrmMainServices{s.clock, s.messages, s.dialog, s.settings, s.help, s.sysInfo, QString()},
      acquisition, termination, [&](FrmMain& form) {
        QObject::connect(&form.pollingLoop(), &PollingLoop::slotPolled, &form, [&] {
          if (boxesAtFirstQuery >= 0) return;
          boxesAtFirstQuery = static_cast<int>(s.messages.texts.size());
          status = form.frame().sbStatusBar_Panel1->text();
          tip = form.frame().sbStatusBar_Panel1->toolTip();
          form.endProgram();
        });
      });
  EXPECT_EQ(exit, 0);
  EXPECT_EQ(boxesAtFirstQuery, 0);
  EXPECT_TRUE(s.messages.texts.isEmpty()) << s.messages.texts.join(u'\n').toStdString();
  EXPECT_TRUE(
      status.startsWith(QStringLiteral("Metrics not served: site.toml:3: cannot listen on %1: ")
                            .arg(site.metrics->text)))
      << status.toStdString();
  EXPECT_TRUE(tip.contains(QStringLiteral("polls and logs without them"))) << tip.toStdString();
}

}  // namespace
}  // namespace bw
