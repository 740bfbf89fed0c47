#include "platform/registry/HostRegistry.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include <array>

#include "platform/registry/SysInfoEntry.h"

namespace bw {
namespace {

// The PATH value's bytes, or nothing when the key cannot be opened.
std::optional<QByteArray> sysInfoPath(Registry& registry) {
  RegKey key = 0;
  if (registry.openKey(kHkeyLocalMachine, kSysInfoKey, 0, 0x2003F, &key) != kErrorSuccess)
    return std::nullopt;
  std::array<std::uint8_t, 1024> buffer{};
  RegDword type = kRegNone;
  RegDword size = buffer.size();
  EXPECT_EQ(registry.queryValue(key, "path", nullptr, &type, buffer.data(), &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  registry.closeKey(key);
  return QByteArray(reinterpret_cast<const char*>(buffer.data()), size);
}

void makeProgram(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\n");
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(HostRegistry, ProgramOnSearchPath_IsTheSysInfoPath) {
  QTemporaryDir dir;
  makeProgram(dir.filePath(QStringLiteral("hardinfo")));
  makeProgram(dir.filePath(QStringLiteral("kinfocenter")));
  MemoryRegistry registry = hostRegistry({dir.path()});
  // The first name of the list wins; the text ends in a zero byte.
  EXPECT_EQ(sysInfoPath(registry), dir.filePath(QStringLiteral("hardinfo")).toLatin1() + '\0');
}

TEST(HostRegistry, NoProgram_KeyIsMissing) {
  QTemporaryDir dir;
  QFile notRunnable(dir.filePath(QStringLiteral("hardinfo")));
  ASSERT_TRUE(notRunnable.open(QIODevice::WriteOnly));
  notRunnable.close();
  notRunnable.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  MemoryRegistry registry = hostRegistry({dir.path()});
  EXPECT_EQ(sysInfoPath(registry), std::nullopt);
}

}  // namespace
}  // namespace bw
