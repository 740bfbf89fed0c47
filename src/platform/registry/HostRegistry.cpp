#include "platform/registry/HostRegistry.h"

#include <QStandardPaths>

#include "platform/registry/SysInfoEntry.h"

namespace bw {

const QStringList& hostSysInfoPrograms() {
  static const QStringList names = {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                    QStringLiteral("kinfocenter")};
  return names;
}

MemoryRegistry hostRegistry(const QStringList& searchPaths) {
  MemoryRegistry registry;
  for (const QString& name : hostSysInfoPrograms()) {
    const QString path = QStandardPaths::findExecutable(name, searchPaths);
    // Registry texts are 8-bit; a path the code page cannot spell is no use.
    const QByteArray bytes = path.toLatin1();
    if (path.isEmpty() || QString::fromLatin1(bytes) != path) continue;
    registry.setValue(kHkeyLocalMachine, QString::fromLatin1(kSysInfoKey),
                      QString::fromLatin1(kSysInfoValue), kRegSz, bytes + '\0');
    break;
  }
  return registry;
}

}  // namespace bw
