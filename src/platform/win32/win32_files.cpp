#include <windows.h>
// The platform door names its operations after the calls; keep the header's A/W macros off them.
#undef GetFileAttributes
#undef CreateDirectory
#undef RemoveDirectory
#undef DeleteFile

#include <climits>
#include <cstring>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

Win32TextFile::~Win32TextFile() {
  std::fclose(file_);
}

std::optional<std::string> Win32TextFile::ReadLine(std::size_t capacity) {
  // fgets needs room for at least the terminating zero; a caller asking for less gets what
  // an exhausted file gives rather than a write past an empty buffer.
  if (capacity == 0) {
    return std::nullopt;
  }
  int count = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  std::string buffer(static_cast<std::size_t>(count), '\0');
  if (std::fgets(buffer.data(), count, file_) == nullptr) {
    return std::nullopt;
  }
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

void Win32TextFile::Rewind() {
  std::rewind(file_);
}

std::uint32_t Win32FileSystem::GetFileAttributes(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

std::vector<FoundFile> Win32FileSystem::FindFiles(const std::string& pattern) {
  std::vector<FoundFile> found;
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    return found;
  }
  do {
    found.push_back(FoundFile{data.cFileName, data.dwFileAttributes});
  } while (::FindNextFileA(search, &data));
  ::FindClose(search);
  return found;
}

bool Win32FileSystem::CreateDirectory(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::RemoveDirectory(const std::string& path) {
  return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != FALSE;
}

std::unique_ptr<TextFile> Win32FileSystem::OpenTextFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rt");
  if (file == nullptr) {
    return nullptr;
  }
  return std::make_unique<Win32TextFile>(file);
}

bool Win32FileSystem::AppendText(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "at");
  if (file == nullptr) {
    return false;
  }
  bool written = std::fputs(text.c_str(), file) >= 0;
  // The data reach the file only when the stream is flushed on closing.
  bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace platform::win32
