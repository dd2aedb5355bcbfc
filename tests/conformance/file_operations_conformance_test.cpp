// Copies, moves, attributes, the current folder and temporary files: the calls the removal
// relies on to hand over to a copy of itself and to clear its own folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "conformance/scratch.h"

namespace {

using platform::kAttributeArchive;
using platform::kAttributeDirectory;
using platform::kAttributeHidden;
using platform::kAttributeNormal;
using platform::kAttributeReadOnly;
using platform::kInvalidFileAttributes;
using platform::kMoveFileDelayUntilReboot;
using platform::kMoveFileReplaceExisting;

// Wine keeps the archive bit where Windows reports "normal", so only these are compared.
constexpr std::uint32_t kBits = kAttributeReadOnly | kAttributeHidden | kAttributeDirectory;

class FileOperationsConformance : public conformance::ScratchTest {
 protected:
  // A process cannot remove the folder it stands in: whatever a test did, leave it first.
  void TearDown() override {
    const std::string program = platform_.process.ModuleFileName();
    files_.SetCurrentDirectory(program.substr(0, program.rfind('\\')));
    ScratchTest::TearDown();
  }

  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(backend_->WriteBytes(Path(name), bytes)) << name;
  }
  std::uint32_t Bits(const std::string& name) {
    return files_.GetFileAttributes(Path(name)) & kBits;
  }
  bool Exists(const std::string& name) {
    return files_.GetFileAttributes(Path(name)) != kInvalidFileAttributes;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const platform::FoundFile& entry : files_.FindFiles(Path("*"))) {
      if (entry.name != "." && entry.name != "..") {
        names.push_back(entry.name);
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(FileOperationsConformance, SetFileAttributesChangesAllButTheDirectoryBit) {
  Write("file.txt", "x");
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));

  ASSERT_TRUE(files_.SetFileAttributes(Path("file.txt"), kAttributeReadOnly | kAttributeHidden));
  EXPECT_EQ(Bits("file.txt"), kAttributeReadOnly | kAttributeHidden);
  // A read-only file resists deletion until the bit is cleared again.
  EXPECT_FALSE(files_.DeleteFile(Path("file.txt")));
  ASSERT_TRUE(files_.SetFileAttributes(Path("file.txt"), kAttributeNormal));
  EXPECT_EQ(Bits("file.txt"), 0u);
  EXPECT_TRUE(files_.DeleteFile(Path("file.txt")));

  // "Normal" on a folder leaves it a folder.
  ASSERT_TRUE(files_.SetFileAttributes(Path("folder"), kAttributeNormal));
  EXPECT_EQ(files_.GetFileAttributes(Path("folder")), kAttributeDirectory);
  ASSERT_TRUE(files_.SetFileAttributes(Path("folder"), kAttributeHidden));
  EXPECT_EQ(Bits("folder"), kAttributeDirectory | kAttributeHidden);

  EXPECT_FALSE(files_.SetFileAttributes(Path("missing.txt"), kAttributeNormal));
}

TEST_F(FileOperationsConformance, CopyFileCarriesContentsAttributesAndVersion) {
  Write("source.txt", "contents");
  ASSERT_TRUE(backend_->SetAttributes(Path("source.txt"), kAttributeHidden | kAttributeArchive));
  ASSERT_TRUE(files_.CopyFile(Path("source.txt"), Path("copy.txt"), true));
  EXPECT_EQ(backend_->ReadBytes(Path("copy.txt")), "contents");
  EXPECT_EQ(Bits("copy.txt"), kAttributeHidden);
  EXPECT_EQ(backend_->ReadBytes(Path("source.txt")), "contents");

  // The program file's version resource is part of its contents.
  const std::string program = platform_.process.ModuleFileName();
  ASSERT_TRUE(files_.CopyFile(program, Path("program.tmp"), true));
  EXPECT_EQ(platform_.versions.GetFixedFileVersion(Path("program.tmp")),
            conformance::kProgramVersion);
}

TEST_F(FileOperationsConformance, CopyFileOntoAnExistingFile) {
  Write("source.txt", "new");
  Write("target.txt", "old");

  EXPECT_FALSE(files_.CopyFile(Path("source.txt"), Path("target.txt"), true));
  EXPECT_EQ(backend_->ReadBytes(Path("target.txt")), "old");
  EXPECT_TRUE(files_.CopyFile(Path("source.txt"), Path("TARGET.TXT"), false));
  EXPECT_EQ(backend_->ReadBytes(Path("target.txt")), "new");
  // The overwritten entry keeps the name it had.
  EXPECT_EQ(Names(), (std::vector<std::string>{"source.txt", "target.txt"}));

  // A file cannot be copied onto itself, nor a folder be the target.
  EXPECT_FALSE(files_.CopyFile(Path("source.txt"), Path("source.txt"), false));
  EXPECT_EQ(backend_->ReadBytes(Path("source.txt")), "new");
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_FALSE(files_.CopyFile(Path("source.txt"), Path("folder"), false));
}

// The installation copies with "fail if it exists" first and replaces only after a refusal; the
// removal deletes a hidden file without clearing its attributes first.
TEST_F(FileOperationsConformance, FailIfExistsLeavesEveryKindOfTargetAsItWas) {
  Write("source.txt", "new");
  for (const std::uint32_t attributes :
       {std::uint32_t{platform::kAttributeReadOnly}, std::uint32_t{platform::kAttributeHidden}}) {
    Write("target.txt", "old");
    ASSERT_TRUE(backend_->SetAttributes(Path("target.txt"), attributes));
    EXPECT_FALSE(files_.CopyFile(Path("source.txt"), Path("target.txt"), true)) << attributes;
    EXPECT_EQ(backend_->ReadBytes(Path("target.txt")), "old") << attributes;
    EXPECT_EQ(files_.GetFileAttributes(Path("target.txt")) & attributes, attributes);
    ASSERT_TRUE(backend_->SetAttributes(Path("target.txt"), platform::kAttributeNormal));
  }
  ASSERT_TRUE(files_.CreateDirectory(Path("folder.txt")));
  EXPECT_FALSE(files_.CopyFile(Path("source.txt"), Path("folder.txt"), true));
  EXPECT_EQ(files_.GetFileAttributes(Path("folder.txt")), platform::kAttributeDirectory);

  ASSERT_TRUE(backend_->SetAttributes(Path("target.txt"), platform::kAttributeHidden));
  EXPECT_TRUE(files_.DeleteFile(Path("target.txt")));
}

TEST_F(FileOperationsConformance, CopyFileFailsWithoutSourceOrTargetFolder) {
  Write("source.txt", "x");
  EXPECT_FALSE(files_.CopyFile(Path("missing.txt"), Path("copy.txt"), false));
  EXPECT_FALSE(files_.CopyFile(Path("source.txt"), Path("no folder\\copy.txt"), false));
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_FALSE(files_.CopyFile(Path("folder"), Path("copy.txt"), false));
  EXPECT_FALSE(Exists("copy.txt"));
}

TEST_F(FileOperationsConformance, MoveFileExRenamesFilesAndFolders) {
  Write("old.txt", "contents");
  ASSERT_TRUE(files_.MoveFileEx(Path("old.txt"), Path("new.txt"), 0));
  EXPECT_FALSE(Exists("old.txt"));
  EXPECT_EQ(backend_->ReadBytes(Path("new.txt")), "contents");

  // A read-only file can be renamed; only its deletion is refused.
  ASSERT_TRUE(backend_->SetAttributes(Path("new.txt"), kAttributeReadOnly));
  ASSERT_TRUE(files_.MoveFileEx(Path("new.txt"), Path("renamed.txt"), 0));
  EXPECT_EQ(Bits("renamed.txt"), kAttributeReadOnly);
  ASSERT_TRUE(backend_->SetAttributes(Path("renamed.txt"), kAttributeNormal));

  // Into another folder, and a whole folder with what it holds.
  ASSERT_TRUE(files_.CreateDirectory(Path("a")));
  ASSERT_TRUE(files_.MoveFileEx(Path("renamed.txt"), Path("a\\inside.txt"), 0));
  ASSERT_TRUE(files_.MoveFileEx(Path("a"), Path("b"), 0));
  EXPECT_EQ(backend_->ReadBytes(Path("b\\inside.txt")), "contents");
  EXPECT_FALSE(Exists("a"));

  EXPECT_FALSE(files_.MoveFileEx(Path("missing.txt"), Path("any.txt"), 0));
  EXPECT_FALSE(files_.MoveFileEx(Path("b\\inside.txt"), Path("no folder\\x.txt"), 0));
  EXPECT_FALSE(files_.MoveFileEx(Path("b"), Path("b\\C"), 0));
  EXPECT_EQ(backend_->ReadBytes(Path("b\\inside.txt")), "contents");
}

TEST_F(FileOperationsConformance, MoveFileExReplacesOnlyWhenAllowed) {
  Write("source.txt", "new");
  Write("target.txt", "old");

  EXPECT_FALSE(files_.MoveFileEx(Path("source.txt"), Path("target.txt"), 0));
  EXPECT_EQ(backend_->ReadBytes(Path("target.txt")), "old");
  EXPECT_EQ(backend_->ReadBytes(Path("source.txt")), "new");

  ASSERT_TRUE(files_.MoveFileEx(Path("source.txt"), Path("target.txt"), kMoveFileReplaceExisting));
  EXPECT_EQ(backend_->ReadBytes(Path("target.txt")), "new");
  EXPECT_FALSE(Exists("source.txt"));

  // A folder is not replaced by a file. (Nor is a read-only file on Windows, which Wine does
  // replace: the simulation's own tests keep that.)
  Write("another.txt", "another");
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_FALSE(files_.MoveFileEx(Path("another.txt"), Path("folder"), kMoveFileReplaceExisting));
  EXPECT_EQ(backend_->ReadBytes(Path("another.txt")), "another");
}

TEST_F(FileOperationsConformance, DelayedDeletionIsAcceptedAndChangesNothingNow) {
  // Recorded for the next start; the file goes here already, so that start finds nothing to do.
  Write("at-reboot.tmp", "x");
  EXPECT_TRUE(files_.MoveFileEx(Path("at-reboot.tmp"), std::nullopt, kMoveFileDelayUntilReboot));
  EXPECT_EQ(backend_->ReadBytes(Path("at-reboot.tmp")), "x");
  EXPECT_TRUE(files_.DeleteFile(Path("at-reboot.tmp")));
}

TEST_F(FileOperationsConformance, CurrentDirectoryAnchorsRelativePaths) {
  const std::string program = platform_.process.ModuleFileName();
  const std::string programFolder = program.substr(0, program.rfind('\\'));
  ASSERT_TRUE(files_.CreateDirectory(Path("sub")));
  Write("sub\\inner.txt", "inner");

  ASSERT_TRUE(files_.SetCurrentDirectory(folder_));
  EXPECT_TRUE(files_.AppendText("relative.txt", "r"));
  EXPECT_EQ(backend_->ReadBytes(Path("relative.txt")), "r");
  EXPECT_EQ(files_.GetFileAttributes("sub\\inner.txt") & kBits, 0u);
  EXPECT_EQ(files_.GetFileAttributes(".\\sub\\..\\relative.txt") & kBits, 0u);

  ASSERT_TRUE(files_.SetCurrentDirectory("sub"));
  EXPECT_NE(files_.GetFileAttributes("inner.txt"), kInvalidFileAttributes);
  EXPECT_NE(files_.GetFileAttributes("..\\relative.txt"), kInvalidFileAttributes);

  // Neither a missing folder nor a file can be current; the current one stays.
  EXPECT_FALSE(files_.SetCurrentDirectory(Path("missing")));
  EXPECT_FALSE(files_.SetCurrentDirectory("inner.txt"));
  EXPECT_NE(files_.GetFileAttributes("inner.txt"), kInvalidFileAttributes);

  // "\" is the root of the current folder's drive.
  ASSERT_TRUE(files_.SetCurrentDirectory("\\"));
  EXPECT_EQ(files_.GetFileAttributes("inner.txt"), kInvalidFileAttributes);
  EXPECT_EQ(files_.GetFileAttributes(programFolder.substr(2)) & kBits, kAttributeDirectory)
      << programFolder;
  EXPECT_EQ(files_.GetFileAttributes(folder_.substr(3) + "\\sub\\inner.txt") & kBits, 0u)
      << folder_;
}

TEST_F(FileOperationsConformance, FullPathNamesAreMadeFromTheTextAndTheCurrentFolder) {
  ASSERT_TRUE(files_.SetCurrentDirectory(folder_));
  const std::string drive = folder_.substr(0, 2);
  const std::string parent = folder_.substr(0, folder_.rfind('\\'));
  struct Case {
    std::string path;
    std::string full;
  };
  const std::vector<Case> cases = {
      // Nothing needs to lie there.
      {"missing\\b.txt", folder_ + "\\missing\\b.txt"},
      {"missing/b.txt", folder_ + "\\missing\\b.txt"},
      {".", folder_},
      {".\\a\\..\\b", folder_ + "\\b"},
      {"..\\x", parent + "\\x"},
      // The root of the current folder's drive, and the drive's current folder.
      {"\\x", drive + "\\x"},
      {drive + "x", folder_ + "\\x"},
      {drive + "\\a\\..\\..\\..\\x", drive + "\\x"},
      // A trailing separator stays; final dots and blanks of the last name go.
      {"sub\\", folder_ + "\\sub\\"},
      {"name. .", folder_ + "\\name"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(files_.GetFullPathName(c.path), c.full) << c.path;
  }
  EXPECT_EQ(files_.GetFileAttributes(Path("missing")), kInvalidFileAttributes);
}

TEST_F(FileOperationsConformance, CurrentFolderOfTheRunningProgramCannotBeRemoved) {
  const std::string program = platform_.process.ModuleFileName();
  ASSERT_TRUE(files_.CreateDirectory(Path("current")));
  ASSERT_TRUE(files_.SetCurrentDirectory(Path("current")));
  EXPECT_FALSE(files_.RemoveDirectory(Path("current")));
  EXPECT_FALSE(files_.MoveFileEx(Path("current"), Path("moved"), 0));
  ASSERT_TRUE(files_.SetCurrentDirectory("\\"));
  EXPECT_TRUE(files_.RemoveDirectory(Path("current")));
}

TEST_F(FileOperationsConformance, TempPathIsAnExistingFolderWithItsBackslash) {
  const std::string temp = files_.GetTempPath();
  ASSERT_GE(temp.size(), 3u);
  EXPECT_EQ(temp.back(), '\\') << temp;
  EXPECT_EQ(temp.substr(1, 2), ":\\") << temp;
  EXPECT_EQ(files_.GetFileAttributes(temp) & kAttributeDirectory, kAttributeDirectory) << temp;
}

TEST_F(FileOperationsConformance, TempFileNamesAreNewEmptyFiles) {
  const std::string first = files_.GetTempFileName(folder_ + "\\", "uni");
  const std::string second = files_.GetTempFileName(folder_, "uni");
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);

  for (const std::string& path : {first, second}) {
    // prefix, one to four hexadecimal digits, ".tmp". Windows writes the digits in upper case,
    // Wine in lower case.
    const std::string start = folder_ + "\\uni";
    ASSERT_EQ(path.rfind(start, 0), 0u) << path;
    ASSERT_GE(path.size(), start.size() + 5) << path;
    const std::string digits = path.substr(start.size(), path.size() - start.size() - 4);
    EXPECT_EQ(path.substr(path.size() - 4), ".tmp") << path;
    EXPECT_TRUE(!digits.empty() && digits.size() <= 4) << path;
    for (const char c : digits) {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) ||
                  std::isxdigit(static_cast<unsigned char>(c)))
          << path;
    }
    EXPECT_EQ(backend_->ReadBytes(path), "") << path;
    EXPECT_TRUE(files_.DeleteFile(path)) << path;
  }

  EXPECT_EQ(files_.GetTempFileName(Path("missing"), "uni"), "");
}

}  // namespace
