// The system's error code after the failures the program meets, as Process::LastError reads it
// for the run's log: both backends give Windows' codes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "conformance/scratch.h"

namespace {

using platform::kAttributeReadOnly;
using platform::kInvalidFileAttributes;

struct Case {
  const char* call;
  std::function<bool()> fails;  // makes the call; true when it failed
  long error;
};

class ErrorConformance : public conformance::ScratchTest {
 protected:
  void TearDown() override {
    for (const std::string& held : held_) {
      backend_->Release(held);
    }
    const std::string program = platform_.process.ModuleFileName();
    files_.SetCurrentDirectory(program.substr(0, program.rfind('\\')));
    ScratchTest::TearDown();
  }

  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(backend_->WriteBytes(Path(name), bytes)) << name;
  }
  void Hold(const std::string& name) {
    ASSERT_TRUE(backend_->HoldOpen(Path(name))) << name;
    held_.push_back(Path(name));
  }

  // Each call comes after a failure of another code, a name with a wildcard (ERROR_INVALID_NAME,
  // which no case expects), so that the code read is the call's own.
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      ASSERT_EQ(files_.GetFileAttributes(Path("no*name")), kInvalidFileAttributes);
      ASSERT_EQ(platform_.process.LastError(), 123u);
      EXPECT_TRUE(c.fails()) << c.call;
      EXPECT_EQ(platform_.process.LastError(), static_cast<unsigned>(c.error)) << c.call;
    }
  }

  bool Missing(const std::string& name) {
    return files_.GetFileAttributes(Path(name)) == kInvalidFileAttributes;
  }

  std::vector<std::string> held_;
};

// Replacing or appending to a read-only file fails with ERROR_ACCESS_DENIED on Windows, but Wine
// replaces it, and leaves appending to the host, which lets the test machines' root user write:
// the simulation's own tests pin those.
TEST_F(ErrorConformance, FailedFileCallsLeaveTheSystemsCode) {
  Write("file.txt", "file");
  Write("other.txt", "other");
  Write("readonly.txt", "keep");
  ASSERT_TRUE(backend_->SetAttributes(Path("readonly.txt"), kAttributeReadOnly));
  ASSERT_TRUE(files_.CreateDirectory(Path("full")));
  Write("full\\inner.txt", "");
  ASSERT_TRUE(files_.CreateDirectory(Path("empty")));
  std::string lines;

  Check({
      {"GetFileAttributes of a missing file", [&] { return Missing("missing.txt"); }, 2},
      {"GetFileAttributes below a missing folder", [&] { return Missing("gone\\x.txt"); }, 3},
      {"GetFileAttributes below a file", [&] { return Missing("file.txt\\x"); }, 3},
      {"DeleteFile of a missing file", [&] { return !files_.DeleteFile(Path("missing.txt")); }, 2},
      {"DeleteFile below a missing folder", [&] { return !files_.DeleteFile(Path("gone\\x.txt")); },
       3},
      {"DeleteFile of a read-only file", [&] { return !files_.DeleteFile(Path("readonly.txt")); },
       5},
      {"DeleteFile of a folder", [&] { return !files_.DeleteFile(Path("empty")); }, 5},
      {"CreateDirectory of an existing folder",
       [&] { return !files_.CreateDirectory(Path("empty")); }, 183},
      {"CreateDirectory over a file", [&] { return !files_.CreateDirectory(Path("file.txt")); },
       183},
      {"CreateDirectory below a missing folder",
       [&] { return !files_.CreateDirectory(Path("gone\\sub")); }, 3},
      {"RemoveDirectory of a folder that holds a file",
       [&] { return !files_.RemoveDirectory(Path("full")); }, 145},
      {"RemoveDirectory of a missing folder", [&] { return !files_.RemoveDirectory(Path("gone")); },
       2},
      {"RemoveDirectory of a file", [&] { return !files_.RemoveDirectory(Path("file.txt")); }, 267},
      {"CopyFile onto an existing file when it must not exist",
       [&] { return !files_.CopyFile(Path("file.txt"), Path("other.txt"), true); }, 80},
      {"CopyFile of a missing file",
       [&] { return !files_.CopyFile(Path("missing.txt"), Path("copy.txt"), false); }, 2},
      {"CopyFile into a missing folder",
       [&] { return !files_.CopyFile(Path("file.txt"), Path("gone\\copy.txt"), false); }, 3},
      {"CopyFile onto a folder",
       [&] { return !files_.CopyFile(Path("file.txt"), Path("empty"), false); }, 5},
      {"CopyFile of a file onto itself",
       [&] { return !files_.CopyFile(Path("file.txt"), Path("FILE.TXT"), false); }, 32},
      {"MoveFileEx onto an existing file",
       [&] { return !files_.MoveFileEx(Path("file.txt"), Path("other.txt"), 0); }, 183},
      {"MoveFileEx of a missing file",
       [&] { return !files_.MoveFileEx(Path("missing.txt"), Path("moved.txt"), 0); }, 2},
      {"MoveFileEx of a folder into itself",
       [&] { return !files_.MoveFileEx(Path("full"), Path("full\\moved"), 0); }, 87},
      {"MoveFileEx into a missing folder",
       [&] { return !files_.MoveFileEx(Path("file.txt"), Path("gone\\moved.txt"), 0); }, 3},
      {"SetFileAttributes of a missing file",
       [&] { return !files_.SetFileAttributes(Path("missing.txt"), kAttributeReadOnly); }, 2},
      {"SetCurrentDirectory to a missing folder",
       [&] { return !files_.SetCurrentDirectory(Path("gone")); }, 2},
      {"SetCurrentDirectory to a file",
       [&] { return !files_.SetCurrentDirectory(Path("file.txt")); }, 267},
      {"GetTempFileName in a missing folder",
       [&] { return files_.GetTempFileName(Path("gone"), "uni").empty(); }, 267},
      {"OpenTextFile of a missing file",
       [&] { return files_.OpenTextFile(Path("missing.txt")) == nullptr; }, 2},
      {"ReadWholeFile below a missing folder",
       [&] { return !files_.ReadWholeFile(Path("gone\\x.txt")); }, 3},
      {"ReadWholeFile of a folder", [&] { return !files_.ReadWholeFile(Path("empty")); }, 5},
      {"AppendText below a missing folder",
       [&] { return !files_.AppendText(Path("gone\\log.txt"), "x"); }, 3},
      {"AppendText to a folder", [&] { return !files_.AppendText(Path("empty"), "x"); }, 5},
      {"WritePrivateProfileSection below a missing folder",
       [&] {
         return !files_.WritePrivateProfileSection("rename", std::string("a=b\0", 4),
                                                   Path("gone\\x.ini"));
       },
       3},
  });
  // Nothing of it changed what lay there.
  EXPECT_EQ(backend_->ReadBytes(Path("other.txt")), "other");
  EXPECT_EQ(backend_->ReadBytes(Path("readonly.txt")), "keep");
  EXPECT_EQ(backend_->ReadBytes(Path("file.txt")), "file");
}

TEST_F(ErrorConformance, FileThatAnotherProgramReadsIsInUse) {
  Write("held.txt", "keep");
  Write("other.txt", "other");
  Hold("held.txt");
  Check({
      {"DeleteFile", [&] { return !files_.DeleteFile(Path("held.txt")); }, 32},
      {"MoveFileEx", [&] { return !files_.MoveFileEx(Path("held.txt"), Path("moved.txt"), 0); },
       32},
      {"CopyFile onto it",
       [&] { return !files_.CopyFile(Path("other.txt"), Path("held.txt"), false); }, 32},
      {"AppendText", [&] { return !files_.AppendText(Path("held.txt"), "x"); }, 32},
      // Replacing opens the target for deletion, which the sharing refuses as access.
      {"MoveFileEx replacing it",
       [&] {
         return !files_.MoveFileEx(Path("other.txt"), Path("held.txt"),
                                   platform::kMoveFileReplaceExisting);
       },
       5},
  });
  EXPECT_EQ(files_.ReadWholeFile(Path("held.txt")), "keep");

  backend_->Release(Path("held.txt"));
  EXPECT_TRUE(files_.DeleteFile(Path("held.txt")));
}

TEST_F(ErrorConformance, RunningProgramsFileAndCurrentFolderAreInUse) {
  const std::string program = platform_.process.ModuleFileName();
  Write("other.exe", "MZ");
  ASSERT_TRUE(files_.CreateDirectory(Path("current")));
  ASSERT_TRUE(files_.SetCurrentDirectory(Path("current")));
  Check({
      // The mapped program opens for deletion and then refuses to go; writing it cannot open.
      {"DeleteFile of the program", [&] { return !files_.DeleteFile(program); }, 5},
      {"CopyFile onto the program",
       [&] { return !files_.CopyFile(Path("other.exe"), program, false); }, 32},
      {"RemoveDirectory of the current folder",
       [&] { return !files_.RemoveDirectory(Path("current")); }, 32},
      {"MoveFileEx of the current folder",
       [&] { return !files_.MoveFileEx(Path("current"), Path("moved"), 0); }, 32},
  });
  EXPECT_NE(files_.GetFileAttributes(program), kInvalidFileAttributes);
}

}  // namespace
