// Numbers of the catalogue texts the logic refers to. The texts themselves live in setup.rc.
#pragma once

namespace catalogue {

enum Text : unsigned {
  kOneInstanceOpen = 1,
  kSetupCaption = 2,  // caption of the direct boxes of the start-up code
  kSetupAborted = 3,
  kInstancesOpen = 4,
  kRemovalQuestion = 6,
  kAgreementTitle = 7,
  kFinishLabel = 8,
  kInstalled = 9,
  kPressFinish = 10,
  kCancelQuestion = 11,
  kBrowseInstruction = 12,
  kInvalidFolder = 13,
  kOldVersionFolder = 14,
  kProductName = 15,
  kOlderVersion = 16,
  kSameVersion = 17,
  kDamagedSetup = 18,
  kPreviousCopyHere = 19,
  kUninstalled = 20,
  kYes = 21,
  kNo = 22,
  kGroupNameTooShort = 23,
  kGroupIsStartup = 24,
  kHelpShortcut = 101,
  kReadmeShortcut = 102,
  kUninstallShortcut = 104,
  // Beyond the catalogue: the truth about a run that did not complete or needs a restart.
  kNotInstalledCompletely = 200,
  kFilesNotCopied = 201,
  kOtherShortfalls = 202,
  kLogNamesFailures = 203,
  kRunAgainWithLog = 204,
  kInstalledAfterRestart = 205,
  kNotRemovedCompletely = 206,
  kAgreementMissing = 207,
  kAnotherSetupRunning = 208,
  // The switches and exit codes, for "/?" and its kin.
  kSwitchHelp = 220,
  kAppTitle = 57344,  // the application title: caption of every service box
};

// Buffer capacities of the start-up code's fixed-size loads.
inline constexpr unsigned kCaptionCapacity = 128;
inline constexpr unsigned kMessageCapacity = 256;

}  // namespace catalogue
