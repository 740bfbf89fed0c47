#pragma once

#include <QStringList>

#include "platform/registry/MemoryRegistry.h"

namespace bw {

// The registry this machine can offer: only the entry naming the system
// information program, filled in when one of a short list of such programs
// is on the search path. Without one it holds nothing, so every lookup fails.
class HostRegistry final : public Registry {
 public:
  // The program names tried, in order.
  static const QStringList& programNames();

  // `searchPaths` empty searches PATH.
  explicit HostRegistry(const QStringList& searchPaths = {});

  RegStatus openKey(RegKey root, const char* subKey, RegDword options, RegDword access,
                    RegKey* result) override;
  RegStatus queryValue(RegKey key, const char* name, RegDword* reserved, RegDword* type,
                       std::uint8_t* data, RegDword* size) override;
  RegStatus closeKey(RegKey key) override;

 private:
  MemoryRegistry entries_;
};

}  // namespace bw
