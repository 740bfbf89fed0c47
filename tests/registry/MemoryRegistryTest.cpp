#include "platform/registry/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

constexpr char kKey[] = "SOFTWARE\\Brine\\Tank";

class MemoryRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.setValue(kHkeyLocalMachine, QString::fromLatin1(kKey), QStringLiteral("Path"), kRegSz,
                      QByteArrayLiteral("abc\0"));
  }
  RegKey open(const char* path, RegDword access = kKeyRead) {
    RegKey key = 0;
    EXPECT_EQ(registry.openKey(kHkeyLocalMachine, path, 0, access, &key), kErrorSuccess);
    return key;
  }
  MemoryRegistry registry;
};

TEST(RegistryConstants, LocalMachine_IsTheSystemsHandleValue) {
  EXPECT_EQ(static_cast<std::uint32_t>(kHkeyLocalMachine), 0x80000002u);
  EXPECT_LT(kHkeyLocalMachine, 0);  // widened with its sign, as the system does
}

TEST_F(MemoryRegistryTest, OpenKey_AnyCaseAndParents_Open) {
  for (const char* path : {"software\\brine\\TANK", "SOFTWARE\\Brine", "SOFTWARE"}) {
    const RegKey key = open(path);
    EXPECT_NE(key, 0) << path;
    EXPECT_EQ(registry.closeKey(key), kErrorSuccess);
  }
  EXPECT_EQ(registry.openHandleCount(), 0);
}

TEST_F(MemoryRegistryTest, OpenKey_MissingOrRefused_FailsWithoutHandle) {
  registry.addKey(kHkeyLocalMachine, QStringLiteral("Locked"), kKeyRead);
  RegKey key = 1;
  EXPECT_EQ(registry.openKey(kHkeyLocalMachine, "SOFTWARE\\Brin", 0, kKeyRead, &key),
            kErrorFileNotFound);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(registry.openKey(kHkeyLocalMachine, "Locked", 0, 0x2003F, &key), kErrorAccessDenied);
  EXPECT_EQ(registry.openKey(kHkeyLocalMachine, "Locked", 0, kKeyRead, &key), kErrorSuccess);
  EXPECT_EQ(registry.openKey(12345, "Locked", 0, kKeyRead, &key), kErrorInvalidHandle);
}

}  // namespace
}  // namespace bw
