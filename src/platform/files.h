// Files and folders, with the Windows rules: drive-letter paths, "\" and "/" alike, names
// compared without regard to letter case but kept as written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// File attribute bits, with their Win32 values.
enum FileAttribute : std::uint32_t {
  kAttributeReadOnly = 0x01,
  kAttributeHidden = 0x02,
  kAttributeDirectory = 0x10,
  kAttributeArchive = 0x20,
  kAttributeNormal = 0x80,
};
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

struct FoundFile {
  std::string name;  // the name alone, as stored
  std::uint32_t attributes = 0;
};

// A file the C runtime opened for reading in text mode (fopen "rt").
class TextFile {
 public:
  virtual ~TextFile() = default;

  // fgets into a buffer of `capacity` bytes: at most capacity - 1 characters, ending after the
  // first line feed. CR LF reads as LF; a Ctrl-Z ends the file. Empty when nothing is left.
  virtual std::optional<std::string> ReadLine(std::size_t capacity) = 0;

  // rewind: the next read starts at the beginning again.
  virtual void Rewind() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // GetFileAttributesA: kInvalidFileAttributes when nothing exists at the path.
  virtual std::uint32_t GetFileAttributes(const std::string& path) = 0;

  // FindFirstFileA and FindNextFileA: every entry whose name matches the last component of
  // `pattern` (with * and ?), in the folder the rest names. A search of a folder's "*" yields
  // "." and ".." too. Empty when nothing matches or the folder does not exist.
  virtual std::vector<FoundFile> FindFiles(const std::string& pattern) = 0;

  // CreateDirectoryA: fails when the path exists or its parent does not.
  virtual bool CreateDirectory(const std::string& path) = 0;
  // RemoveDirectoryA: fails unless the folder exists and is empty.
  virtual bool RemoveDirectory(const std::string& path) = 0;
  // DeleteFileA: fails for a folder, a missing file and a read-only file.
  virtual bool DeleteFile(const std::string& path) = 0;

  // fopen(path, "rt"): nullptr when the file cannot be opened.
  virtual std::unique_ptr<TextFile> OpenTextFile(const std::string& path) = 0;

  // fopen(path, "at"), fputs(text), fclose: the file is created when missing, and each line
  // feed of `text` is written as CR LF. False when the file cannot be opened.
  virtual bool AppendText(const std::string& path, const std::string& text) = 0;
};

}  // namespace platform
