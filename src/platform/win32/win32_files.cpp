#include <windows.h>
// The platform door names its operations after the calls; keep the header's A/W macros off them.
#undef GetFileAttributes
#undef CreateDirectory
#undef RemoveDirectory
#undef DeleteFile
#undef SetFileAttributes
#undef CopyFile
#undef MoveFileEx
#undef SetCurrentDirectory
#undef GetFullPathName
#undef GetTempPath
#undef GetTempFileName
#undef GetPrivateProfileSection
#undef WritePrivateProfileSection

#include <climits>
#include <cstring>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                            DWORD, HANDLE, HANDLE, LPVOID) {
  KeepBusyWindowsPainting();
  return PROGRESS_CONTINUE;
}

}  // namespace

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

bool Win32FileSystem::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

std::vector<FoundFile> Win32FileSystem::FindFiles(const std::string& pattern) {
  std::vector<FoundFile> found;
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    return found;
  }
  do {
    found.push_back(FoundFile{data.cFileName, data.dwFileAttributes,
                              (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                              (std::uint64_t{data.ftCreationTime.dwHighDateTime} << 32) |
                                  data.ftCreationTime.dwLowDateTime});
  } while (::FindNextFileA(search, &data));
  ::FindClose(search);
  return found;
}

bool Win32FileSystem::CreateDirectory(const std::string& path) {
  KeepBusyWindowsPainting();
  return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::RemoveDirectory(const std::string& path) {
  return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
  KeepBusyWindowsPainting();
  return ::DeleteFileA(path.c_str()) != FALSE;
}

bool Win32FileSystem::CopyFile(const std::string& existing, const std::string& target,
                               bool failIfExists) {
  // CopyFileA is CopyFileExA without a progress routine; this one lets a busy wizard paint
  // between the chunks of a large file.
  KeepBusyWindowsPainting();
  return ::CopyFileExA(existing.c_str(), target.c_str(), CopyProgress, nullptr, nullptr,
                       failIfExists ? COPY_FILE_FAIL_IF_EXISTS : 0) != FALSE;
}

bool Win32FileSystem::MoveFileEx(const std::string& existing,
                                 const std::optional<std::string>& target, std::uint32_t flags) {
  KeepBusyWindowsPainting();
  // A missing target must reach the system as a null pointer: only that asks for deletion.
  return ::MoveFileExA(existing.c_str(), target ? target->c_str() : nullptr, flags) != FALSE;
}

bool Win32FileSystem::SetCurrentDirectory(const std::string& path) {
  return ::SetCurrentDirectoryA(path.c_str()) != FALSE;
}

std::string Win32FileSystem::GetFullPathName(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      return {};
    }
    // A result no shorter than the buffer is the size needed, terminating zero included.
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

std::string Win32FileSystem::GetTempPath() {
  std::string path(MAX_PATH + 1, '\0');
  for (;;) {
    DWORD length = ::GetTempPathA(static_cast<DWORD>(path.size()), path.data());
    if (length == 0) {
      return {};
    }
    // A result no shorter than the buffer is the size needed, terminating zero included.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);
  }
}

std::string Win32FileSystem::GetTempFileName(const std::string& folder, const std::string& prefix) {
  // The call writes up to MAX_PATH characters, terminating zero included.
  char buffer[MAX_PATH];
  if (::GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer) == 0) {
    return {};
  }
  return buffer;
}

std::size_t Win32FileSystem::GetPrivateProfileSection(const std::string& section,
                                                      std::size_t capacity, const std::string& file,
                                                      std::string& lines) {
  // The buffer has exactly the caller's size, so a section too long for it is cut the way
  // the system cuts it.
  std::string buffer(capacity != 0 ? capacity : 1, '\0');
  DWORD copied = ::GetPrivateProfileSectionA(section.c_str(), buffer.data(),
                                             static_cast<DWORD>(capacity), file.c_str());
  if (copied > capacity) {
    copied = static_cast<DWORD>(capacity);
  }
  buffer.resize(copied);
  lines = std::move(buffer);
  return copied;
}

bool Win32FileSystem::WritePrivateProfileSection(const std::string& section,
                                                 const std::string& lines,
                                                 const std::string& file) {
  // The system reads up to an empty line: a zero more than the caller's guarantees that end
  // even when the last line lacks its own, and a surplus one is never read.
  std::string list = lines;
  list.push_back('\0');
  return ::WritePrivateProfileSectionA(section.c_str(), list.c_str(), file.c_str()) != FALSE;
}

std::unique_ptr<TextFile> Win32FileSystem::OpenTextFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rt");
  if (file == nullptr) {
    return nullptr;
  }
  return std::make_unique<Win32TextFile>(file);
}

std::optional<std::string> Win32FileSystem::ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> bytes;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long length = std::ftell(file);
    if (length >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
      bytes.emplace(static_cast<std::size_t>(length), '\0');
      bytes->resize(std::fread(bytes->data(), 1, bytes->size(), file));
    }
  }
  std::fclose(file);
  return bytes;
}

std::optional<platform::FileIdentity> Win32FileSystem::GetFileIdentity(const std::string& path) {
  // Backup semantics open folders as well; no access right beyond the attributes is needed, so
  // a file that another program holds open still answers.
  HANDLE handle = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = ::GetFileInformationByHandle(handle, &information) != FALSE;
  ::CloseHandle(handle);
  if (!known) {
    return std::nullopt;
  }
  return platform::FileIdentity{
      information.dwVolumeSerialNumber,
      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
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
