#include "about/SysInfoLauncher.h"

#include <algorithm>
#include <array>

#include "about/FormatGeneral.h"
#include "about/PlainFile.h"

namespace bw {

namespace {

// Registry texts are in the system's 8-bit code page: the ANSI code page on
// Windows, Latin-1 elsewhere.
QByteArray toCodePage(const QString& text) {
#ifdef Q_OS_WIN
  return text.toLocal8Bit();
#else
  return text.toLatin1();
#endif
}

QString fromCodePage(const std::uint8_t* bytes, qsizetype length) {
  const auto* chars = reinterpret_cast<const char*>(bytes);
#ifdef Q_OS_WIN
  return QString::fromLocal8Bit(chars, length);
#else
  return QString::fromLatin1(chars, length);
#endif
}

// A character's code in the code page; a double-byte character gives both
// bytes, lead byte high.
uint codePageCode(QChar c) {
  uint code = 0;
  for (const char byte : toCodePage(QString(c))) code = code << 8 | static_cast<std::uint8_t>(byte);
  return code;
}

}  // namespace

SysInfoLauncher::SysInfoLauncher(Registry& registry, ProgramStarter& starter, MessageBox& messages)
    : registry_(registry), starter_(starter), messages_(messages) {}

bool SysInfoLauncher::getKeyValue(RegKey root, const QString& keyName, const QString& subKeyRef,
                                  QString& keyVal) {
  RegKey key = 0;
  if (registry_.openKey(root, toCodePage(keyName).constData(), 0, kLookupAccess, &key) !=
      kErrorSuccess) {
    keyVal.clear();
    return false;
  }
  const bool found = readValue(key, subKeyRef, keyVal);
  registry_.closeKey(key);
  return found;
}

bool SysInfoLauncher::readValue(RegKey key, const QString& subKeyRef, QString& keyVal) {
  std::array<std::uint8_t, kValueBufferSize> buffer{};
  RegDword size = kValueBufferSize;
  RegDword type = kRegNone;
  if (registry_.queryValue(key, toCodePage(subKeyRef).constData(), nullptr, &type, buffer.data(),
                           &size) != kErrorSuccess) {
    keyVal.clear();
    return false;
  }
  // Data filling the whole buffer has no end; it is refused rather than read
  // past. The code pages have no zero trail bytes, so cutting at the first
  // zero byte before converting keeps the same text.
  const auto end = std::find(buffer.begin(), buffer.end(), std::uint8_t{0});
  if (end == buffer.end()) {
    keyVal.clear();
    return false;
  }
  const QString text = fromCodePage(buffer.data(), end - buffer.begin());

  if (type == kRegSz) {
    keyVal = text;
  } else if (type == kRegDword) {
    // The bytes before the first zero byte, highest first, each without
    // leading zeros: DWORD 0x100 yields no digits at all. The digits follow
    // whatever keyVal held; the callers pass it empty.
    for (qsizetype i = text.size() - 1; i >= 0; --i)
      keyVal += QString::number(codePageCode(text.at(i)), 16).toUpper();
    keyVal = formatGeneral(QStringLiteral("&h") + keyVal);
  }
  return true;
}

void SysInfoLauncher::startSysInfo(QWidget* owner) {
  QString path;
  if (!getKeyValue(kHkeyLocalMachine, QString::fromLatin1(kSysInfoKey),
                   QString::fromLatin1(kSysInfoValue), path)) {
    if (!getKeyValue(kHkeyLocalMachine, QString::fromLatin1(kSysInfoLocationKey),
                     QString::fromLatin1(kSysInfoLocationValue), path)) {
      reportUnavailable(owner);
      return;
    }
    // On Windows the backslash joins folder and file; elsewhere it is part
    // of the file name, as the registry entry has it.
    const QString candidate = path + QLatin1String(kSysInfoProgram);
    if (!isPlainFile(candidate)) {
      reportUnavailable(owner);
      return;
    }
    path = candidate;
  }
  if (!starter_.start(path)) reportUnavailable(owner);
}

void SysInfoLauncher::reportUnavailable(QWidget* owner) {
  messages_.show(owner, QString::fromLatin1(kSysInfoUnavailable), MessageStyle::Ok);
}

}  // namespace bw
