#include "acquisition/ui/Module1.h"

#include <QApplication>
#include <QTimer>
#include <memory>

#include "BrinewatchConfig.h"
#include "acquisition/ui/FrmMain.h"
#include "platform/Clock.h"
#include "platform/ProcessSignals.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/web/CurlHttpClient.h"

namespace bw {

namespace {
// The program-wide reference to the main window; nothing else holds one.
std::unique_ptr<FrmMain> frmMain;
}  // namespace

int Module1() {
  ignoreBrokenPipes();
  SystemClock clock;
  QtMessageBox messageBox;
  QtCommonDialog commonDialog;
  FrmMainServices services;
  services.http = std::make_unique<CurlHttpClient>();
  services.adapterHost = QString::fromLatin1(config::kAdapterHost);
  services.clock = &clock;
  services.messageBox = &messageBox;
  services.commonDialog = &commonDialog;
  frmMain = std::make_unique<FrmMain>(std::move(services));
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

}  // namespace bw
