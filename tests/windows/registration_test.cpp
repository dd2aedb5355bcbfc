// The product's registration through the real registry: what one run writes, the next run of
// this 32-bit program finds again, in the registry view it sees.

#include <gtest/gtest.h>

#include "app/existing_installation.h"
#include "engine/registration.h"
#include "pe_file.h"
#include "platform/win32/win32_platform.h"
#include "windows_test_support.h"

namespace windows_tests {
namespace {

// Access flags that name a registry view; the program itself never passes them.
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;

constexpr char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class RegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.created());
    // The test prefix is shared: a registration left by someone else would be found instead.
    for (const char* key :
         {registration::kProductKey, registration::kAppPathKey, registration::kUninstallKey}) {
      ASSERT_FALSE(MachineKeyExists(platform_.registry, key)) << key << " exists already";
    }
  }

  void TearDown() override {
    RemoveRegistration(platform_.registry);
    EXPECT_FALSE(MachineKeyExists(platform_.registry, registration::kProductKey));
    EXPECT_FALSE(MachineKeyExists(platform_.registry, registration::kAppPathKey));
    EXPECT_FALSE(MachineKeyExists(platform_.registry, registration::kUninstallKey));
  }

  std::string MachineValue(const char* key, const char* name,
                           std::uint32_t type = platform::kRegSz) {
    platform::RegistryKey opened = 0;
    if (platform_.registry.OpenKey(platform::kHkeyLocalMachine, key, platform::kKeyRead, opened) !=
        platform::kErrorSuccess) {
      return "<no key>";
    }
    platform::RegistryValue value;
    const long status = platform_.registry.QueryValue(opened, name, 512, value);
    platform_.registry.CloseKey(opened);
    if (status != platform::kErrorSuccess) {
      return "<no value>";
    }
    return value.type == type ? value.data : "<type " + std::to_string(value.type) + ">";
  }

  // The shell folder the previous installation's shortcuts went to, as Windows names it.
  std::string ShellFolder(platform::RegistryKey root, const char* name) {
    platform::RegistryKey opened = 0;
    if (platform_.registry.OpenKey(root, kShellFoldersKey, platform::kKeyRead, opened) !=
        platform::kErrorSuccess) {
      return {};
    }
    platform::RegistryValue value;
    platform_.registry.QueryValue(opened, name, 260, value);
    platform_.registry.CloseKey(opened);
    return value.data.empty() ? std::string() : value.data.substr(0, value.data.find('\0'));
  }

  platform::win32::Win32Platform windows_;
  platform::Platform& platform_ = windows_.Get();
  ScratchFolder scratch_{"installation"};
};

TEST_F(RegistrationTest, TheNextRunFindsTheInstallationAndItsChoices) {
  const std::string programs = ShellFolder(platform::kHkeyLocalMachine, "Common Programs");
  const std::string startup = ShellFolder(platform::kHkeyLocalMachine, "Common Startup");
  ASSERT_FALSE(programs.empty());
  ASSERT_FALSE(startup.empty());
  // The installed log as the last installation left it, with the shortcut records the next run
  // takes the program group from; the letter case of the shell folder differs on purpose.
  std::string upperPrograms = programs;
  for (char& c : upperPrograms) {
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  ASSERT_TRUE(pe::WriteFile(scratch_.path() + "\\PictvUnInst.log",
                            "File Copy: Pictv6.exe\r\n"
                            "\r\n"
                            "Shell Link: " +
                                upperPrograms + "\\Tools\\Pictavo 6\\Pictavo 6.lnk\r\n" +
                                "Shell Link: " + startup + "\\Pictavo 6.lnk\r\n"));

  SetupOptions installed;
  installed.InstallFolder = scratch_.path();
  installed.AllUsers = true;
  installed.NewVersion = {6, 30, 2, 0};
  RegisterProduct(platform_, installed, 2049);

  // Stored as REG_SZ with the terminating zero; numbers as REG_DWORD, least significant first.
  EXPECT_EQ(MachineValue(registration::kProductKey, "Path"), scratch_.path() + '\0');
  EXPECT_EQ(MachineValue(registration::kProductKey, "AllUsers"), std::string("B", 2));
  EXPECT_EQ(MachineValue(registration::kUninstallKey, "DisplayVersion"), std::string("6.30.02", 8));
  EXPECT_EQ(MachineValue(registration::kUninstallKey, "DisplayName"), std::string("Pictavo 6", 10));
  EXPECT_EQ(MachineValue(registration::kUninstallKey, "EstimatedSize", platform::kRegDword),
            std::string("\3\0\0\0", 4));
  EXPECT_EQ(MachineValue(registration::kUninstallKey, "NoRepair", platform::kRegDword),
            std::string("\1\0\0\0", 4));

  SetupOptions next;
  next.GroupName = "Pictavo 6";
  next.InstallFolder = FindExistingInstallation(platform_);
  EXPECT_EQ(next.InstallFolder, scratch_.path());
  RecoverPreviousChoices(platform_, next);
  EXPECT_TRUE(next.AllUsers);
  EXPECT_EQ(next.GroupName, "Tools\\Pictavo 6");
}

TEST_F(RegistrationTest, ACurrentUserInstallationIsFoundThroughTheApplicationPathAlone) {
  SetupOptions installed;
  installed.InstallFolder = scratch_.path();
  installed.AllUsers = false;
  RegisterProduct(platform_, installed, 0);
  // An older installation kept no product key: the application path still leads to it.
  ASSERT_EQ(platform_.registry.DeleteKey(platform::kHkeyLocalMachine, registration::kProductKey),
            platform::kErrorSuccess);

  SetupOptions next;
  next.AllUsers = true;
  next.GroupName = "Pictavo 6";
  next.InstallFolder = FindExistingInstallation(platform_);
  EXPECT_EQ(next.InstallFolder, scratch_.path());
  RecoverPreviousChoices(platform_, next);
  EXPECT_FALSE(next.AllUsers) << "no product key, no all-users choice";
  EXPECT_EQ(next.GroupName, "Pictavo 6") << "no installed log, no group from it";
}

TEST_F(RegistrationTest, TheKeysLieInTheViewOfThirtyTwoBitPrograms) {
  SetupOptions installed;
  installed.InstallFolder = scratch_.path();
  RegisterProduct(platform_, installed, 0);
  EXPECT_TRUE(MachineKeyExists(platform_.registry, registration::kProductKey, kKeyWow64_32Key));
  if (platform_.system.IsWow64Process()) {
    // On 64-bit Windows the same name in the 64-bit programs' view is another key.
    EXPECT_FALSE(MachineKeyExists(platform_.registry, registration::kProductKey, kKeyWow64_64Key));
  } else {
    // 32-bit Windows has one view, and the flag is ignored.
    EXPECT_TRUE(MachineKeyExists(platform_.registry, registration::kProductKey, kKeyWow64_64Key));
  }
}

TEST_F(RegistrationTest, AKeyWithSubKeysIsNotDeleted) {
  SetupOptions installed;
  installed.InstallFolder = scratch_.path();
  RegisterProduct(platform_, installed, 0);
  // The removal of the maker's key relies on this: another product's key keeps it.
  EXPECT_NE(platform_.registry.DeleteKey(platform::kHkeyLocalMachine, "SOFTWARE\\Corvantis"),
            platform::kErrorSuccess);
  EXPECT_TRUE(MachineKeyExists(platform_.registry, registration::kProductKey));
}

}  // namespace
}  // namespace windows_tests
