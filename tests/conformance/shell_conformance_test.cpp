#include <gtest/gtest.h>

#include <string>

#include "conformance/scratch.h"

namespace {

// A name no Windows sets, so that an earlier run or the host cannot have given it a value.
constexpr char kVariable[] = "PICTAVO_CONFORMANCE_SFXNAME";

TEST(EnvironmentConformance, SetVariableIsFoundWhateverTheCaseOfItsName) {
  auto backend = conformance::MakeBackend();
  ASSERT_TRUE(backend->SetEnvironmentVariable(kVariable, "C:\\Down loads\\Setup.exe"));
  platform::Process& process = backend->Get().process;
  EXPECT_EQ(process.GetEnvironmentVariable(kVariable), "C:\\Down loads\\Setup.exe");
  EXPECT_EQ(process.GetEnvironmentVariable("pictavo_conformance_sfxname"),
            "C:\\Down loads\\Setup.exe");
}

TEST(EnvironmentConformance, MissingVariableHasNoValue) {
  auto backend = conformance::MakeBackend();
  EXPECT_EQ(backend->Get().process.GetEnvironmentVariable("PICTAVO_CONFORMANCE_NEVER_SET"),
            std::nullopt);
}

TEST(LibraryConformance, SystemLibrariesLoadByBareNameInAnyCase) {
  auto backend = conformance::MakeBackend();
  platform::Process& process = backend->Get().process;
  EXPECT_TRUE(process.CanLoadLibrary("kernel32.dll"));
  EXPECT_TRUE(process.CanLoadLibrary("KERNEL32.DLL"));
  EXPECT_TRUE(process.CanLoadLibrary("ole32.dll"));
  // Without an extension the loader adds ".dll".
  EXPECT_TRUE(process.CanLoadLibrary("user32"));
}

TEST(LibraryConformance, UnknownLibraryDoesNotLoad) {
  auto backend = conformance::MakeBackend();
  EXPECT_FALSE(backend->Get().process.CanLoadLibrary("no-such-library-xyz.dll"));
}

TEST(EnvironmentConformance, EmptyValueRemovesTheVariable) {
  auto backend = conformance::MakeBackend();
  ASSERT_TRUE(backend->SetEnvironmentVariable(kVariable, "setup.exe"));
  ASSERT_TRUE(backend->SetEnvironmentVariable(kVariable, ""));
  EXPECT_EQ(backend->Get().process.GetEnvironmentVariable(kVariable), std::nullopt);
}

TEST(LibraryConformance, RunningProgramIsFoundByItsOwnName) {
  auto backend = conformance::MakeBackend();
  EXPECT_TRUE(backend->Get().process.CanLoadLibrary(backend->ProgramFileName()));
}

class ShellLinkConformance : public conformance::ScratchTest {
 protected:
  // A process cannot remove the folder it stands in: whatever a test did, leave it first.
  void TearDown() override {
    const std::string program = platform_.process.ModuleFileName();
    files_.SetCurrentDirectory(program.substr(0, program.rfind('\\')));
    ScratchTest::TearDown();
  }

  // A target that exists, as the program's shortcuts point at files it has laid down.
  std::string Target() {
    const std::string target = Path("Pictv6.exe");
    EXPECT_TRUE(backend_->WriteBytes(target, "MZ"));
    return target;
  }
};

TEST_F(ShellLinkConformance, SavedLinkKeepsTargetFolderAndDescription) {
  const std::string target = Target();
  std::unique_ptr<platform::ShellLink> link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->SetPath(target));
  EXPECT_TRUE(link->SetDescription("Pictavo 6"));
  EXPECT_TRUE(link->SetWorkingDirectory(folder_));
  ASSERT_TRUE(link->Save(Path("Pictavo 6.lnk")));
  link.reset();

  const std::uint32_t attributes = files_.GetFileAttributes(Path("Pictavo 6.lnk"));
  ASSERT_NE(attributes, platform::kInvalidFileAttributes);
  EXPECT_EQ(attributes & platform::kAttributeDirectory, 0u);
  EXPECT_EQ(backend_->ReadShortcut(Path("Pictavo 6.lnk")),
            (conformance::SavedShortcut{target, folder_, "Pictavo 6"}));
}

TEST_F(ShellLinkConformance, SavingAgainReplacesTheEarlierLink) {
  const std::string first = Target();
  const std::string second = Path("Other.exe");
  ASSERT_TRUE(backend_->WriteBytes(second, "MZ"));
  {
    auto link = platform_.shell.CreateShellLink();
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(link->SetPath(first));
    ASSERT_TRUE(link->SetDescription("old"));
    ASSERT_TRUE(link->Save(Path("Link.lnk")));
  }
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetPath(second));
  ASSERT_TRUE(link->SetDescription("new"));
  ASSERT_TRUE(link->SetWorkingDirectory(folder_));
  EXPECT_TRUE(link->Save(Path("Link.lnk")));
  EXPECT_EQ(backend_->ReadShortcut(Path("Link.lnk")),
            (conformance::SavedShortcut{second, folder_, "new"}));
}

TEST_F(ShellLinkConformance, MissingTargetIsAcceptedAndKept) {
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  // The shell answers S_FALSE: it could not resolve the target, but that is no failure.
  EXPECT_TRUE(link->SetPath(Path("Missing.exe")));
  // The working folder is taken as it is, there or not.
  EXPECT_TRUE(link->SetWorkingDirectory(Path("Missing")));
  ASSERT_TRUE(link->Save(Path("Dangling.lnk")));
  EXPECT_EQ(backend_->ReadShortcut(Path("Dangling.lnk")),
            (conformance::SavedShortcut{Path("Missing.exe"), Path("Missing"), ""}));
}

TEST_F(ShellLinkConformance, RelativeTargetAndLinkStartAtTheCurrentFolder) {
  const std::string target = Target();
  ASSERT_TRUE(files_.SetCurrentDirectory(folder_));
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->SetPath("Pictv6.exe"));
  EXPECT_TRUE(link->Save("Relative.lnk"));
  const std::optional<conformance::SavedShortcut> saved =
      backend_->ReadShortcut(Path("Relative.lnk"));
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->target, target);
}

TEST_F(ShellLinkConformance, SaveOverAFileThatIsNoLinkReplacesIt) {
  ASSERT_TRUE(backend_->WriteBytes(Path("Plain.lnk"), "not a link"));
  EXPECT_EQ(backend_->ReadShortcut(Path("Plain.lnk")), std::nullopt);
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetPath(Target()));
  EXPECT_TRUE(link->Save(Path("Plain.lnk")));
  ASSERT_TRUE(backend_->ReadShortcut(Path("Plain.lnk")));
  EXPECT_EQ(backend_->ReadShortcut(Path("Plain.lnk"))->target, Path("Pictv6.exe"));
}

TEST_F(ShellLinkConformance, SaveNeedsAnExistingFolderAndAFreeName) {
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetPath(Target()));
  EXPECT_FALSE(link->Save(Path("Missing\\Pictavo 6.lnk")));
  EXPECT_EQ(files_.GetFileAttributes(Path("Missing")), platform::kInvalidFileAttributes);

  ASSERT_TRUE(files_.CreateDirectory(Path("Taken.lnk")));
  EXPECT_FALSE(link->Save(Path("Taken.lnk")));
  EXPECT_EQ(files_.GetFileAttributes(Path("Taken.lnk")) & platform::kAttributeDirectory,
            platform::kAttributeDirectory);
  EXPECT_FALSE(link->Save(""));
}

TEST_F(ShellLinkConformance, FailedSaveLeavesItsResultAsTheLastError) {
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetPath(Target()));
  ASSERT_TRUE(files_.CreateDirectory(Path("Taken.lnk")));
  const std::string tooLong = folder_ + "\\" + std::string(260, 'x') + ".lnk";
  struct Case {
    std::string path;
    unsigned result;
  };
  // HRESULTs made of ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER; each
  // differs from the one before, so that each is the call's own.
  for (const Case& c :
       {Case{Path("Missing\\Pictavo 6.lnk"), 0x80070003u}, Case{Path("Taken.lnk"), 0x80070005u},
        Case{tooLong, 0x8007007Au}, Case{Path("Missing\\Other.lnk"), 0x80070003u}}) {
    EXPECT_FALSE(link->Save(c.path)) << c.path;
    EXPECT_EQ(platform_.process.LastError(), c.result) << c.path;
  }
}

TEST_F(ShellLinkConformance, PathMustFitTheWideBufferWithItsTerminator) {
  auto link = platform_.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetPath(Target()));
  // 260 characters with the terminator fit; one more does not.
  const std::string prefix = folder_ + "\\";
  ASSERT_LT(prefix.size(), 250u) << prefix;
  const std::string tooLong = prefix + std::string(260 - prefix.size() - 4, 'x') + ".lnk";
  ASSERT_EQ(tooLong.size(), 260u);
  EXPECT_FALSE(link->Save(tooLong));
  EXPECT_EQ(files_.GetFileAttributes(tooLong), platform::kInvalidFileAttributes);

  const std::string longest = tooLong.substr(0, prefix.size()) + tooLong.substr(prefix.size() + 1);
  ASSERT_EQ(longest.size(), 259u);
  EXPECT_TRUE(link->Save(longest));
  EXPECT_NE(files_.GetFileAttributes(longest), platform::kInvalidFileAttributes);
}

}  // namespace
