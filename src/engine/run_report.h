// What a run did not achieve, as its steps tell it while they go. The steps stay best-effort:
// each tells the report what failed or was left to the next system start, and goes on. The
// application turns the report into the run's exit code, last page or box, and log.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/run_log.h"

// The kinds of things a run can fail to do, by what the user misses afterwards.
enum class Shortfall {
  File,           // a file of the distribution not copied into the install folder
  Folder,         // a folder not made
  Shortcut,       // a shortcut not saved, or one that the removal could not delete
  RegistryValue,  // a registry value not written, or a key the removal could not delete
  InstalledLog,   // the installed log not written whole
  Uninstaller,    // the uninstaller not in place and whole: nothing may point at it
  Removal,        // a file or folder of the product the removal could neither delete nor
                  // schedule for deletion at the next start
};
inline constexpr std::size_t kShortfallKinds = 7;

class RunReport {
 public:
  RunReport() = default;
  explicit RunReport(const platform::RunLog& log) : log_(&log) {}

  // A step begins.
  void Step(std::string_view name) const;
  // Something the run had to do is not done; `path` names it.
  void NotDone(Shortfall what, const std::string& path);
  // A file or folder is set up to be replaced or deleted at the next system start. The call
  // that recorded it is logged by the platform already.
  void AtNextStart(const std::string& path) { atNextStart_.push_back(path); }

  // A file another process of this run deletes once it can, such as the uninstaller that waits
  // for the removal: failing to delete it now is neither a shortfall nor scheduled.
  void Spare(const std::string& path) { spared_ = path; }
  bool IsSpared(const std::string& path) const;
  bool SparesAFile() const { return !spared_.empty(); }

  bool Complete() const { return total_ == 0; }
  bool NeedsRestart() const { return !atNextStart_.empty(); }
  int Count(Shortfall what) const { return counts_[static_cast<std::size_t>(what)]; }
  const std::vector<std::string>& ScheduledPaths() const { return atNextStart_; }
  // Where the run's log goes; empty without one.
  std::string LogPath() const { return log_ != nullptr && log_->Enabled() ? log_->Path() : ""; }

 private:
  const platform::RunLog* log_ = nullptr;
  std::array<int, kShortfallKinds> counts_{};
  int total_ = 0;
  std::vector<std::string> atNextStart_;
  std::string spared_;
};
