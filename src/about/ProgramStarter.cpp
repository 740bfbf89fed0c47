#include "about/ProgramStarter.h"

#include <QProcess>

#include "platform/StartEnvironment.h"

namespace bw {

bool DetachedProgramStarter::start(const QString& commandLine) {
  // Not split at blanks: a path with spaces still names one program. It
  // gets the environment the program was started with, without the
  // program's own settings for its page view.
  if (commandLine.isEmpty()) return false;
  QProcess process;
  process.setProgram(commandLine);
  process.setProcessEnvironment(startEnvironment());
  return process.startDetached();
}

}  // namespace bw
