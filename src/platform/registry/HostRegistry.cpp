#include "platform/registry/HostRegistry.h"

#include <QStandardPaths>

namespace bw {

namespace {

constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kSysInfoValue[] = "PATH";

}  // namespace

const QStringList& HostRegistry::programNames() {
  static const QStringList names = {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                    QStringLiteral("kinfocenter")};
  return names;
}

HostRegistry::HostRegistry(const QStringList& searchPaths) {
  for (const QString& name : programNames()) {
    const QString path = QStandardPaths::findExecutable(name, searchPaths);
    // Registry texts are 8-bit; a path the code page cannot spell is no use.
    const QByteArray bytes = path.toLatin1();
    if (path.isEmpty() || QString::fromLatin1(bytes) != path) continue;
    entries_.setValue(kHkeyLocalMachine, QString::fromLatin1(kSysInfoKey),
                      QString::fromLatin1(kSysInfoValue), kRegSz, bytes + '\0');
    return;
  }
}

RegStatus HostRegistry::openKey(RegKey root, const char* subKey, RegDword options, RegDword access,
                                RegKey* result) {
  return entries_.openKey(root, subKey, options, access, result);
}

RegStatus HostRegistry::queryValue(RegKey key, const char* name, RegDword* reserved, RegDword* type,
                                   std::uint8_t* data, RegDword* size) {
  return entries_.queryValue(key, name, reserved, type, data, size);
}

RegStatus HostRegistry::closeKey(RegKey key) {
  return entries_.closeKey(key);
}

}  // namespace bw
