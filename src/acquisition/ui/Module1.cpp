#include "acquisition/ui/Module1.h"

#include <QApplication>
#include <QTimer>
#include <memory>

#include "BrinewatchConfig.h"
#include "about/ProgramStarter.h"
#include "about/SysInfoLauncher.h"
#include "acquisition/ui/FrmMain.h"
#include "frame/ui/MainFrame.h"
#include "platform/Clock.h"
#include "platform/ProcessSignals.h"
#include "platform/TerminationNotifier.h"
#include "platform/SteadyClock.h"
#include "platform/desktop/DesktopHelpViewer.h"
#include "platform/desktop/QtSettingsStore.h"
#include "platform/registry/SystemRegistry.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/web/CurlHttpClient.h"

namespace bw {

namespace {
// The program-wide reference to the main window; nothing else holds one.
std::unique_ptr<FrmMain> frmMain;
}  // namespace

int Module1() {
  ignoreBrokenPipes();
  SystemClock clock;
  SystemSteadyClock pace;
  QtMessageBox messageBox;
  QtCommonDialog commonDialog;
  QtSettingsStore settings;
  DesktopHelpViewer helpViewer;
  const std::unique_ptr<Registry> registry = makeSystemRegistry();
  DetachedProgramStarter programStarter;
  SysInfoLauncher sysInfo(*registry, programStarter, messageBox);
  TerminationNotifier termination;

  frmMain = std::make_unique<FrmMain>(
      FrmMainServices{std::make_unique<CurlHttpClient>(), QString::fromLatin1(config::kAdapterHost),
                      clock, pace, messageBox, commonDialog, settings, helpViewer, sysInfo,
                      QString::fromUtf8(config::kHelpFile)});
  endOnSystemRequests(*frmMain, termination);
  const int status = runUntilEnded(*frmMain);
  frmMain.reset();
  return status;
}

int runUntilEnded(FrmMain& form) {
  QApplication::setQuitOnLastWindowClosed(false);
  QTimer::singleShot(0, &form, [&form] {
    form.Form_Load();
    QCoreApplication::exit(0);
  });
  return QApplication::exec();
}

void endOnSystemRequests(FrmMain& form, TerminationNotifier& termination) {
  QObject::connect(&termination, &TerminationNotifier::terminationRequested, &form,
                   [&form] { form.endProgram(); });
  // A quit would make every nested wait of the polling loop return at once:
  // the end sequence runs first, then Qt goes on to quit.
  QObject::connect(&termination, &TerminationNotifier::quitRequested, &form, &FrmMain::endProgram);
  // Asked when the desktop saves the session and when a logout may still be
  // cancelled; the real end of a session quits.
  QObject::connect(&termination, &TerminationNotifier::sessionSaveRequested, &form,
                   [&form] { form.frame().savePlacement(); });
}

}  // namespace bw
