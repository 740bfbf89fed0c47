// The registry contract against the system registry, built for Windows and
// run under Wine. The suite's values are written by the system's own reg
// tool first, so that the calls under test do not check themselves.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../RegistryContract.h"
#include "platform/registry/WindowsRegistry.h"

namespace bw::contract {

Registry& registryUnderTest() {
  static WindowsRegistry registry;
  return registry;
}

namespace {

// Runs the reg tool with `arguments`; true when it exits with 0.
bool runReg(const std::string& arguments) {
  std::string commandLine = "reg.exe " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "cannot start reg.exe: error %lu\n", GetLastError());
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (exitCode != 0)
    std::fprintf(stderr, "reg.exe %s: exit code %lu\n", arguments.c_str(), exitCode);
  return exitCode == 0;
}

std::string nameArgument(const Value& value) {
  return *value.name ? std::string(" /v ") + value.name : std::string(" /ve");
}

// The reg tool always stores a text with its terminator; a text without one
// is written by the call the program never makes.
bool storeUnterminated(const Value& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  // The call counts a zero just past the data in as the terminator; a byte
  // that is not zero there keeps the text bare.
  const std::string guarded = std::string(value.bytes) + 'X';
  const LONG status =
      RegSetValueExA(key, value.name, 0, value.type, reinterpret_cast<const BYTE*>(guarded.data()),
                     static_cast<DWORD>(value.bytes.size()));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool storeValues() {
  const std::string key = std::string("HKLM\\") + kKey;
  runReg("delete HKLM\\" + std::string(kParentKey) + " /f");  // a missing key is fine
  for (const Value& value : values()) {
    bool stored = false;
    if (value.type == kRegSz && !value.bytes.empty() && value.bytes.back() == '\0') {
      const std::string text(value.bytes.substr(0, value.bytes.size() - 1));
      stored = runReg("add " + key + nameArgument(value) + " /t REG_SZ /d " + text + " /f");
    } else if (value.type == kRegDword && value.bytes.size() == 4) {
      std::uint32_t number = 0;
      std::memcpy(&number, value.bytes.data(), 4);  // little-endian, as the suite stores it
      stored = runReg("add " + key + nameArgument(value) + " /t REG_DWORD /d " +
                      std::to_string(number) + " /f");
    } else {
      stored = storeUnterminated(value);
    }
    if (!stored) {
      std::fprintf(stderr, "cannot store the value '%s'\n", value.name);
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace bw::contract

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!bw::contract::storeValues()) return 1;
  return RUN_ALL_TESTS();
}
