#pragma once

namespace bw {

// Where the registry says the system information program is: the program's
// own path, or else the folder it was installed to.
inline constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char kSysInfoValue[] = "PATH";
inline constexpr char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char kSysInfoLocationValue[] = "MSINFO";
// Put after the installation folder.
inline constexpr char kSysInfoProgram[] = "\\MSINFO32.EXE";

}  // namespace bw
