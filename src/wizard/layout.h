// The wizard's dialog layouts and the ids of the controls the logic touches, as setup.rc
// defines them.
#pragma once

namespace layout {

enum Dialog : unsigned {
  kFrame = 103,
  kAgreementPage = 104,
  kWelcomePage = 105,
  kFolderPage = 106,
  kGroupPage = 107,
  kReadyPage = 108,
};

// Frame (103).
inline constexpr int kNext = 1;  // the dialog's OK command and default button
inline constexpr int kCancel = 2;
inline constexpr int kBack = 3;
inline constexpr int kSidePicture = 1002;
// Welcome page (105).
inline constexpr int kVersionText = 1003;
// Agreement page (104) and program group page (107).
inline constexpr int kAgreementText = 1000;
inline constexpr int kGroupName = 1000;
// Destination folder page (106).
inline constexpr int kCurrentUserOnly = 1001;
inline constexpr int kAllUsers = 1002;
inline constexpr int kBrowse = 1005;
inline constexpr int kFolderHint = 1006;
inline constexpr int kDestination = 1013;
// Program group page (107).
inline constexpr int kAutostart = 1008;
inline constexpr int kDesktopIcon = 1009;
// Ready page (108).
inline constexpr int kInstallingText = 1009;
inline constexpr int kReadyText = 1010;
inline constexpr int kReadyHint = 1011;
inline constexpr int kRunProduct = 1012;
inline constexpr int kInstallProgress = 1014;

}  // namespace layout
