// Registry keys that the end-to-end tests read and lay down, as reg.exe names them.
#pragma once

namespace e2e {

inline constexpr char kCurrentVersion[] =
    R"(HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion)";
inline constexpr char kShellFolders[] =
    R"(HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders)";
inline constexpr char kUserShellFolders[] =
    R"(HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders)";
inline constexpr char kSessionManager[] =
    R"(HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager)";
inline constexpr char kProductKey[] = R"(HKEY_LOCAL_MACHINE\SOFTWARE\Corvantis\Pictavo 6)";
inline constexpr char kVendorKey[] = R"(HKEY_LOCAL_MACHINE\SOFTWARE\Corvantis)";
inline constexpr char kAppPathKey[] =
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Pictv6.exe)";
inline constexpr char kUninstallKey[] =
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictavo 6)";

}  // namespace e2e
