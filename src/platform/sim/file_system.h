// The simulated machine's drives, folders and files, with the Windows path rules the logic
// relies on, and the version resources its program files carry.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/version.h"

namespace sim {

class FileSystem final : public platform::FileSystem {
 public:
  // A machine with drive C: and nothing on it.
  FileSystem();
  ~FileSystem() override;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // platform::FileSystem, as the program sees it.
  std::uint32_t GetFileAttributes(const std::string& path) override;
  std::vector<platform::FoundFile> FindFiles(const std::string& pattern) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  std::unique_ptr<platform::TextFile> OpenTextFile(const std::string& path) override;
  bool AppendText(const std::string& path, const std::string& text) override;

  // The test's side. Paths follow the same rules as the program's. Laying down a path on a
  // drive the machine lacks adds the drive; one that cannot be laid down (a file where a
  // folder should be) throws sim::ScriptError.
  void AddDrive(char letter);
  void CreateFolders(const std::string& path);
  // Creates or replaces the file, and the folders it lies in; its attributes and version stay
  // when it existed.
  void WriteFile(const std::string& path, std::string bytes);
  std::optional<std::string> ReadFile(const std::string& path) const;
  bool Exists(const std::string& path) const;
  // The attributes as GetFileAttributes reports them: the directory bit is the machine's, not
  // the test's, and a file without attributes reads as kAttributeNormal.
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  // The fixed file version of the file's version resource; none for a file without one.
  void SetFileVersion(const std::string& path, std::optional<platform::FixedFileVersion> version);
  std::optional<platform::FixedFileVersion> FileVersion(const std::string& path) const;
  // Removes a file or a whole folder tree whatever its attributes; nothing when it is missing.
  void Remove(const std::string& path);
  // Every drive, folder and file, names as stored, folders with a trailing backslash ("C:\",
  // "C:\WINDOWS\"), in order of their names compared without regard to case.
  std::vector<std::string> AllPaths() const;

  // Where a relative path starts, and "\name" finds its drive (every process shares it).
  void SetCurrentFolder(const std::string& path);

  struct Node;

 private:
  struct Location;
  Location Resolve(const std::string& path) const;
  Node* Find(const Location& location) const;
  Node* FindParent(const Location& location) const;
  Node& Lay(const std::string& path, bool folder);

  std::map<char, std::unique_ptr<Node>> drives_;  // upper-case letters
  char currentDrive_ = 'C';
  std::vector<std::string> currentFolder_;  // components below the drive's root
};

// Answers from the version each simulated file carries.
class FileVersions final : public platform::VersionResources {
 public:
  explicit FileVersions(FileSystem& files) : files_(files) {}
  std::optional<platform::FixedFileVersion> GetFixedFileVersion(const std::string& path) override;

 private:
  FileSystem& files_;
};

// Wildcard matching of FindFirstFile: * and ?, letter case ignored, and a pattern ending in
// ".*" also matches names without a dot (so "*.*" matches every name).
bool MatchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace sim
