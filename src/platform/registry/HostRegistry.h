#pragma once

#include <QStringList>

#include "platform/registry/MemoryRegistry.h"

namespace bw {

// The program names tried for the system information entry, in order.
const QStringList& hostSysInfoPrograms();

// The registry this machine can offer where the system has none: only the
// entry naming the system information program, filled in when one of
// hostSysInfoPrograms() is on the search path (`searchPaths`, or PATH when
// empty). Without one it holds nothing, so every lookup fails.
MemoryRegistry hostRegistry(const QStringList& searchPaths = {});

}  // namespace bw
