#include "about/ProgramStarter.h"

#include <QProcess>

namespace bw {

bool DetachedProgramStarter::start(const QString& commandLine) {
  // Not split at blanks: a path with spaces still names one program.
  return QProcess::startDetached(commandLine, {});
}

}  // namespace bw
