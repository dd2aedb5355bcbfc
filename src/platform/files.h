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
  // A junction, a mount point or a link: RemoveDirectoryA takes the link away, however full
  // the folder it leads to.
  kAttributeReparsePoint = 0x400,
};
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// MoveFileExA flags, with their Win32 values.
inline constexpr std::uint32_t kMoveFileReplaceExisting = 0x1;
inline constexpr std::uint32_t kMoveFileDelayUntilReboot = 0x4;

struct FoundFile {
  std::string name;  // the name alone, as stored
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;     // in bytes; 0 for a folder
  std::uint64_t created = 0;  // when it was made, as a FILETIME: 100 ns steps since 1601
};

// Which file or folder a path names, alike for every spelling that reaches it: a short name, a
// substituted drive, a junction, a share.
struct FileIdentity {
  std::uint32_t volumeSerial = 0;
  std::uint64_t fileIndex = 0;
  bool operator==(const FileIdentity&) const = default;
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
  // SetFileAttributesA: the directory bit cannot be changed this way.
  virtual bool SetFileAttributes(const std::string& path, std::uint32_t attributes) = 0;

  // CreateFileA asking for the attributes only, sharing everything (folders too), then
  // GetFileInformationByHandle: the volume's serial number and the file index. None when the
  // path cannot be opened.
  virtual std::optional<FileIdentity> GetFileIdentity(const std::string& path) = 0;

  // FindFirstFileA and FindNextFileA: every entry whose name matches the last component of
  // `pattern` (with * and ?), in the folder the rest names. A search of a folder's "*" yields
  // "." and ".." too. Empty when nothing matches or the folder does not exist.
  virtual std::vector<FoundFile> FindFiles(const std::string& pattern) = 0;

  // CreateDirectoryA: fails when the path exists or its parent does not.
  virtual bool CreateDirectory(const std::string& path) = 0;
  // RemoveDirectoryA: fails unless the folder exists and is empty.
  virtual bool RemoveDirectory(const std::string& path) = 0;
  // DeleteFileA: fails for a folder, a missing file, a read-only file and a file in use.
  virtual bool DeleteFile(const std::string& path) = 0;
  // CopyFileA: copies the contents and attributes; fails when `failIfExists` and the target
  // exists, and when the target is read-only or in use.
  virtual bool CopyFile(const std::string& existing, const std::string& target,
                        bool failIfExists) = 0;
  // MoveFileExA. With kMoveFileDelayUntilReboot the operation is only recorded, to be carried
  // out at the next system start in the order of the calls; no `target` then means deletion.
  // False when the system refuses to record it.
  virtual bool MoveFileEx(const std::string& existing, const std::optional<std::string>& target,
                          std::uint32_t flags) = 0;

  // SetCurrentDirectoryA. Relative paths and "\" (the root of the current drive) resolve
  // against the current directory.
  virtual bool SetCurrentDirectory(const std::string& path) = 0;

  // GetFullPathNameA: the path made full against the current folder, by its text alone (the
  // disk is not looked at); empty when it cannot be.
  virtual std::string GetFullPathName(const std::string& path) = 0;

  // GetTempPathA: the user's temporary folder, with a trailing backslash.
  virtual std::string GetTempPath() = 0;
  // GetTempFileNameA with a unique number chosen by the system: creates the empty file
  // `folder` + `prefix` + hexadecimal digits + ".tmp" and returns its path; empty on failure.
  virtual std::string GetTempFileName(const std::string& folder, const std::string& prefix) = 0;

  // GetPrivateProfileSectionA into a buffer of `capacity` characters: the section's lines, each
  // ended by a zero, as copied, without the list's closing zero. Returns the number of
  // characters copied; when the section does not fit, capacity - 2.
  virtual std::size_t GetPrivateProfileSection(const std::string& section, std::size_t capacity,
                                               const std::string& file, std::string& lines) = 0;
  // WritePrivateProfileSectionA: replaces the section with `lines` (each ended by a zero, the
  // list closed by a second zero). A bare file name lies in the Windows folder.
  virtual bool WritePrivateProfileSection(const std::string& section, const std::string& lines,
                                          const std::string& file) = 0;

  // fopen(path, "rt"): nullptr when the file cannot be opened.
  virtual std::unique_ptr<TextFile> OpenTextFile(const std::string& path) = 0;

  // fopen(path, "rb"), its length by fseek to the end and ftell, fseek back, fread, fclose: the
  // file's bytes as they are. Nothing when the file cannot be opened.
  virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;

  // fopen(path, "at"), fputs(text), fclose: the file is created when missing, and each line
  // feed of `text` is written as CR LF. False when the file cannot be opened.
  virtual bool AppendText(const std::string& path, const std::string& text) = 0;
};

}  // namespace platform
