// A silent installation from a distribution folder by the install engine, then the product's
// own uninstaller: the machine must come back to what it was before the installation.
#include <gtest/gtest.h>

#include "engine/perform_install.h"
#include "program_runner.h"
#include "test_app.h"

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kDist[] = "D:\\Dist";
constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6";

class InstallScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::FileSystem& files = machine_.Files();
    const std::string dist = kDist;
    for (const char* name : {"setup.exe", "readme.txt", "Pictv6Man.chm", "HomePage.url",
                             "Samples\\one.dat", "Samples\\two.dat"}) {
      files.WriteFile(dist + "\\" + name, name);
    }
    files.WriteFile(dist + "\\Pictv6.exe", "product");
    files.SetFileVersion(dist + "\\Pictv6.exe", platform::FixedFileVersion{0x0006001E, 0x00020000});
    files.WriteFile(dist + "\\PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nFile Copy: Pictv6Man.chm\r\nFile Copy: readme.txt\r\n"
                    "File Copy: HomePage.url\r\nMake Dir: Samples\r\nFile Copy: Samples\\*.dat\r\n"
                    "File Copy: setup.exe>PictvUnInst.exe\r\nFile Del: obsolete.dll");
    for (const char* key : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}) {
      machine_.Registry().CreateKey(kHkeyLocalMachine, key);
    }
  }

  // The engine, as a silent run of the setup program calls it.
  SetupOptions Install(SetupOptions options) {
    sim::Process& setup =
        machine_.Processes().Start({std::string(kDist) + "\\setup.exe", {"-s"}, {}});
    setup.Run([&](platform::Platform& platform) {
      TestApp app(platform);
      const Wow64Query wow64(platform.system);
      RunReport report;
      PerformInstall(app, options, wow64, report);
      return 0;
    });
    return options;
  }

  void Uninstall(const std::string& folder = kFolder) {
    RunProgram(machine_, folder + "\\PictvUnInst.exe", {"-s"});
    ASSERT_EQ(machine_.Processes().All().back()->Spec().arguments.at(0), "-delself");
    std::optional<SetupProgram> program;
    machine_.Processes().All().back()->Run([&](platform::Platform& platform) {
      program.emplace(platform);
      return program->Run();
    });
  }

  static SetupOptions NewInstallation() {
    SetupOptions options;
    options.InstallFolder = kFolder;
    options.SourceFolder = kDist;
    options.GroupName = "Pictavo 6";
    options.AllUsers = true;
    options.NewInstall = true;
    options.Silent = true;
    options.NewVersion = {6, 30, 2, 0};
    return options;
  }

  sim::Machine machine_;
};

TEST_F(InstallScenarioTest, InstalledProductIsRemovedWithoutATrace) {
  const std::vector<std::string> before = machine_.Snapshot();

  const SetupOptions installed = Install(NewInstallation());

  sim::FileSystem& files = machine_.Files();
  const std::string folder = kFolder;
  for (const char* name : {"Pictv6.exe", "PictvUnInst.exe", "readme.txt", "Samples\\two.dat"}) {
    EXPECT_TRUE(files.Exists(folder + "\\" + name)) << name;
  }
  EXPECT_EQ(files.ReadFile(folder + "\\PictvUnInst.exe"), "setup.exe");
  const std::string log = files.ReadFile(folder + "\\PictvUnInst.log").value();
  // The manifest ends without a line break: the empty append completes its last line.
  EXPECT_NE(log.find("File Del: obsolete.dll\r\nMade Dir: "), std::string::npos) << log;
  EXPECT_TRUE(installed.AllUsers);
  EXPECT_EQ(machine_.Registry().GetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6",
                                          "AllUsers"),
            "B");
  EXPECT_EQ(
      machine_.Registry().GetString(
          kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6",
          "DisplayVersion"),
      "6.30.02");
  EXPECT_NE(before, machine_.Snapshot());

  Uninstall();
  machine_.Reboot();
  EXPECT_EQ(machine_.Snapshot(), before);
}

TEST_F(InstallScenarioTest, UninstallEntryIsRewrittenByEachUpdateAndItsQuietCommandRemoves) {
  const std::vector<std::string> before = machine_.Snapshot();
  sim::Registry& registry = machine_.Registry();
  const char* const entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";
  const std::string folder = kFolder;
  const std::string readme = std::string(kDist) + "\\readme.txt";
  // The other payload files hold their own names, 71 bytes in all (the program "product").
  const struct {
    const char* name;
    std::size_t readmeSize;
    std::uint32_t kilobytes;
  } stages[] = {
      {"new installation", 3000, 3},       // 3,071 bytes
      {"update to more bytes", 4000, 4},   // 4,071
      {"update to exactly 1 KB", 953, 1},  // 1,024
      {"update to 1 byte more", 954, 2},   // 1,025
  };
  for (const auto& stage : stages) {
    SCOPED_TRACE(stage.name);
    machine_.Files().WriteFile(readme, std::string(stage.readmeSize, 'r'));
    SetupOptions options = NewInstallation();
    options.NewInstall = stage.kilobytes == 3;
    if (!options.NewInstall) {
      // What an older version, or someone else, left in the entry gives way.
      registry.SetString(kHkeyLocalMachine, entry, "InstallLocation", "D:\\Old");
      registry.SetValue(kHkeyLocalMachine, entry, "NoRepair", platform::kRegDword,
                        std::string(4, '\0'));
    }
    Install(options);
    EXPECT_EQ(registry.GetString(kHkeyLocalMachine, entry, "QuietUninstallString"),
              "\"" + folder + "\\PictvUnInst.exe\" -s");
    EXPECT_EQ(registry.GetString(kHkeyLocalMachine, entry, "InstallLocation"), folder);
    EXPECT_EQ(registry.GetString(kHkeyLocalMachine, entry, "DisplayIcon"),
              "\"" + folder + "\\Pictv6.exe\",0");
    EXPECT_EQ(registry.GetDword(kHkeyLocalMachine, entry, "EstimatedSize"), stage.kilobytes);
    EXPECT_EQ(registry.GetDword(kHkeyLocalMachine, entry, "NoModify"), 1u);
    EXPECT_EQ(registry.GetDword(kHkeyLocalMachine, entry, "NoRepair"), 1u);
  }

  // The command as the system's list runs it: quietly, with nothing shown, and nothing left.
  const std::vector<std::string> command = sim::SplitCommandLine(
      registry.GetString(kHkeyLocalMachine, entry, "QuietUninstallString").value());
  ASSERT_EQ(command.size(), 2u);
  EXPECT_EQ(RunProgram(machine_, command[0], {command.begin() + 1, command.end()}).exitCode, 0u);
  EXPECT_EQ(machine_.Processes().All().back()->Spec().arguments.at(0), "-delself");
  EXPECT_EQ(RunRemovalTail(machine_), 0u);
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
  EXPECT_TRUE(machine_.GetUser().Dialogs().empty());
  EXPECT_FALSE(registry.KeyExists(kHkeyLocalMachine, entry));
  machine_.Reboot();
  machine_.Files().WriteFile(readme, "readme.txt");
  EXPECT_EQ(machine_.Snapshot(), before);
}

TEST_F(InstallScenarioTest, UpdateIntoAnotherGroupClearsTheEarlierGroupAndObsoleteFiles) {
  Install(NewInstallation());
  const std::string programs =
      machine_.Registry()
          .GetString(kHkeyLocalMachine,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     "Common Programs")
          .value();
  machine_.Files().WriteFile(std::string(kFolder) + "\\obsolete.dll", "old");

  SetupOptions update = NewInstallation();
  update.NewInstall = false;
  update.GroupName = "Tools/Capture";
  Install(update);

  EXPECT_FALSE(machine_.Files().Exists(programs + "\\Pictavo 6"));
  EXPECT_TRUE(machine_.Files().Exists(programs + "\\Tools\\Capture\\Pictavo 6.lnk"));
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "\\obsolete.dll"));
  const std::string log =
      machine_.Files().ReadFile(std::string(kFolder) + "\\PictvUnInst.log").value();
  EXPECT_EQ(log.find(programs + "\\Pictavo 6\\"), std::string::npos) << log;
}

// In code page 932 the second byte of "予" (97 5C) and of "表" (95 5C) is the backslash's.
TEST_F(InstallScenarioTest, DoubleByteInstallFolderHoldsEveryFileAndGoesWithTheRemoval) {
  machine_.System().SetCodePage(932);
  const std::string folder = "C:\\Program Files\\\x97\x5C\x92\xE8\x95\x5C";
  machine_.Files().CreateFolders(folder);
  const std::vector<std::string> before = machine_.Snapshot();

  RunProgram(machine_, std::string(kDist) + "\\setup.exe", {"-s", "-instdir", folder});

  sim::FileSystem& files = machine_.Files();
  for (const char* name : {"Pictv6.exe", "readme.txt", "Samples\\two.dat"}) {
    EXPECT_EQ(files.ReadFile(folder + "\\" + name),
              files.ReadFile(std::string(kDist) + "\\" + name))
        << name;
  }
  EXPECT_EQ(files.ReadFile(folder + "\\PictvUnInst.exe"), "setup.exe");
  // Nothing beside the folder: no folder of its first byte, no file with its name glued on.
  for (const std::string& path : files.AllPaths()) {
    if (path.rfind("C:\\Program Files\\", 0) == 0 && path != "C:\\Program Files\\") {
      EXPECT_EQ(path.rfind("C:\\Program Files\\\x97\x5C\x92\xE8\x95\x5C\\", 0), 0u) << path;
    }
  }
  EXPECT_EQ(
      machine_.Registry().GetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6", "Path"),
      folder);

  Uninstall(folder);
  machine_.Reboot();
  files.CreateFolders(folder);  // the removal takes the folder the user had made
  EXPECT_EQ(machine_.Snapshot(), before);
}

// The install folder reached through another spelling: its files are the distribution's own,
// and copying one onto itself would delete it first.
TEST_F(InstallScenarioTest, InstallFromTheInstallFolderUnderAnotherSpellingKeepsEveryFile) {
  Install(NewInstallation());
  sim::FileSystem& files = machine_.Files();
  files.SubstituteDrive('P', "C:\\Program Files");
  const std::string folder = kFolder;
  for (const std::string& uninstaller :
       {files.ShortPath(folder + "\\PictvUnInst.exe").value(),
        std::string("P:\\Pictavo 6\\PictvUnInst.exe"),
        std::string("c:\\PROGRAM FILES\\.\\pictavo 6.\\PictvUnInst.exe")}) {
    const std::vector<std::string> before = files.Snapshot();
    RunProgram(machine_, uninstaller, {"-install", "-s"});
    for (const char* name : {"Pictv6.exe", "Pictv6Man.chm", "readme.txt", "HomePage.url",
                             "PictvUnInst.exe", "Samples\\one.dat"}) {
      EXPECT_TRUE(files.Exists(folder + "\\" + name)) << uninstaller << ": " << name;
    }
    EXPECT_EQ(files.ReadFile(folder + "\\Pictv6.exe"), "product") << uninstaller;
  }
}

}  // namespace
