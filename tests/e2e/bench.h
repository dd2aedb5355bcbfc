// The Wine test bench of the end-to-end tests: the test prefix (through
// tools/wine/run-in-prefix.sh, which gives the process a locked prefix and a display), the
// Windows build's programs, background Windows processes, uiauto, and a folder of its own for
// each test under the prefix's drive C.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records.h"

namespace e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What the bench found; `problem` names the first thing missing, empty when complete.
struct Bench {
  fs::path prefix;     // WINEPREFIX
  fs::path wine;       // the wine launcher on PATH
  fs::path setupExe;   // <win32 build>/setup.exe
  fs::path uiautoExe;  // <win32 build>/uiauto.exe
  std::string problem;
};

// Found once per process.
const Bench& TheBench();

bool InCi();

struct Output {
  int exitCode = -1;  // -1 when the program did not end in time (it was killed)
  std::string out;
  std::string err;
};

// Runs a host program to its end, with the output captured; killed after the timeout.
Output RunHost(const std::vector<std::string>& argv, std::chrono::milliseconds timeout = 30s);

// Runs a Windows program through wine to its end.
Output RunWindows(const std::vector<std::string>& argv, std::chrono::milliseconds timeout = 30s);

// uiauto with these arguments, its records parsed.
struct UiResult {
  int exitCode = -1;
  std::vector<UiRecord> records;
  std::string err;
};
UiResult Uiauto(const std::vector<std::string>& args, std::chrono::milliseconds timeout = 30s);

// A Windows program started in the background, like a user starting it from Explorer.
// The destructor kills it if it still runs.
class WindowsProcess {
 public:
  // `program` is a Windows path; the process starts in `workingFolder` (a host path).
  WindowsProcess(const std::string& program, const std::vector<std::string>& args,
                 const fs::path& workingFolder);
  ~WindowsProcess();
  WindowsProcess(const WindowsProcess&) = delete;
  WindowsProcess& operator=(const WindowsProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Ends the process at once, as TerminateProcess does: none of its own code runs any more,
  // its handles close and its files stay as they are. Whether this is what ended it: false
  // when it had already ended by itself.
  bool Kill();
  // The exit code once the process ended (wine passes the program's own code through, cut to
  // its low 8 bits by the host), nullopt while it still runs after the timeout.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

// The exit code of a run that the user ended, by Cancel in the wizard or No to one of its
// questions, as Windows gives it (ERROR_INSTALL_USEREXIT).
inline constexpr int kExitCancelled = 1602;

// What the host sees of a Windows exit code through WaitForExit: its low 8 bits, so that 1602
// arrives as 66. Expectations state the Windows code and compare through this.
constexpr int LowByte(int windowsCode) {
  return windowsCode & 0xFF;
}

// Holds the Windows file `windowsPath` open for `milliseconds`, sharing anything but its
// deletion, as a program using it would (uiauto hold). Returns once the file is held, with the
// holder running in `folder`, which also takes its marker; nullptr when it never was.
std::unique_ptr<WindowsProcess> HoldFile(const std::string& windowsPath, int milliseconds,
                                         const fs::path& folder);

// The registry as the program under test sees it: the 32-bit view.
// Imports a .reg text ("Windows Registry Editor Version 5.00"; a "[-KEY]" section deletes KEY).
bool ImportRegistry(const std::string& regText);
// A text as a .reg file writes it between quotes, backslashes and quotes escaped.
std::string RegQuoted(const std::string& text);
// `reg query KEY /s`: the key's values and subkeys as text, nullopt when the key is missing.
std::optional<std::string> QueryRegistry(const std::string& key);
// One value of a key in the 32-bit view (or the view named, such as "/reg:64") as reg query
// prints it: its type ("REG_SZ", "REG_DWORD") and its data (a REG_DWORD as "0x1f"); an empty
// name asks for the default value. nullopt when the key or the value is missing.
struct RegData {
  std::string type;
  std::string data;
  bool operator==(const RegData&) const = default;
};
std::optional<RegData> RegEntry(const std::string& key, const std::string& name,
                                const std::string& view = "/reg:32");
// The data alone, for a string value.
std::optional<std::string> RegValue(const std::string& key, const std::string& name,
                                    const std::string& view = "/reg:32");

// A host file's bytes, and a file written with exactly these bytes.
// Removes what a test laid down outside its own folder, however the test ends.
struct RemovedAtEnd {
  fs::path path;
  ~RemovedAtEnd() {
    std::error_code error;
    fs::remove_all(path, error);
  }
};

std::string ReadAll(const fs::path& path);
void WriteAll(const fs::path& path, const std::string& content);
// The names of `now` that `before` did not have, in the order of `now`.
std::vector<std::string> NewNames(const std::vector<std::string>& now,
                                  const std::vector<std::string>& before);

// Host path <-> Windows path for paths inside the prefix's drive C (C:) or elsewhere (Z:, which
// Wine maps to the host's root).
std::string WindowsPath(const fs::path& hostPath);
fs::path HostPath(const std::string& windowsPath);

// The Windows temp folder of the prefix's user, as a host path.
fs::path TempFolder();

// A copy of the distribution `from` in `to` with `count` more files of 512 bytes,
// Many\file0.dat, Many\file1.dat, ..., that its manifest makes and copies last: an
// installation that takes long enough to be met at work, and whose progress shows in the
// number of files in Many.
void WriteManyFileDistribution(const fs::path& from, const fs::path& to, int count);

// The installed log that an all-users installation with a desktop shortcut writes: the
// manifest as shipped, an empty line, the program group `groupWin` and its four shortcuts, the
// shortcut `desktopLinkWin`.
std::string InstalledLog(const std::string& manifest, const std::string& groupWin,
                         const std::string& desktopLinkWin);

// Every entry under a folder, by relative path, with what tells a change: type, size, time.
using FolderState = std::map<std::string, std::string>;
FolderState SnapshotFolder(const fs::path& folder);

// Names of files in `folder` that match a Windows wildcard such as "uni*.tmp" (letter case
// ignored, as Windows matches).
std::vector<std::string> FilesMatching(const fs::path& folder, const std::string& pattern);

// Ends the uninstaller's temporary copies ("uni*.tmp" in the temp folder) that are not among
// `before`, and removes their files: a copy left running would hold its file into the next test.
void RemoveTemporaryCopies(const std::vector<std::string>& before);

// A .reg text that removes the product's keys (`keys`, full names) and, unless
// `pendingBefore`, the pending renames of the next start that a test's run left.
std::string RegRemoval(const std::vector<std::string>& keys, bool pendingBefore);

// Base of the Wine tests: checks the bench (a missing part fails in CI and skips elsewhere)
// and gives each test an empty folder C:\e2e\<suite>.<test>, removed afterwards.
class WineTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const Bench& bench() const { return TheBench(); }
  const fs::path& folder() const { return folder_; }  // host path
  std::string WindowsFolder() const { return WindowsPath(folder_); }

 private:
  fs::path folder_;
};

}  // namespace e2e
