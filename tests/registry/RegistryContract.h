#pragma once

// The registry behaviour the program relies on, as one suite run against each
// registry. Qt-free, so that it also builds for Windows without Qt.

#include <string_view>
#include <vector>

#include "platform/registry/Registry.h"

namespace bw::contract {

// The key every value of the suite sits in, below HKEY_LOCAL_MACHINE.
inline constexpr char kParentKey[] = "SOFTWARE\\BrinewatchContract";
inline constexpr char kKey[] = "SOFTWARE\\BrinewatchContract\\Tank";

struct Value {
  const char* name;  // empty: the key's default value
  RegDword type;
  std::string_view bytes;  // as stored, terminator included where there is one
};

// The values each run stores in kKey before the suite runs.
const std::vector<Value>& values();

// The registry under test, with values() in place. Each run provides it.
Registry& registryUnderTest();

}  // namespace bw::contract
