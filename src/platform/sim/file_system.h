// The simulated machine's drives, folders and files, with the Windows path rules the logic
// relies on, and the version resources its program files carry. The path grammar lies in
// path_grammar.cpp, the store in file_store.cpp, and what waits for the next start (delayed
// operations, WININIT.INI, ini files) in delayed_operations.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/sim/faults.h"
#include "platform/version.h"

namespace sim {

// Whether a byte begins a double-byte character in the machine's ANSI code page.
using LeadByte = std::function<bool(unsigned char)>;

// How much a program that holds a file open lets others do with it.
enum class InUse {
  None,
  NotDeletable,  // like a running program file: it cannot be deleted or overwritten, only renamed
  NotRenamable,  // opened without any sharing of deletion: not even renamed
};

// A MoveFileEx call with kMoveFileDelayUntilReboot, paths made full at the time of the call.
struct DelayedOperation {
  std::string existing;
  std::optional<std::string> target;  // none: the file is deleted
  bool replaceExisting = false;       // kMoveFileReplaceExisting was given
  bool operator==(const DelayedOperation&) const = default;
};

class FileSystem final : public platform::FileSystem {
 public:
  // A machine with drive C: and nothing on it.
  FileSystem();
  ~FileSystem() override;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // platform::FileSystem, as the program sees it.
  std::uint32_t GetFileAttributes(const std::string& path) override;
  std::optional<platform::FileIdentity> GetFileIdentity(const std::string& path) override;
  std::vector<platform::FoundFile> FindFiles(const std::string& pattern) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool SetFileAttributes(const std::string& path, std::uint32_t attributes) override;
  bool CopyFile(const std::string& existing, const std::string& target, bool failIfExists) override;
  bool MoveFileEx(const std::string& existing, const std::optional<std::string>& target,
                  std::uint32_t flags) override;
  bool SetCurrentDirectory(const std::string& path) override;
  std::string GetFullPathName(const std::string& path) override;
  std::string GetTempPath() override;
  std::string GetTempFileName(const std::string& folder, const std::string& prefix) override;
  std::size_t GetPrivateProfileSection(const std::string& section, std::size_t capacity,
                                       const std::string& file, std::string& lines) override;
  bool WritePrivateProfileSection(const std::string& section, const std::string& lines,
                                  const std::string& file) override;
  std::unique_ptr<platform::TextFile> OpenTextFile(const std::string& path) override;
  std::optional<std::string> ReadWholeFile(const std::string& path) override;
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
  // the test's, and a file without attributes reads as kAttributeNormal. kAttributeReparsePoint
  // makes a folder a junction, whose entries stand for those of the folder it leads to.
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  // The fixed file version of the file's version resource; none for a file without one.
  void SetFileVersion(const std::string& path, std::optional<platform::FixedFileVersion> version);
  std::optional<platform::FixedFileVersion> FileVersion(const std::string& path) const;
  // Removes a file or a whole folder tree whatever its attributes; nothing when it is missing.
  void Remove(const std::string& path);
  // Every drive, folder and file, names as stored, folders with a trailing backslash ("C:\",
  // "C:\WINDOWS\"), in order of their names compared without regard to case.
  std::vector<std::string> AllPaths() const;

  // Where a relative path starts, and "\name" finds its drive, for the calls made outside any
  // process (the test's own) and for processes started without a folder of their own.
  void SetCurrentFolder(const std::string& path);
  // The current folder of the caller (see ActAs), full, without a trailing backslash unless it
  // is a drive's root.
  std::string CurrentFolder() const;
  // The full form of a path as Windows makes it before it looks at the disk, names as written.
  std::string FullPath(const std::string& path) const;
  // The full path of what lies there with every name as the disk spells it, a drive's root as
  // "C:\"; none when nothing lies there.
  std::optional<std::string> SpelledPath(const std::string& path) const;
  // The same path with every name that has an 8.3 alias spelled by it (GetShortPathName); none
  // when nothing lies there.
  std::optional<std::string> ShortPath(const std::string& path) const;

  // The error code of the caller's last failed call (see Acting: each process has its own, as
  // each thread has on Windows); kErrorSuccess before any. A call that succeeds leaves it, as
  // most Windows calls do. The machine's other facilities (shell links, process starts) set it
  // too.
  unsigned LastError() const;
  void SetLastError(unsigned code);

  // The most bytes the files on the drive may hold together (folders take none); none: no
  // limit, the default. A CopyFile, AppendText, WritePrivateProfileSection or saved shell link
  // that would pass it writes as much as fits, leaves that cut file in place and fails with
  // kErrorDiskFull. The test's own WriteFile is not limited. The drive is the one that holds
  // the files: a letter substituted for a folder counts against the drive of that folder.
  void SetDriveCapacity(char drive, std::optional<std::uint64_t> bytes);
  // The machine's fault injector, asked at each change a process makes; none: no faults. The
  // object is the path the call changes, as given (CopyFileA's target, GetTempFileNameA's
  // folder); a MoveFileExA for the next start names kLocalMachine, where those operations wait,
  // and an injected kErrorAccessDenied there refuses it once its paths are found good.
  void SetFaults(FaultInjector* faults) { faults_ = faults; }
  // What the files on the drive hold together, in bytes.
  std::uint64_t UsedBytes(char drive) const;

  // Nothing in or below the folder can be created, written, deleted, renamed or have its
  // attributes changed, the folder itself included; those calls fail with `error`
  // (kErrorWriteProtect for a read-only medium, kErrorAccessDenied for a folder without the
  // right to write). Reading goes on as before. The denial stays with the path, not with what
  // lies there. AllowChanges lifts the denial of exactly that folder.
  void DenyChanges(const std::string& folder, long error = platform::kErrorAccessDenied);
  void AllowChanges(const std::string& folder);

  // As a program saves a file of its own (CreateFileA with CREATE_ALWAYS, WriteFile,
  // CloseHandle): the file is made or replaced with `bytes`, under the rules of the program's
  // calls. False with the last error set when it cannot be; a full drive leaves the file cut.
  bool SaveFile(const std::string& path, const std::string& bytes);

  // Volumes make an 8.3 alias for every name that is not one, as NTFS does by default; a
  // volume without them (as NTFS can be set up) matches and finds by the long names only.
  void SetShortNames(char drive, bool made);
  // subst: the drive letter names the folder, whose files are then reached by either path.
  void SubstituteDrive(char letter, const std::string& folder);

  // A program holds the file open: the knob stays on the file when it is renamed, and is
  // dropped at a reboot. Throws sim::ScriptError for a missing file.
  void SetInUse(const std::string& path, InUse inUse);

  // What MoveFileEx with kMoveFileDelayUntilReboot recorded, in the order of the calls.
  const std::vector<DelayedOperation>& DelayedOperations() const { return delayed_; }
  // The system start: the recorded operations are carried out in order, each that fails is
  // skipped, and the list is emptied. A rename needs a free target unless the operation said
  // kMoveFileReplaceExisting.
  void CarryOutDelayedOperations();
  // A restart of Windows: every hold ends (ReleaseEverything), the delayed operations are
  // carried out, then the [rename] section of WININIT.INI in the Windows folder (lines
  // target=source; NUL=path deletes; a target in the way is replaced), and that section goes.
  void Restart();

  // The key=value lines of an ini file's section, as a program reading it would get them;
  // none when the file or the section is missing.
  std::optional<std::vector<std::pair<std::string, std::string>>> ProfileSection(
      const std::string& file, const std::string& section) const;
  // Removes the section with its lines; nothing when it is missing.
  void RemoveProfileSection(const std::string& file, const std::string& section);

  // Every drive, folder and file as in AllPaths, each with what a before-and-after comparison
  // needs: attributes, size, a hash of the contents and the file version.
  std::vector<std::string> Snapshot() const;

  // The machine's side. Where a bare ini file name lies, and the current user's temporary
  // folder (with its trailing backslash).
  void SetWindowsFolderSource(std::function<std::string()> source);
  void SetTempFolderSource(std::function<std::string()> source);
  // The code page's lead bytes, by which paths are taken apart into characters.
  void SetLeadByteSource(LeadByte leadByte) { leadByte_ = std::move(leadByte); }

  // Processes: each has a current folder of its own, starting at `startFolder` when that is a
  // folder, else where the machine's is. While running, its program file is in use (not
  // deletable) and its current folder cannot be removed or renamed.
  void AddProcess(unsigned id, const std::string& startFolder);
  void ProcessStarted(unsigned id, const std::string& programFile);
  void ProcessEnded(unsigned id);
  // Ends every hold: the in-use knobs, program files and current folders of running processes.
  void ReleaseEverything();

  // While the returned object lives, the calls resolve paths against process `id`'s current
  // folder and SetCurrentDirectory changes it.
  class Acting {
   public:
    Acting(FileSystem& files, unsigned id) : files_(files), previous_(files.acting_) {
      files.acting_ = id;
    }
    ~Acting() { files_.acting_ = previous_; }
    Acting(const Acting&) = delete;
    Acting& operator=(const Acting&) = delete;

   private:
    FileSystem& files_;
    unsigned previous_;
  };

  struct Node;

 private:
  struct Location;
  struct Context {
    char drive = 'C';
    std::vector<std::string> folder;  // components below the drive's root
    bool running = false;
    std::optional<std::uint64_t> program;  // the node held while running
  };

  Location Parse(const std::string& path) const;
  Location Resolve(const std::string& path) const;
  void Substitute(Location& location) const;
  void SpellAliasesOut(Location& location) const;
  std::string Fold(const std::string& name) const;
  bool IsValidName(const std::string& name) const;
  std::unique_ptr<Node> NewNode(const Node& parent, const std::string& name) const;
  std::string AliasFor(const Node& parent, const std::string& name) const;
  const Context& Current() const;
  bool Busy(const Node& node) const;
  bool BusyTree(const Node& node, const Location& location) const;
  bool IsCurrentFolderOfRunning(const Location& location, bool orBelow) const;
  std::string IniPath(const std::string& file) const;
  // The full path of what lies there, each name as the disk spells it or, with `aliases`, by its
  // 8.3 alias where it has one; none when nothing lies there.
  std::optional<std::string> Spell(const std::string& path, bool aliases) const;
  // MoveFileEx with kMoveFileDelayUntilReboot: recorded for the next start.
  bool DelayMove(const std::string& existing, const std::optional<std::string>& target,
                 std::uint32_t flags);
  static std::string Full(const Location& location);
  Node* Find(const Location& location) const;
  Node* FindParent(const Location& location) const;
  // The folder that is to hold the entry written at `location`; none, with the error in
  // `refused`, when it is missing, the path ends in a separator or the name is not valid.
  Node* FolderForEntry(const Location& location, long& refused) const;
  Node& Lay(const std::string& path, bool folder);
  // The error of a call that found nothing at the location.
  long MissingError(const Location& location) const;
  // The error a denial gives changes at the location; kErrorSuccess where changes are allowed.
  long DeniedError(const Location& location) const;
  // Why a file's contents may not be written at `location`, where `node` (if any) stands: a
  // folder, a denied folder, a read-only file or one in use; 0 when they may.
  long WriteRefusal(const Location& location, const Node* node) const;
  // How many bytes may be written to the drive once `freed` bytes of it are given up.
  std::uint64_t Room(char drive, std::uint64_t freed) const;
  bool Fail(long error);
  // The error an injected fault gives the acting process's change; none: it goes on.
  std::optional<unsigned> Injected(std::string_view call, std::string_view object);

  FaultInjector* faults_ = nullptr;
  std::map<char, std::unique_ptr<Node>> drives_;          // upper-case letters
  std::map<unsigned, Context> contexts_{{0, Context{}}};  // 0: outside any process
  unsigned acting_ = 0;
  std::vector<DelayedOperation> delayed_;
  unsigned nextTempNumber_ = 1;
  std::function<std::string()> windowsFolder_;
  std::function<std::string()> tempFolder_;
  LeadByte leadByte_;
  struct SubstitutedFolder {
    char drive;
    std::vector<std::string> components;
  };
  std::map<char, SubstitutedFolder> substitutes_;
  std::set<char> withoutAliases_;
  std::map<unsigned, unsigned> lastErrors_;  // by process, as acting_
  std::map<char, std::uint64_t> capacities_;
  struct Denial {
    char drive;
    std::vector<std::string> components;  // folded
    long error;
  };
  std::vector<Denial> denials_;
};

// Answers from the version each simulated file carries.
class FileVersions final : public platform::VersionResources {
 public:
  explicit FileVersions(FileSystem& files) : files_(files) {}
  std::optional<platform::FixedFileVersion> GetFixedFileVersion(const std::string& path) override;

 private:
  FileSystem& files_;
};

// Wildcard matching of FindFirstFile: * and ? (one character, a double-byte one too), letter
// case ignored, and a pattern ending in ".*" also matches names without a dot (so "*.*"
// matches every name).
bool MatchesWildcard(const std::string& pattern, const std::string& name,
                     const LeadByte& leadByte = {});

}  // namespace sim
