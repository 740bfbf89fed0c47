#pragma once

#include <QString>

#include "about/ProgramStarter.h"
#include "platform/MessageBox.h"
#include "platform/registry/Registry.h"
#include "platform/registry/SysInfoEntry.h"

class QWidget;

namespace bw {

// The message shown whenever the system information program cannot be found
// or started.
inline constexpr char kSysInfoUnavailable[] = "System Information Is Unavailable At This Time";

// Finds the system information program through the registry and starts it.
// Uses only the interfaces it is given, so it runs without a window.
class SysInfoLauncher {
 public:
  // The rights the lookup asks for when it opens a key: READ_CONTROL and the
  // query, set, create, enumerate, notify and link rights.
  static constexpr RegDword kLookupAccess = kReadControl | kKeyQueryValue | kKeySetValue |
                                            kKeyCreateSubKey | kKeyEnumerateSubKeys | kKeyNotify |
                                            kKeyCreateLink;
  static_assert(kLookupAccess == 0x2003F);
  // Bytes read of a value; larger values are not read at all.
  static constexpr RegDword kValueBufferSize = 1024;

  SysInfoLauncher(Registry& registry, ProgramStarter& starter, MessageBox& messages);

  // Reads value `subKeyRef` of key `keyName` below `root` into `keyVal`. False,
  // with `keyVal` empty, when the key cannot be opened with kLookupAccess, the
  // value is missing or larger than kValueBufferSize, or fills the buffer with
  // no zero byte. Otherwise true: REG_SZ gives the text before the first zero
  // byte; REG_DWORD appends to `keyVal` the hex digits of the characters before
  // the first zero byte, last first, and gives that after "&h" through
  // formatGeneral (1 gives "1", 0x100 gives "&h"); other types leave `keyVal`
  // as it was.
  bool getKeyValue(RegKey root, const QString& keyName, const QString& subKeyRef, QString& keyVal);

  // Starts the system information program without waiting for it, or tells
  // the user it is unavailable, in a box owned by `owner`.
  void startSysInfo(QWidget* owner);

 private:
  bool readValue(RegKey key, const QString& subKeyRef, QString& keyVal);
  void reportUnavailable(QWidget* owner);

  Registry& registry_;
  ProgramStarter& starter_;
  MessageBox& messages_;
};

}  // namespace bw
