#include "app/Module1.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <memory>

#include "BrinewatchConfig.h"
#include "about/ProgramStarter.h"
#include "about/SysInfoLauncher.h"
#include "acquisition/ui/FrmMain.h"
#include "frame/ui/MainFrame.h"
#include "metrics/MetricsEndpoint.h"
#include "platform/Clock.h"
#include "platform/SteadyClock.h"
#include "platform/TerminationNotifier.h"
#include "platform/desktop/DesktopHelpViewer.h"
#include "platform/desktop/QtSettingsStore.h"
#include "platform/registry/SystemRegistry.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/web/CurlHttpClient.h"
#include "site/LoadSite.h"

namespace bw {

struct SystemServices::Parts {
  SystemClock clock;
  SystemSteadyClock pace;
  QtMessageBox messageBox;
  QtCommonDialog commonDialog;
  QtSettingsStore settings;
  DesktopHelpViewer helpViewer;
  const std::unique_ptr<Registry> registry = makeSystemRegistry();
  DetachedProgramStarter programStarter;
  SysInfoLauncher sysInfo{*registry, programStarter, messageBox};
  TerminationNotifier termination;
};

SystemServices::SystemServices() : parts_(std::make_unique<Parts>()) {
  // From the start of the program to its end, the system's requests close
  // whatever box is up: a box before polling (a site file that cannot be
  // used) ends the program with it, and once the main window hears them it
  // runs its end as well.
  TerminationNotifier& termination = parts_->termination;
  QObject::connect(&termination, &TerminationNotifier::terminationRequested, &termination,
                   [] { closeModalWindows(); });
  QObject::connect(&termination, &TerminationNotifier::quitRequested, &termination,
                   [] { closeModalWindows(); });
}

SystemServices::~SystemServices() = default;

FrmMainServices SystemServices::mainWindow() {
  Parts& p = *parts_;
  return FrmMainServices{p.clock,
                         p.messageBox,
                         p.commonDialog,
                         p.settings,
                         p.helpViewer,
                         p.sysInfo,
                         QString::fromUtf8(config::kHelpFile)};
}

SteadyClock& SystemServices::pace() {
  return parts_->pace;
}

MessageBox& SystemServices::messages() {
  return parts_->messageBox;
}

TerminationNotifier& SystemServices::termination() {
  return parts_->termination;
}

std::optional<Site> chooseSite(const SiteLookup& lookup, MessageBox& messages) {
  LoadedSite loaded = loadSite(lookup);
  if (loaded.file.isEmpty()) return builtInSite(QString::fromLatin1(config::kAdapterHost));
  if (loaded.site) return std::move(loaded.site);
  // Polling the wrong sensors would log wrong data under the right names.
  messages.show(nullptr,
                QStringLiteral("The site file cannot be used, so nothing is polled:\n\n%1")
                    .arg(loaded.errors.join(u'\n')),
                MessageStyle::Ok);
  return std::nullopt;
}

int runProgram(FrmMainServices services, Acquisition& acquisition, TerminationNotifier& termination,
               const std::function<void(FrmMain&)>& prepare) {
  const Clock& clock = services.clock;
  const Site& site = acquisition.site();
  // The one program-wide reference to the main window, for the program's life.
  FrmMain frmMain(acquisition, std::move(services));
  endOnSystemRequests(frmMain, termination);
  // Metrics only when the site asks for them.
  std::unique_ptr<MetricsEndpoint> metrics;
  if (site.metrics) {
    metrics = std::make_unique<MetricsEndpoint>(site, QStringLiteral("brinewatch"), clock,
                                                acquisition.log(), acquisition.loop());
    // Polling and logging go on without them: said in the status bar, as a
    // box would hold the first query until someone answered it.
    if (const auto reason = metrics->listen(*site.metrics)) {
      const QString why = siteError(site, site.lines.metrics, *reason);
      QLabel* status = frmMain.frame().sbStatusBar_Panel1;
      status->setText(QStringLiteral("Metrics not served: %1").arg(why));
      status->setToolTip(
          QStringLiteral("The metrics of the site file cannot be served: %1. Brinewatch polls "
                         "and logs without them.")
              .arg(why));
    }
  }
  if (prepare) prepare(frmMain);
  return runUntilEnded(frmMain);
}

int Module1(const QString& siteFile) {
  SystemServices system;
  std::optional<Site> site = chooseSite(SiteLookup::fromEnvironment(siteFile), system.messages());
  if (!site) return kSiteUnusable;
  FrmMainServices services = system.mainWindow();
  Acquisition acquisition(std::move(*site), std::make_unique<CurlHttpClient>(), services.clock,
                          system.pace(), noDisplay());
  return runProgram(std::move(services), acquisition, system.termination());
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
  // Nothing the system asks for waits on a box: what its end has to say goes
  // to standard error.
  QObject::connect(&termination, &TerminationNotifier::terminationRequested, &form,
                   [&form] { form.endOnRequest(); });
  // A quit would make every nested wait of the polling loop return at once:
  // the end sequence runs first, then Qt goes on to quit.
  QObject::connect(&termination, &TerminationNotifier::quitRequested, &form,
                   &FrmMain::endOnRequest);
  // Asked when the desktop saves the session and when a logout may still be
  // cancelled; the real end of a session quits.
  QObject::connect(&termination, &TerminationNotifier::sessionSaveRequested, &form,
                   [&form] { form.frame().savePlacement(MainFrame::Report::StandardError); });
}

}  // namespace bw
