// The run's log, kept when the command line asks for one with "-log": plain text lines an
// administrator reads after a run to tell what it did and which call failed.
#pragma once

#include <string>

#include "platform/files.h"

namespace platform {

class RunLog {
 public:
  // A log that writes nothing.
  RunLog() = default;
  // Appends to the file at `path` (made full by the caller, so that a change of the current
  // folder during the run does not move it). Each line is written on its own: whatever ends
  // the run later, a killed process or a full disk, the lines before it stay.
  RunLog(FileSystem& files, std::string path) : files_(&files), path_(std::move(path)) {}

  bool Enabled() const { return files_ != nullptr; }
  const std::string& Path() const { return path_; }

  // One line. A log that cannot be written loses the line and the run goes on: the log must
  // never be the reason a run fails. A line the same as the one before is left out: a call
  // tried again and again, for a file that another program holds, fails the same way each time.
  void Write(const std::string& line) const {
    if (files_ != nullptr && line != last_) {
      files_->AppendText(path_, line + "\n");
      last_ = line;
    }
  }

 private:
  FileSystem* files_ = nullptr;
  std::string path_;
  mutable std::string last_;
};

}  // namespace platform
