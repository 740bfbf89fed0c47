// The program's main window with its real services but for the common
// dialog, which answers argv[2], so logging starts without a person, and the
// steady clock, whose time passes at once, so a cycle does not take 750 ms
// per sensor. Polls the adapter at argv[1] and prints "record N" once record
// N is on the disk; the termination test ends it with SIGTERM, or with
// argv[3] "quit" it asks the application to quit after the third record.
#include <QApplication>
#include <QLineEdit>
#include <cstdio>
#include <cstring>

#include "Fakes.h"
#include "about/SysInfoLauncher.h"
#include "acquisition/ui/FrmMain.h"
#include "acquisition/ui/Module1.h"
#include "platform/TerminationNotifier.h"
#include "platform/desktop/DesktopHelpViewer.h"
#include "platform/desktop/QtSettingsStore.h"
#include "platform/registry/MemoryRegistry.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/web/CurlHttpClient.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3 && argc != 4) return 2;
  const bool quitAfterThree = argc == 4 && std::strcmp(argv[3], "quit") == 0;
  bw::SystemClock clock;
  bw::test::InstantSteadyClock pace;
  bw::QtMessageBox messageBox;
  bw::test::ScriptedDialog dialog;
  dialog.answers = {QString::fromLocal8Bit(argv[2])};
  bw::QtSettingsStore settings;
  bw::DesktopHelpViewer helpViewer;
  bw::MemoryRegistry registry;
  bw::DetachedProgramStarter starter;
  bw::SysInfoLauncher sysInfo(registry, starter, messageBox);
  bw::TerminationNotifier termination;
  bw::FrmMain form(bw::FrmMainServices{std::make_unique<bw::CurlHttpClient>(),
                                       QString::fromLocal8Bit(argv[1]), clock, pace, messageBox,
                                       dialog, settings, helpViewer, sysInfo, QString()});
  bw::endOnSystemRequests(form, termination);
  // Logging starts at the first step of polling: the load event closes any
  // log first.
  bool started = false;
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::slotPolled, &form, [&] {
    if (started) return;
    started = true;
    form.btnFileWrite_Click();
  });
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::cycleEnded, &form,
                   [&form, quitAfterThree] {
                     std::printf("record %s\n", qPrintable(form.txtRecNum->text()));
                     std::fflush(stdout);
                     if (quitAfterThree && form.txtRecNum->text() == QLatin1String("3"))
                       QCoreApplication::quit();
                   });
  bw::runUntilEnded(form);
  std::printf("ended %s\n", form.logFile().isOpen() ? "open" : "closed");
  std::fflush(stdout);
  return 0;
}
