#include <gtest/gtest.h>

#include "engine/registry_values.h"
#include "platform/sim/machine.h"

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kKey[] = "SOFTWARE\\Corvantis\\Pictavo 6";

class RegistryValuesTest : public ::testing::Test {
 protected:
  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Dist\\setup.exe", {}, {}}).GetPlatform();
};

TEST_F(RegistryValuesTest, RegistryStringReadsUpToTheBufferOfTwoHundredSixtyBytes) {
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "Fits", std::string(259, 'f'));
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "Long", std::string(260, 'l'));
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "Path", std::string(300, 'p'));
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "", "default");

  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Fits"),
            std::string(259, 'f'));
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Long"), "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Path"), "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, ""), "default");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Missing"), "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, "SOFTWARE\\Nobody", "Path"),
            "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyCurrentUser, kKey, "Fits"), "");
}

TEST_F(RegistryValuesTest, RegistryStringEndsAtTheFirstZeroAndIgnoresTheType) {
  machine_.Registry().SetValue(kHkeyLocalMachine, kKey, "Two", platform::kRegSz,
                               std::string("C:\\A\0C:\\B\0", 10));
  machine_.Registry().SetValue(kHkeyLocalMachine, kKey, "Expand", platform::kRegExpandSz,
                               std::string("%ProgramFiles%\0", 15));
  machine_.Registry().SetValue(kHkeyLocalMachine, kKey, "Unterminated", platform::kRegBinary, "AB");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Two"), "C:\\A");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Expand"),
            "%ProgramFiles%");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Unterminated"), "AB");
}

TEST_F(RegistryValuesTest, WriteCreatesEveryMissingKeyAndStoresTheTerminatingZero) {
  const std::string deep = "Software\\A\\B\\C";
  ASSERT_FALSE(machine_.Registry().KeyExists(kHkeyCurrentUser, "Software\\A"));
  EXPECT_TRUE(WriteRegistryString(platform_.registry, kHkeyCurrentUser, deep, "Name", "text"));
  EXPECT_TRUE(machine_.Registry().KeyExists(kHkeyCurrentUser, "Software\\A\\B"));

  platform::RegistryKey key = 0;
  ASSERT_EQ(platform_.registry.OpenKey(kHkeyCurrentUser, deep, platform::kKeyRead, key),
            platform::kErrorSuccess);
  platform::RegistryValue value;
  EXPECT_EQ(platform_.registry.QueryValue(key, "Name", 260, value), platform::kErrorSuccess);
  platform_.registry.CloseKey(key);
  EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(value.data, std::string("text\0", 5));

  EXPECT_TRUE(WriteRegistryString(platform_.registry, kHkeyCurrentUser, deep, "", "default"));
  EXPECT_EQ(machine_.Registry().GetString(kHkeyCurrentUser, deep, ""), "default");
}

TEST_F(RegistryValuesTest, WriteFailsWhereTheUserMayNotWrite) {
  machine_.Faults().Set(sim::NoAdministratorRights());
  EXPECT_FALSE(WriteRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Path", "C:\\P"));
  EXPECT_FALSE(machine_.Registry().KeyExists(kHkeyLocalMachine, kKey));
  EXPECT_TRUE(WriteRegistryString(platform_.registry, kHkeyCurrentUser, kKey, "Path", "C:\\P"));
}

TEST_F(RegistryValuesTest, RegistryTreeGoesDeepestFirst) {
  sim::Registry& registry = machine_.Registry();
  for (const char* key : {"A\\B1\\C1", "A\\B1\\C2", "A\\B2\\C3", "A\\B2\\C4\\D", "A\\B3"}) {
    registry.SetString(kHkeyCurrentUser, std::string("Software\\T\\") + key, "v", "x");
  }
  registry.SetString(kHkeyCurrentUser, "Software\\T\\Other", "v", "x");
  EXPECT_TRUE(DeleteRegistryTree(platform_.registry, kHkeyCurrentUser, "Software\\T\\A"));
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, "Software\\T\\A"));
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, "Software\\T\\Other"));
  EXPECT_FALSE(DeleteRegistryTree(platform_.registry, kHkeyCurrentUser, "Software\\T\\A"));
  EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(RegistryValuesTest, CompanyKeyGoesOnlyWithoutSubKeys) {
  sim::Registry& registry = machine_.Registry();
  registry.SetString(kHkeyCurrentUser, "Software\\Corvantis", "Values", "do not keep it");
  DeleteKeyIfNoSubkeys(platform_.registry, kHkeyCurrentUser, "Software\\Corvantis");
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, "Software\\Corvantis"));

  registry.SetString(kHkeyCurrentUser, "Software\\Corvantis\\Other Product", "v", "x");
  DeleteKeyIfNoSubkeys(platform_.registry, kHkeyCurrentUser, "Software\\Corvantis");
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, "Software\\Corvantis\\Other Product"));
  DeleteKeyIfNoSubkeys(platform_.registry, kHkeyCurrentUser, "Software\\Nobody");
  EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(RegistryValuesTest, UndeletableSubKeyKeepsItsAncestorsButNotItsSiblings) {
  sim::Registry& registry = machine_.Registry();
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\T\\A\\Locked", "v", "x");
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\T\\A\\Free", "v", "x");
  machine_.Faults().Set(sim::NoAdministratorRights());
  EXPECT_FALSE(DeleteRegistryTree(platform_.registry, kHkeyLocalMachine, "SOFTWARE\\T\\A"));
  EXPECT_TRUE(registry.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\A\\Locked"));
}

}  // namespace
