#pragma once

#include "platform/registry/Registry.h"

namespace bw {

// The system registry through its 8-bit (ANSI) calls. Windows builds only.
class WindowsRegistry final : public Registry {
 public:
  RegStatus openKey(RegKey root, const char* subKey, RegDword options, RegDword access,
                    RegKey* result) override;
  RegStatus queryValue(RegKey key, const char* name, RegDword* reserved, RegDword* type,
                       std::uint8_t* data, RegDword* size) override;
  RegStatus closeKey(RegKey key) override;
};

}  // namespace bw
