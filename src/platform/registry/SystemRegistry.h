#pragma once

#include <memory>

#include "platform/registry/Registry.h"

namespace bw {

// The registry of the machine the program runs on: the system registry on
// Windows, the host registry elsewhere.
std::unique_ptr<Registry> makeSystemRegistry();

}  // namespace bw
