// The registry contract against the in-memory stand-in.

#include <QString>

#include "RegistryContract.h"
#include "platform/registry/MemoryRegistry.h"

namespace bw::contract {

Registry& registryUnderTest() {
  static MemoryRegistry registry;
  static const bool filled = [] {
    for (const Value& value : values())
      registry.setValue(kHkeyLocalMachine, QString::fromLatin1(kKey),
                        QString::fromLatin1(value.name), value.type,
                        QByteArray(value.bytes.data(), static_cast<qsizetype>(value.bytes.size())));
    return true;
  }();
  Q_UNUSED(filled);
  return registry;
}

}  // namespace bw::contract
