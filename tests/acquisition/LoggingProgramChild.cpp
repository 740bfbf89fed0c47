// The program as its start routine runs it, with the system's services but
// for two: the common dialog answers argv[2], so logging starts without a
// person, and the steady clock's time passes at once, so a cycle does not
// take 750 ms per sensor. Polls the adapter at argv[1] and prints "record N" once record
// N is on the disk; the termination test ends it with SIGTERM, or with
// argv[3] "quit" it asks the application to quit after the third record.
#include <QApplication>
#include <QLineEdit>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Fakes.h"
#include "acquisition/ui/FrmMain.h"
#include "app/Module1.h"
#include "platform/web/CurlHttpClient.h"

namespace {

// Starts logging at the first step of polling (the load event closes any log
// first), reports each record and the end, and quits after the third record
// when asked to.
void drive(bw::FrmMain& form, bool quitAfterThree) {
  auto started = std::make_shared<bool>(false);
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::slotPolled, &form, [&form, started] {
    if (*started) return;
    *started = true;
    form.btnFileWrite_Click();
  });
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::recordLogged, &form,
                   [&form, quitAfterThree] {
                     std::printf("record %s\n", qPrintable(form.txtRecNum->text()));
                     std::fflush(stdout);
                     if (quitAfterThree && form.txtRecNum->text() == QLatin1String("3"))
                       QCoreApplication::quit();
                   });
  // Once the program has ended, while its window still exists.
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &form, [&form] {
    std::printf("ended %s\n", form.logFile().isOpen() ? "open" : "closed");
    std::fflush(stdout);
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3 && argc != 4) return 2;
  const bool quitAfterThree = argc == 4 && std::strcmp(argv[3], "quit") == 0;
  bw::SystemServices system;
  bw::test::ScriptedDialog dialog;
  dialog.answers = {QString::fromLocal8Bit(argv[2])};
  bw::test::InstantSteadyClock pace;
  bw::FrmMainServices services = system.mainWindow();
  services.dialog = dialog;
  bw::Acquisition acquisition(bw::builtInSite(QString::fromLocal8Bit(argv[1])),
                              std::make_unique<bw::CurlHttpClient>(), services.clock, pace,
                              bw::noDisplay());
  return bw::runProgram(std::move(services), acquisition, system.termination(),
                        [quitAfterThree](bw::FrmMain& form) { drive(form, quitAfterThree); });
}
