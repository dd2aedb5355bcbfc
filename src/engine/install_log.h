// The one line format of the manifest, the installed log and "install.log": a record is a
// prefix at the very first character of a line, followed by its argument.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

enum class LogRecordKind {
  FileCopy,
  FileCopyX64,
  FileCopyInd,
  FileOverwrite,
  FileDel,
  MakeDir,
  MadeDir,
  ShellLink,
};

// The kinds that name files of the install folder: the three copies, an overwrite, a delete.
bool IsFileRecord(LogRecordKind kind);

// The prefix of a record kind, its one trailing blank included.
std::string_view LogRecordPrefix(LogRecordKind kind);

struct LogRecord {
  LogRecordKind kind;
  std::string argument;
};

// The record a line holds: the prefix matches case-sensitively at the first character.
// Anything else (an empty line, a remark, a leading blank, another letter case) is none.
std::optional<LogRecord> ParseLogRecord(std::string_view line);

// One log file opened for reading. A file that cannot be opened reads as empty.
class InstallLog {
 public:
  InstallLog(platform::FileSystem& files, const std::string& path);

  bool IsOpen() const { return file_ != nullptr; }

  // The next line by the one reading rule every reader shares: at most 511 characters a read
  // (a longer line comes in pieces, each taken as a line of its own), then every trailing byte
  // from 1 to 32 removed. Empty at the end of the file.
  std::optional<std::string> ReadLogLine();

  // Back to the first line, for readers that take one kind in each pass.
  void Rewind();

 private:
  std::unique_ptr<platform::TextFile> file_;
};

// Appends `text` and a line break to the log at `path`, opening and closing the file for this
// one record. False when the log could not be written; the record is lost then.
bool AppendLogLine(platform::FileSystem& files, const std::string& path, const std::string& text);
