#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <map>

#include "platform/registry/Registry.h"

namespace bw {

// A read-only registry held in memory, filled by its owner: keys below a root
// with the access rights each grants, and values with their type and raw bytes.
// Key paths and value names match without regard to case, as in the system's
// registry; every parent of a key that was added exists too. Reads follow the
// system's rules, checked against it by the registry contract tests.
class MemoryRegistry final : public Registry {
 public:
  // Adds the key, or changes the rights of a key already there.
  void addKey(RegKey root, const QString& path, RegDword maxAccess = kKeyAllAccess);
  // Adds the key when missing and sets one value; an empty name is the
  // default value. The bytes are stored as given (no terminator is added).
  void setValue(RegKey root, const QString& path, const QString& name, RegDword type,
                const QByteArray& data);

  // Handles opened and not yet closed.
  int openHandleCount() const { return static_cast<int>(handles_.size()); }

  RegStatus openKey(RegKey root, const char* subKey, RegDword options, RegDword access,
                    RegKey* result) override;
  RegStatus queryValue(RegKey key, const char* name, RegDword* reserved, RegDword* type,
                       std::uint8_t* data, RegDword* size) override;
  RegStatus closeKey(RegKey key) override;

 private:
  struct Value {
    RegDword type = kRegNone;
    QByteArray data;
  };
  struct Key {
    RegDword maxAccess = kKeyAllAccess;
    QHash<QString, Value> values;  // by upper-case name
  };
  struct OpenKey {
    QString path;  // upper-case path with the root in front
    RegDword access = 0;
  };

  static bool isRoot(RegKey key);
  static QString fullPath(RegKey root, const QString& path);
  Key& keyAt(RegKey root, const QString& path);

  QHash<QString, Key> keys_;  // by upper-case full path
  std::map<RegKey, OpenKey> handles_;
  RegKey nextHandle_ = 0x100;
};

}  // namespace bw
