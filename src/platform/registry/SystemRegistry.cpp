#include "platform/registry/SystemRegistry.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "platform/registry/WindowsRegistry.h"
#else
#include "platform/registry/HostRegistry.h"
#endif

namespace bw {

std::unique_ptr<Registry> makeSystemRegistry() {
#ifdef Q_OS_WIN
  return std::make_unique<WindowsRegistry>();
#else
  return std::make_unique<MemoryRegistry>(hostRegistry());
#endif
}

}  // namespace bw
