#include "platform/registry/WindowsRegistry.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace bw {

namespace {

static_assert(sizeof(RegKey) == sizeof(HKEY), "a key handle must fit the system's handle");
static_assert(sizeof(RegDword) == sizeof(DWORD) && sizeof(RegStatus) == sizeof(LONG));

HKEY toHkey(RegKey key) {
  return reinterpret_cast<HKEY>(key);
}

// DWORD is a different type from RegDword on this compiler; copy through one.
class DwordSlot {
 public:
  explicit DwordSlot(RegDword* outer) : outer_(outer), value_(outer ? *outer : 0) {}
  ~DwordSlot() {
    if (outer_) *outer_ = static_cast<RegDword>(value_);
  }
  DWORD* get() { return outer_ ? &value_ : nullptr; }

 private:
  RegDword* outer_;
  DWORD value_;
};

}  // namespace

RegStatus WindowsRegistry::openKey(RegKey root, const char* subKey, RegDword options,
                                   RegDword access, RegKey* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(toHkey(root), subKey, options, access, &opened);
  *result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(opened) : 0;
  return status;
}

RegStatus WindowsRegistry::queryValue(RegKey key, const char* name, RegDword* reserved,
                                      RegDword* type, std::uint8_t* data, RegDword* size) {
  DwordSlot reservedSlot(reserved), typeSlot(type), sizeSlot(size);
  return RegQueryValueExA(toHkey(key), name, reservedSlot.get(), typeSlot.get(), data,
                          sizeSlot.get());
}

RegStatus WindowsRegistry::closeKey(RegKey key) {
  return RegCloseKey(toHkey(key));
}

}  // namespace bw
