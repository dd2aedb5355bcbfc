#include "engine/install_log.h"

#include <array>
#include <utility>

namespace {

constexpr std::size_t kLineBuffer = 512;

constexpr std::array<std::pair<LogRecordKind, std::string_view>, 8> kPrefixes = {{
    {LogRecordKind::FileCopy, "File Copy: "},
    {LogRecordKind::FileCopyX64, "File Copy x64: "},
    {LogRecordKind::FileCopyInd, "File Copy ind: "},
    {LogRecordKind::FileOverwrite, "File Overwrite: "},
    {LogRecordKind::FileDel, "File Del: "},
    {LogRecordKind::MakeDir, "Make Dir: "},
    {LogRecordKind::MadeDir, "Made Dir: "},
    {LogRecordKind::ShellLink, "Shell Link: "},
}};

}  // namespace

bool IsFileRecord(LogRecordKind kind) {
  switch (kind) {
    case LogRecordKind::FileCopy:
    case LogRecordKind::FileCopyX64:
    case LogRecordKind::FileCopyInd:
    case LogRecordKind::FileOverwrite:
    case LogRecordKind::FileDel:
      return true;
    case LogRecordKind::MakeDir:
    case LogRecordKind::MadeDir:
    case LogRecordKind::ShellLink:
      break;
  }
  return false;
}

std::string_view LogRecordPrefix(LogRecordKind kind) {
  for (const auto& [candidate, prefix] : kPrefixes) {
    if (candidate == kind) {
      return prefix;
    }
  }
  return {};
}

std::optional<LogRecord> ParseLogRecord(std::string_view line) {
  for (const auto& [kind, prefix] : kPrefixes) {
    if (line.substr(0, prefix.size()) == prefix) {
      return LogRecord{kind, std::string(line.substr(prefix.size()))};
    }
  }
  return std::nullopt;
}

InstallLog::InstallLog(platform::FileSystem& files, const std::string& path)
    : file_(files.OpenTextFile(path)) {}

std::optional<std::string> InstallLog::ReadLogLine() {
  if (!file_) {
    return std::nullopt;
  }
  std::optional<std::string> line = file_->ReadLine(kLineBuffer);
  if (!line) {
    return std::nullopt;
  }
  // The buffer is a C string to every reader: a zero byte ends the line there.
  line->resize(std::string_view(line->c_str()).size());
  while (!line->empty() && static_cast<unsigned char>(line->back()) <= 32) {
    line->pop_back();
  }
  return line;
}

void InstallLog::Rewind() {
  if (file_) {
    file_->Rewind();
  }
}

bool AppendLogLine(platform::FileSystem& files, const std::string& path, const std::string& text) {
  return files.AppendText(path, text + "\n");
}
