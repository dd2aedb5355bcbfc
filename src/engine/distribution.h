// What the program fixes about the two things outside it that several steps lean on: the
// product's distribution folder and the vendor's web site.
#pragma once

namespace distribution {

// Files of the distribution folder, and of the install folder, by name.
inline constexpr char kManifest[] = "PictvUnInst.log";  // also the installed log's name
inline constexpr char kOlderLog[] = "install.log";
inline constexpr char kProductProgram[] = "Pictv6.exe";
inline constexpr char kUninstaller[] = "PictvUnInst.exe";
inline constexpr char kAgreement[] = "agreement.txt";
inline constexpr char kHomePageShortcut[] = "HomePage.url";
inline constexpr char kHelpFile[] = "Pictv6Man.chm";
inline constexpr char kReadme[] = "readme.txt";
inline constexpr char kPresetSettings[] = "Pictv6.ini";
inline constexpr char kPresetRegistry[] = "Pictv6.reg";
// The name of the product's folder below Program Files, of its default program group, and of
// the shortcuts that its removal deletes by name.
inline constexpr char kProductFolder[] = "Pictavo 6";
// The environment variable naming the self-extracting archive that started the setup.
inline constexpr char kArchiveVariable[] = "sfxname";

}  // namespace distribution

namespace vendor {

inline constexpr char kSite[] = "http://www.corvantis.example";
inline constexpr char kInstallScriptPage[] = "/pvdx/InstScript.asp";
inline constexpr char kInstalledPage[] = "/pvdx/installed.asp";

}  // namespace vendor
