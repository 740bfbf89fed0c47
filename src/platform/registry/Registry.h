#pragma once

#include <cstdint>

namespace bw {

// The system registry's own types: key handles are pointer-sized, status codes
// are signed 32-bit, sizes, types and access masks unsigned 32-bit.
using RegKey = std::intptr_t;
using RegStatus = std::int32_t;
using RegDword = std::uint32_t;

// Root key: 0x80000002 as the system writes it, a signed 32-bit value widened to
// handle size, so the value equals the system's own handle in every build.
inline constexpr RegKey kHkeyLocalMachine = -0x7FFFFFFE;

inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorAccessDenied = 5;
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorInvalidParameter = 87;
inline constexpr RegStatus kErrorMoreData = 234;

// Value types. Data of a type is passed on as stored; REG_DWORD data is 4 bytes
// little-endian.
inline constexpr RegDword kRegNone = 0;
inline constexpr RegDword kRegSz = 1;
inline constexpr RegDword kRegExpandSz = 2;
inline constexpr RegDword kRegBinary = 3;
inline constexpr RegDword kRegDword = 4;

// Access rights asked for when a key is opened.
inline constexpr RegDword kKeyQueryValue = 0x0001;
inline constexpr RegDword kKeySetValue = 0x0002;
inline constexpr RegDword kKeyCreateSubKey = 0x0004;
inline constexpr RegDword kKeyEnumerateSubKeys = 0x0008;
inline constexpr RegDword kKeyNotify = 0x0010;
inline constexpr RegDword kKeyCreateLink = 0x0020;
inline constexpr RegDword kReadControl = 0x00020000;
inline constexpr RegDword kKeyRead = 0x00020019;
inline constexpr RegDword kKeyAllAccess = 0x000F003F;

// The three registry calls the program makes, with the system's 8-bit (ANSI)
// names, status codes and buffer rules: 0 is success; a buffer too small for
// the data gives kErrorMoreData and the needed size in *size; a missing key or
// value gives kErrorFileNotFound; rights the key refuses give
// kErrorAccessDenied.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual RegStatus openKey(RegKey root, const char* subKey, RegDword options, RegDword access,
                            RegKey* result) = 0;
  // `name` null or empty reads the key's default value. `type`, `data` and
  // `size` may be null as the system allows; `size` is the buffer size in and
  // the data size out.
  virtual RegStatus queryValue(RegKey key, const char* name, RegDword* reserved, RegDword* type,
                               std::uint8_t* data, RegDword* size) = 0;
  virtual RegStatus closeKey(RegKey key) = 0;
};

}  // namespace bw
