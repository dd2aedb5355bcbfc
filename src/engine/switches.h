// Every switch the program accepts, spelled once. The command-line reader (app/command_line.h)
// takes their spellings from here, and the help box (text 220 of setup.rc) must give each of them a
// line: administrators learn the switches from that box, so a switch without a line there is a
// switch nobody knows.
#pragma once

#include <array>

namespace switches {

inline constexpr char kInstall[] = "-install";  // position 1 only: install mode by any name
inline constexpr char kSilent[] = "-s";
// After the first argument in install mode: close running instances without asking. It does
// not make a run silent.
inline constexpr char kNoInstanceQuestion[] = "/s";
inline constexpr char kInstallFolder[] = "-instdir";  // letter case counts
inline constexpr char kRunAfter[] = "-runafter";
inline constexpr char kAllUsers[] = "-allusers";
inline constexpr char kAutostart[] = "-autostart";
inline constexpr char kNoDesktopIcon[] = "-nodeskico";
inline constexpr char kLog[] = "-log";
inline constexpr char kRestartCode[] = "-restartcode";
// Written by the uninstaller for its temporary copy: "-delself" exactly, at position 1, with
// the uninstaller's path; "-outcome" for the copy whose exit code it waits for.
inline constexpr char kSelfRemoval[] = "-delself";
inline constexpr char kOutcome[] = "-outcome";
// Any of these, anywhere: the help box and nothing else.
inline constexpr std::array<const char*, 5> kHelp = {"/?", "-?", "/h", "-h", "--help"};

inline constexpr std::array<const char*, 17> kAll = {
    kInstall,       kSilent,        kNoInstanceQuestion,
    kInstallFolder, kRunAfter,      kAllUsers,
    kAutostart,     kNoDesktopIcon, kLog,
    kRestartCode,   kSelfRemoval,   kOutcome,
    kHelp[0],       kHelp[1],       kHelp[2],
    kHelp[3],       kHelp[4]};

}  // namespace switches
