// Putting the product's files into the install folder: the manifest's records deployed from the
// distribution folder, files in use replaced at the next system start, the installed log, and
// the preset files of a self-extracting archive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/run_report.h"
#include "engine/setup_options.h"
#include "engine/wow64_query.h"
#include "platform/platform.h"

// What an installed file's replacement is called while it is copied beside it, and while it
// waits for the next start to replace a file in use. Only a stop leaves one otherwise, and the
// removal takes it with its file.
inline constexpr char kSideCopySuffix[] = ".new";

// Copies `fileName` from `sourceFolder` into `targetFolder`, under `targetName` when given,
// replacing what is there; a target in use is set aside or replaced at the next start. True
// when the target now holds the file, or when source and target are already the same file.
bool CopyInstallFile(platform::Platform& platform, const std::string& fileName,
                     const std::string& sourceFolder, const std::string& targetFolder,
                     const std::optional<std::string>& targetName);

// Creates the folder and its missing ancestors; nothing when it exists. True when it exists
// afterwards.
bool CreateFolderWithAncestors(platform::Platform& platform, const std::string& folder);

// Copies every match of `pattern` (wildcards, optionally behind one subfolder part) from
// `sourceFolder` into the same place below `targetFolder`, which is created with its missing
// ancestors when something matches; a subfolder part must exist already. The first file that
// fails ends the pattern. Returns how many were copied.
int CopyInstallFiles(platform::Platform& platform, const std::string& pattern,
                     const std::string& targetFolder, const std::string& sourceFolder);

// Whoever shows how far a deployment has got.
class DeploymentProgress {
 public:
  virtual ~DeploymentProgress() = default;
  // Before the first file: how many files the copy records will take in hand.
  virtual void Begin(int files) = 0;
  // After each of them, with how many are done; reaches the number Begin gave.
  virtual void Advance(int filesDone) = 0;
};

// What a deployment has done, file by file. A file counts as done once its record has dealt
// with it, copied or not (one a failure earlier in its pattern leaves alone, one the system
// already has as a library), so that a progress bar ends full whatever happened on the way.
struct DeploymentCounter {
  // None: nobody watches, and nothing is counted ahead (a silent run makes no extra search).
  DeploymentProgress* progress = nullptr;
  int filesDone = 0;
  // Of the files now in place or waiting to replace one in use at the next start.
  std::uint64_t bytesCopied = 0;

  void FilesDone(int files, std::uint64_t bytes) {
    filesDone += files;
    bytesCopied += bytes;
    if (progress != nullptr && files > 0) {
      progress->Advance(filesDone);
    }
  }
};

// How many files the copy records of the manifest at `manifestPath` will take in hand on this
// machine, found by the searches deployment makes: the number DeploymentCounter reaches.
int CountFilesToCopy(platform::Platform& platform, const SetupOptions& options,
                     const Wow64Query& wow64, const std::string& manifestPath);

// Deploys the copy and folder records of the manifest at `manifestPath`, in line order, from
// `SourceFolder` into `InstallFolder`. A manifest that cannot be opened deploys nothing. Tells
// the report of every file not copied (one the distribution lacks is no shortfall: the record
// asks for nothing then), every folder not made, and every file left to replace one in use at
// the next start; tells `counter` of every file dealt with.
void DeployManifest(platform::Platform& platform, const SetupOptions& options,
                    const Wow64Query& wow64, const std::string& manifestPath, RunReport& report,
                    DeploymentCounter& counter);

// Before an update deploys: appends the manifest's copy and folder records to the installed log
// already there (or makes one of them), so that until the new installed log replaces it, the
// removal also finds what this run adds. Best-effort: the new log, made whole later, is what
// counts once the run ends.
void ExtendInstalledLog(platform::Platform& platform, const SetupOptions& options,
                        const std::string& manifestPath);

// The manifest copied into the install folder as the installed log, then one empty line, so
// that the records appended later start on a line of their own. True when the log is there
// whole: the removal finds what the installation put in place by it.
bool CreateInstalledLog(platform::Platform& platform, const SetupOptions& options);

// The preset files from the folder of the self-extracting archive that started the setup, if
// one did; a missing preset file is simply not copied.
void CopyPresetFiles(platform::Platform& platform, const SetupOptions& options, RunReport& report);
