// A whole removal as a user meets it, checked against the machine as it was before the product
// was installed: state, then the uninstaller and its copy, then state again.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "program_runner.h"

namespace {

using platform::BoxResult;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kHkeyUsers;

constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6";
constexpr char kSecondUser[] = "S-1-5-21-1000-1000-1000-1002";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

class RemovalScenarioTest : public ::testing::Test {
 protected:
  std::vector<std::string> MachineState() {
    std::vector<std::string> state = machine_.Files().Snapshot();
    for (std::string& line : machine_.Registry().Dump()) {
      state.push_back(std::move(line));
    }
    std::sort(state.begin(), state.end());
    return state;
  }

  std::string Folder(platform::RegistryKey root, const std::string& name) {
    return machine_.Registry().GetString(root, kShellFolders, name).value();
  }

  // What the machine holds before the product comes: a second user, the system's keys, an
  // image viewer's association, another product of the same company.
  void LayDownTheMachine() {
    sim::Registry& registry = machine_.Registry();
    registry.AddUser(kSecondUser);
    registry.CreateKey(kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    registry.CreateKey(kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths");
    registry.SetString(kHkeyCurrentUser, std::string(kFileExts) + "\\.png", "Application",
                       "mspaint.exe");
    registry.SetString(kHkeyCurrentUser, std::string(kFileExts) + "\\.gif", "Application",
                       "viewer.exe");
    registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo Capture", "Path",
                       "C:\\Capture");
    machine_.Files().WriteFile("C:\\Users\\User\\Documents\\shot.png", "mine");
  }

  // The product as an installation leaves it, for an all-users install by the first user.
  void LayDownTheProduct() {
    sim::FileSystem& files = machine_.Files();
    sim::Registry& registry = machine_.Registry();
    const std::string folder = kFolder;
    for (const char* name : {"PictvUnInst.exe", "Pictv6.exe", "Pictv6Man.chm", "readme.txt",
                             "HomePage.url", "Samples\\one.dat", "Samples\\two.dat"}) {
      files.WriteFile(folder + "\\" + name, name);
    }
    files.WriteFile(folder + "\\old.dll", "from an earlier version");
    const std::string group = Folder(kHkeyLocalMachine, "Common Programs") + "\\Pictavo 6";
    const std::string desktop = Folder(kHkeyLocalMachine, "Common Desktop") + "\\Pictavo 6.lnk";
    const std::string startup = Folder(kHkeyLocalMachine, "Common Startup") + "\\Pictavo 6.lnk";
    for (const std::string& shortcut : {group + "\\Pictavo 6.lnk", group + "\\Pictavo 6 Help.lnk",
                                        group + "\\Read about Pictavo 6.lnk",
                                        group + "\\Uninstall Pictavo 6.lnk", desktop, startup}) {
      files.WriteFile(shortcut, "shortcut");
    }
    // The second user's own desktop shortcut, from a current-user install of theirs.
    const std::string secondDesktop =
        registry.GetString(kHkeyUsers, std::string(kSecondUser) + "\\" + kShellFolders, "Desktop")
            .value();
    files.WriteFile(secondDesktop + "\\Pictavo 6.lnk", "shortcut");

    files.WriteFile(folder + "\\PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nFile Copy: Pictv6Man.chm\r\nFile Copy: readme.txt\r\n"
                    "File Copy: HomePage.url\r\nMake Dir: Samples\r\nFile Copy: Samples\\*.dat\r\n"
                    "File Copy: setup.exe>PictvUnInst.exe\r\n\r\nMade Dir: " +
                        group + "\r\nShell Link: " + group + "\\Pictavo 6.lnk\r\nShell Link: " +
                        group + "\\Pictavo 6 Help.lnk\r\nShell Link: " + group +
                        "\\Read about Pictavo 6.lnk\r\nShell Link: " + group +
                        "\\Uninstall Pictavo 6.lnk\r\nShell Link: " + desktop +
                        "\r\nShell Link: " + startup + "\r\n");
    files.WriteFile(folder + "\\install.log", "File Copy: old.dll\r\nFile Copy: install.log\r\n");

    registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6", "Path", folder);
    registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6", "AllUsers", "B");
    registry.SetString(kHkeyCurrentUser, "SOFTWARE\\Corvantis\\Pictavo 6\\Settings", "Zoom", "2");
    registry.SetString(kHkeyUsers,
                       std::string(kSecondUser) + "\\SOFTWARE\\Corvantis\\Pictavo 6\\Settings",
                       "Zoom", "1");
    registry.SetString(kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe", "",
                       folder + "\\Pictv6.exe");
    const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";
    registry.SetString(kHkeyLocalMachine, entry, "UninstallString", folder + "\\PictvUnInst.exe");
    registry.SetString(kHkeyLocalMachine, entry, "QuietUninstallString",
                       "\"" + folder + "\\PictvUnInst.exe\" -s");
    registry.SetString(kHkeyLocalMachine, entry, "InstallLocation", folder);
    registry.SetString(kHkeyLocalMachine, entry, "DisplayIcon", "\"" + folder + "\\Pictv6.exe\",0");
    for (const auto& [name, number] : {std::pair{"EstimatedSize", '\x07'},
                                       std::pair{"NoModify", '\1'}, std::pair{"NoRepair", '\1'}}) {
      registry.SetValue(kHkeyLocalMachine, entry, name, platform::kRegDword,
                        std::string(1, number) + std::string(3, '\0'));
    }
    registry.SetString(kHkeyClassesRoot, "PV6.Document\\shell\\open\\command", "",
                       folder + "\\Pictv6.exe \"%1\"");
    registry.SetString(kHkeyCurrentUser, std::string(kFileExts) + "\\.png", "PictvOld",
                       "mspaint.exe");
    registry.SetString(kHkeyCurrentUser, std::string(kFileExts) + "\\.png", "Application",
                       folder + "\\Pictv6.exe");
  }

  sim::Machine machine_;
};

TEST_F(RemovalScenarioTest, RemovalLeavesTheMachineAsItWasBeforeTheInstallation) {
  LayDownTheMachine();
  const std::vector<std::string> before = MachineState();
  LayDownTheProduct();

  machine_.GetUser().WillAnswer(BoxResult::Yes);
  machine_.GetUser().WillAnswer(BoxResult::Ok);
  EXPECT_EQ(RunProgram(machine_, std::string(kFolder) + "\\PictvUnInst.exe").exitCode, 0u);
  ASSERT_EQ(machine_.Processes().All().size(), 3u);
  sim::Process& copy = *machine_.Processes().All().back();
  EXPECT_EQ(RunRemovalTail(machine_), 0u);
  ASSERT_EQ(machine_.GetUser().Boxes().size(), 2u);
  EXPECT_EQ(machine_.GetUser().Boxes()[1].text,
            "Pictavo 6 has been completely uninstalled from this computer.");

  // Until the next start only the temporary copy is left, scheduled for deletion.
  std::vector<std::string> left = MachineState();
  std::vector<std::string> extra;
  std::set_difference(left.begin(), left.end(), before.begin(), before.end(),
                      std::back_inserter(extra));
  ASSERT_EQ(extra.size(), 1u) << ::testing::PrintToString(extra);
  EXPECT_NE(extra[0].find(copy.Spec().modulePath), std::string::npos) << extra[0];

  machine_.Reboot();
  EXPECT_EQ(MachineState(), before);
  EXPECT_EQ(machine_.Registry().OpenHandles(), 0u);
}

}  // namespace
