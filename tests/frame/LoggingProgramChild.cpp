// The program's main window with its real services but for the common
// dialog, which answers argv[2], so logging starts without a person. Polls
// the adapter at argv[1] and prints "record N" once record N is on the disk;
// the termination test ends it with SIGTERM, or with argv[3] "quit" it asks
// the application to quit after the third record.
#include <QApplication>
#include <QLineEdit>
#include <cstdio>
#include <cstring>

#include "RealWindow.h"
#include "acquisition/ui/Module1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3 && argc != 4) return 2;
  const bool quitAfterThree = argc == 4 && std::strcmp(argv[3], "quit") == 0;
  bw::QtMessageBox messageBox;
  bw::test::RealWindow w(QString::fromLocal8Bit(argv[1]), &messageBox);
  w.startLogging(QString::fromLocal8Bit(argv[2]));
  QObject::connect(&w.form->pollingLoop(), &bw::PollingLoop::cycleEnded, w.form.get(),
                   [&w, quitAfterThree] {
                     std::printf("record %s\n", qPrintable(w.form->txtRecNum->text()));
                     std::fflush(stdout);
                     if (quitAfterThree && w.form->txtRecNum->text() == QLatin1String("3"))
                       QCoreApplication::quit();
                   });
  bw::runUntilEnded(*w.form);
  std::printf("ended %s\n", w.form->logFile().isOpen() ? "open" : "closed");
  std::fflush(stdout);
  return 0;
}
