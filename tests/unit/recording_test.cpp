// The recording layer passes every call through and writes the failed changes to the log.
#include "platform/recording.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "platform/errors.h"
#include "platform/sim/machine.h"

namespace {

constexpr char kLog[] = "C:\\log.txt";

class RecordingTest : public ::testing::Test {
 protected:
  RecordingTest() {
    machine_.Files().WriteFile("C:\\Data\\a.txt", "a");
    machine_.Files().WriteFile("C:\\Data\\b.txt", "b");
  }

  // The lines one call wrote.
  std::vector<std::string> LinesOf(const std::function<void(platform::Platform&)>& call) {
    machine_.Files().Remove(kLog);
    call(recording_.Get());
    std::vector<std::string> lines;
    std::istringstream text(machine_.Files().ReadFile(kLog).value_or(""));
    for (std::string line; std::getline(text, line);) {
      lines.push_back(line.substr(0, line.find('\r')));
    }
    return lines;
  }

  sim::Machine machine_;
  platform::Platform& inner_ = machine_.Processes().Start({"C:\\setup.exe", {}, {}}).GetPlatform();
  platform::RunLog log_{inner_.files, kLog};
  platform::RecordingPlatform recording_{inner_, log_};
};

TEST_F(RecordingTest, FailedChangesAreWrittenAndFailuresThatLeaveThingsAsAskedAreNot) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    std::function<void(platform::Platform&)> call;
    Lines lines;
  };
  machine_.Files().SetInUse("C:\\Data\\b.txt", sim::InUse::NotRenamable);
  const std::vector<Case> cases = {
      {"delete in use",
       [](platform::Platform& p) { p.files.DeleteFile("C:\\Data\\b.txt"); },
       {"Failed: DeleteFileA \"C:\\Data\\b.txt\": error 32"}},
      {"delete missing", [](platform::Platform& p) { p.files.DeleteFile("C:\\Data\\none"); }, {}},
      {"folder exists", [](platform::Platform& p) { p.files.CreateDirectory("C:\\Data"); }, {}},
      {"folder not empty",
       [](platform::Platform& p) { p.files.RemoveDirectory("C:\\Data"); },
       {"Failed: RemoveDirectoryA \"C:\\Data\": error 145"}},
      {"the same call tried again",
       [](platform::Platform& p) {
         for (int attempt = 0; attempt < 3; ++attempt) {
           p.files.DeleteFile("C:\\Data\\b.txt");
         }
       },
       {"Failed: DeleteFileA \"C:\\Data\\b.txt\": error 32"}},
      {"copy onto a file asked to stay",
       [](platform::Platform& p) { p.files.CopyFile("C:\\Data\\a.txt", "C:\\Data\\b.txt", true); },
       {}},
      {"copy onto a file in use",
       [](platform::Platform& p) { p.files.CopyFile("C:\\Data\\a.txt", "C:\\Data\\b.txt", false); },
       {"Failed: CopyFileA \"C:\\Data\\a.txt\" -> \"C:\\Data\\b.txt\": error 32"}},
      {"delete at the next start",
       [](platform::Platform& p) {
         p.files.MoveFileEx("C:\\Data\\a.txt", std::nullopt, platform::kMoveFileDelayUntilReboot);
       },
       {"At next start: delete \"C:\\Data\\a.txt\""}},
      {"registry refused",
       [this](platform::Platform& p) {
         machine_.Faults().Set(sim::NoAdministratorRights());
         platform::RegistryKey key = 0;
         p.registry.CreateKey(platform::kHkeyLocalMachine, "SOFTWARE\\X", key);
         machine_.Faults().Set(std::nullopt);
       },
       {"Failed: RegCreateKeyA \"HKEY_LOCAL_MACHINE\\SOFTWARE\\X\": error 5"}},
      {"registry value of an opened key",
       [](platform::Platform& p) {
         platform::RegistryKey key = 0;
         p.registry.CreateKey(platform::kHkeyCurrentUser, "Software\\Y", key);
         p.registry.CloseKey(key);
         p.registry.OpenKey(platform::kHkeyCurrentUser, "Software\\Y", platform::kKeyRead, key);
         p.registry.SetValue(key, "v", platform::kRegSz, std::string("x\0", 2));
         p.registry.CloseKey(key);
         p.registry.OpenKey(platform::kHkeyCurrentUser, "Software\\Y", platform::kKeyAllAccess,
                            key);
         p.registry.DeleteValue(key, "none");
         p.registry.CloseKey(key);
       },
       {"Failed: RegSetValueExA \"HKEY_CURRENT_USER\\Software\\Y\" \"v\": error 5"}},
      {"shell link refused",
       [this](platform::Platform& p) {
         machine_.Faults().Set(sim::Fault{.call = "IShellLink::SetPath", .lasting = true});
         machine_.Faults().Add(sim::Fault{
             .error = platform::kHresultFail, .call = "IShellLink::Save", .lasting = true});
         std::unique_ptr<platform::ShellLink> link = p.shell.CreateShellLink();
         link->SetPath("C:\\P\\x.exe");
         link->Save("C:\\Data\\x.lnk");
       },
       {"Failed: IShellLinkA::SetPath \"C:\\P\\x.exe\"",
        "Failed: IPersistFile::Save \"C:\\Data\\x.lnk\": error 0x80004005"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LinesOf(c.call), c.lines) << c.name;
  }
}

TEST_F(RecordingTest, CallsGoThroughUnchanged) {
  platform::Platform& p = recording_.Get();
  EXPECT_TRUE(p.files.CopyFile("C:\\Data\\a.txt", "C:\\Data\\c.txt", true));
  EXPECT_EQ(machine_.Files().ReadFile("C:\\Data\\c.txt"), "a");
  EXPECT_FALSE(p.files.DeleteFile("C:\\none"));
  EXPECT_EQ(p.process.LastError(), 2u);
  EXPECT_EQ(platform::ErrorText(112), "error 112");
  EXPECT_EQ(platform::ErrorText(0x80070005u), "error 0x80070005");
  EXPECT_EQ(platform::ErrorText(0), "error 0");
}

}  // namespace
