#include "platform/registry/MemoryRegistry.h"

#include <cstring>

namespace bw {

namespace {

// The system's predefined root keys: 0x80000000 to 0x80000006 read as signed.
constexpr RegKey kFirstRoot = -0x7FFFFFFF - 1;
constexpr RegKey kLastRoot = -0x7FFFFFFA;

constexpr QChar kSeparator = u'\\';

QString nameText(const char* name) {
  return name ? QString::fromLatin1(name).toUpper() : QString();
}

}  // namespace

bool MemoryRegistry::isRoot(RegKey key) {
  return key >= kFirstRoot && key <= kLastRoot;
}

QString MemoryRegistry::fullPath(RegKey root, const QString& path) {
  QString full = QString::number(static_cast<qint64>(root));
  if (!path.isEmpty()) full += kSeparator + path.toUpper();
  return full;
}

MemoryRegistry::Key& MemoryRegistry::keyAt(RegKey root, const QString& path) {
  const QString full = fullPath(root, path);
  // Parents exist with every key, as in the system's registry.
  for (qsizetype at = full.indexOf(kSeparator); at >= 0; at = full.indexOf(kSeparator, at + 1))
    if (!keys_.contains(full.left(at))) keys_.insert(full.left(at), Key{});
  return keys_[full];
}

void MemoryRegistry::addKey(RegKey root, const QString& path, RegDword maxAccess) {
  keyAt(root, path).maxAccess = maxAccess;
}

void MemoryRegistry::setValue(RegKey root, const QString& path, const QString& name, RegDword type,
                              const QByteArray& data) {
  keyAt(root, path).values.insert(name.toUpper(), Value{type, data});
}

RegStatus MemoryRegistry::openKey(RegKey root, const char* subKey, RegDword options,
                                  RegDword access, RegKey* result) {
  if (!result || options != 0) return kErrorInvalidParameter;
  *result = 0;
  QString base;
  if (isRoot(root)) {
    base = fullPath(root, {});
  } else if (const auto open = handles_.find(root); open != handles_.end()) {
    base = open->second.path;
  } else {
    return kErrorInvalidHandle;
  }
  const QString sub = nameText(subKey);
  const QString path = sub.isEmpty() ? base : base + kSeparator + sub;
  const auto key = keys_.constFind(path);
  if (key == keys_.constEnd()) return kErrorFileNotFound;
  if ((access & ~key->maxAccess) != 0) return kErrorAccessDenied;
  *result = nextHandle_++;
  handles_.emplace(*result, OpenKey{path, access});
  return kErrorSuccess;
}

RegStatus MemoryRegistry::queryValue(RegKey key, const char* name, RegDword* reserved,
                                     RegDword* type, std::uint8_t* data, RegDword* size) {
  const auto open = handles_.find(key);
  if (open == handles_.end()) return kErrorInvalidHandle;
  if (reserved || (data && !size)) return kErrorInvalidParameter;
  if ((open->second.access & kKeyQueryValue) == 0) return kErrorAccessDenied;
  const Key& owner = *keys_.constFind(open->second.path);
  const auto value = owner.values.constFind(nameText(name));
  if (value == owner.values.constEnd()) return kErrorFileNotFound;

  if (type) *type = value->type;
  if (!size) return kErrorSuccess;
  const auto needed = static_cast<RegDword>(value->data.size());
  const RegDword room = *size;
  *size = needed;
  if (!data) return kErrorSuccess;
  if (needed > room) return kErrorMoreData;
  std::memcpy(data, value->data.constData(), needed);
  // The system's registry ends a text stored without its zero where the
  // buffer has room, and leaves the size as stored.
  const bool text = value->type == kRegSz || value->type == kRegExpandSz;
  if (text && needed > 0 && needed < room && data[needed - 1] != 0) data[needed] = 0;
  return kErrorSuccess;
}

RegStatus MemoryRegistry::closeKey(RegKey key) {
  if (isRoot(key)) return kErrorSuccess;
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace bw
