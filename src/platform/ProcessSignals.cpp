#include "platform/ProcessSignals.h"

#include <csignal>

namespace bw {

void ignoreBrokenPipes() {
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace bw
