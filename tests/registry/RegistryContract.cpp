#include "RegistryContract.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace bw::contract {

using namespace std::string_view_literals;

const std::vector<Value>& values() {
  static const std::vector<Value> table = {
      {"Path", kRegSz, "C:\\Tank\\probe.exe\0"sv},
      {"Bare", kRegSz, "abc"sv},  // stored without its terminating zero
      {"BareExpandable", kRegExpandSz, "%x%"sv},
      {"Interval", kRegDword, "\x78\x56\x34\x12"sv},
      {"", kRegSz, "tank\0"sv},
  };
  return table;
}

namespace {

class RegistryContract : public ::testing::Test {
 protected:
  void TearDown() override {
    for (RegKey key : opened_) EXPECT_EQ(registry_.closeKey(key), kErrorSuccess);
  }

  RegStatus open(RegKey root, const char* path, RegKey* key, RegDword access = kKeyRead) {
    const RegStatus status = registry_.openKey(root, path, 0, access, key);
    if (status == kErrorSuccess) opened_.push_back(*key);
    return status;
  }
  RegKey openTank(RegDword access = kKeyRead) {
    RegKey key = 0;
    EXPECT_EQ(open(kHkeyLocalMachine, kKey, &key, access), kErrorSuccess);
    return key;
  }

  struct Read {
    RegStatus status = -1;
    RegDword type = 0xFFFF;
    RegDword size = 0;
    std::string bytes;
  };
  Read read(RegKey key, const char* name, RegDword room = 64) {
    Read result;
    buffer_.fill(kUntouched);
    result.size = room;
    result.status =
        registry_.queryValue(key, name, nullptr, &result.type, buffer_.data(), &result.size);
    if (result.status == kErrorSuccess)
      result.bytes.assign(reinterpret_cast<const char*>(buffer_.data()), result.size);
    return result;
  }

  static constexpr std::uint8_t kUntouched = 0xAA;
  Registry& registry_ = registryUnderTest();
  std::vector<RegKey> opened_;
  std::array<std::uint8_t, 64> buffer_{};  // the last read's buffer
};

TEST_F(RegistryContract, OpenKey_ExistingInAnyCaseOrBelowAnOpenKey_Opens) {
  RegKey key = 0;
  EXPECT_EQ(open(kHkeyLocalMachine, "software\\brinewatchcontract\\TANK", &key), kErrorSuccess);
  EXPECT_NE(key, 0);
  RegKey parent = 0;
  ASSERT_EQ(open(kHkeyLocalMachine, kParentKey, &parent), kErrorSuccess);
  EXPECT_EQ(open(parent, "tank", &key), kErrorSuccess);
  EXPECT_EQ(read(key, "Path").status, kErrorSuccess);
}

TEST_F(RegistryContract, OpenKey_Missing_FailsWithNoHandle) {
  RegKey key = 1;
  EXPECT_EQ(open(kHkeyLocalMachine, "SOFTWARE\\BrinewatchContract\\Tan", &key), kErrorFileNotFound);
  EXPECT_EQ(key, 0);
}

TEST_F(RegistryContract, QueryValue_Missing_IsFileNotFound) {
  EXPECT_EQ(read(openTank(), "Pat").status, kErrorFileNotFound);
}

TEST_F(RegistryContract, QueryValue_Text_ComesAsStoredWithOrWithoutTerminator) {
  const RegKey key = openTank();
  const Read path = read(key, "PATH");
  EXPECT_EQ(path.status, kErrorSuccess);
  EXPECT_EQ(path.type, kRegSz);
  EXPECT_EQ(path.bytes, "C:\\Tank\\probe.exe\0"sv);

  const Read bare = read(key, "Bare");
  EXPECT_EQ(bare.status, kErrorSuccess);
  EXPECT_EQ(bare.type, kRegSz);
  EXPECT_EQ(bare.bytes, "abc"sv) << "the size counts no terminator";
  EXPECT_EQ(buffer_[3], 0) << "one is written where the buffer has room";
  EXPECT_EQ(read(key, "Bare", 3).bytes, "abc"sv);
  EXPECT_EQ(buffer_[3], kUntouched) << "and not past its end";
  EXPECT_EQ(read(key, "BareExpandable").bytes, "%x%"sv);
  EXPECT_EQ(buffer_[3], 0);

  // A null or empty name is the default value.
  EXPECT_EQ(read(key, nullptr).bytes, "tank\0"sv);
  EXPECT_EQ(read(key, "").bytes, "tank\0"sv);
}

TEST_F(RegistryContract, QueryValue_Dword_IsFourBytesLittleEndian) {
  const Read interval = read(openTank(), "Interval");
  EXPECT_EQ(interval.status, kErrorSuccess);
  EXPECT_EQ(interval.type, kRegDword);
  EXPECT_EQ(interval.bytes, "\x78\x56\x34\x12"sv);
}

TEST_F(RegistryContract, QueryValue_BufferTooSmall_IsMoreDataWithTheSizeNeeded) {
  const RegKey key = openTank();
  const Read path = read(key, "Path", 5);
  EXPECT_EQ(path.status, kErrorMoreData);
  EXPECT_EQ(path.size, 18u);
  EXPECT_EQ(path.type, kRegSz);
  EXPECT_EQ(buffer_[0], kUntouched) << "nothing is copied";
  const Read interval = read(key, "Interval", 3);
  EXPECT_EQ(interval.status, kErrorMoreData);
  EXPECT_EQ(interval.size, 4u);
}

TEST_F(RegistryContract, QueryValue_NullPointers_AskForTypeAndSizeOnly) {
  const RegKey key = openTank();
  for (const Value& value : values()) {
    RegDword type = kRegNone;
    RegDword size = 0;
    EXPECT_EQ(registry_.queryValue(key, value.name, nullptr, &type, nullptr, &size), kErrorSuccess)
        << value.name;
    EXPECT_EQ(type, value.type) << value.name;
    EXPECT_EQ(size, value.bytes.size()) << value.name;
  }
  // Whether it exists, with nothing asked for.
  EXPECT_EQ(registry_.queryValue(key, "Path", nullptr, nullptr, nullptr, nullptr), kErrorSuccess);
  std::uint8_t byte = 0;
  EXPECT_EQ(registry_.queryValue(key, "Path", nullptr, nullptr, &byte, nullptr),
            kErrorInvalidParameter);
}

TEST_F(RegistryContract, QueryValue_KeyOpenedWithoutTheQueryRight_IsAccessDenied) {
  RegDword size = 0;
  EXPECT_EQ(registry_.queryValue(openTank(kKeySetValue), "Path", nullptr, nullptr, nullptr, &size),
            kErrorAccessDenied);
}

TEST_F(RegistryContract, CloseKey_ThenUse_IsInvalidHandle) {
  RegKey key = 0;
  ASSERT_EQ(registry_.openKey(kHkeyLocalMachine, kKey, 0, kKeyRead, &key), kErrorSuccess);
  EXPECT_EQ(registry_.closeKey(key), kErrorSuccess);
  RegDword size = 0;
  EXPECT_EQ(registry_.queryValue(key, "Path", nullptr, nullptr, nullptr, &size),
            kErrorInvalidHandle);
  EXPECT_EQ(registry_.closeKey(key), kErrorInvalidHandle);
  EXPECT_EQ(registry_.closeKey(kHkeyLocalMachine), kErrorSuccess) << "a root key is not closed";
}

}  // namespace
}  // namespace bw::contract
