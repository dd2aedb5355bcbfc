// The simulated registry beyond what the conformance suite shows: its roots, users, the
// want of administrator rights an injected fault gives, and the test's own side.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/registry.h"
#include "platform/sim/user.h"

namespace {

using platform::kErrorAccessDenied;
using platform::kErrorFileNotFound;
using platform::kErrorSuccess;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kHkeyUsers;
using platform::RegistryKey;
using platform::RegistryValue;

constexpr char kOtherSid[] = "S-1-5-21-1000-1000-1000-1002";

class SimRegistryTest : public ::testing::Test {
 protected:
  long SetString(RegistryKey key, const std::string& name, const std::string& text) {
    return registry_.SetValue(key, name, platform::kRegSz, text + '\0');
  }

  sim::Registry registry_;
  sim::FaultInjector faults_;
};

TEST_F(SimRegistryTest, ClassesRootIsTheMachinesClassesKeyBothWays) {
  registry_.SetString(kHkeyLocalMachine, "SOFTWARE\\Classes\\.png", "", "pngfile");
  EXPECT_EQ(registry_.GetString(kHkeyClassesRoot, ".PNG", ""), "pngfile");

  RegistryKey key = 0;
  ASSERT_EQ(registry_.CreateKey(kHkeyClassesRoot, "PV6.Document\\shell", key), kErrorSuccess);
  EXPECT_TRUE(registry_.KeyExists(kHkeyLocalMachine, "Software\\classes\\PV6.Document\\Shell"));
  EXPECT_EQ(registry_.CloseKey(key), kErrorSuccess);
}

TEST_F(SimRegistryTest, CurrentUserIsTheCurrentUsersKeyUnderUsers) {
  EXPECT_EQ(registry_.CurrentUserSid(), sim::Registry::kDefaultUserSid);
  registry_.SetString(kHkeyCurrentUser, "Software\\Corvantis", "Mine", "first");
  EXPECT_EQ(
      registry_.GetString(kHkeyUsers, registry_.CurrentUserSid() + "\\Software\\Corvantis", "Mine"),
      "first");

  registry_.AddUser(kOtherSid);
  EXPECT_EQ(registry_.UserSids(),
            (std::vector<std::string>{sim::Registry::kDefaultUserSid, kOtherSid}));
  EXPECT_EQ(registry_.GetString(kHkeyCurrentUser, "Software\\Corvantis", "Mine"), "first");

  registry_.SetCurrentUser(kOtherSid);
  EXPECT_FALSE(registry_.KeyExists(kHkeyCurrentUser, "Software\\Corvantis"));
  RegistryKey key = 0;
  ASSERT_EQ(registry_.CreateKey(kHkeyCurrentUser, "Software\\Corvantis", key), kErrorSuccess);
  ASSERT_EQ(SetString(key, "Mine", "second"), kErrorSuccess);
  registry_.CloseKey(key);
  EXPECT_EQ(
      registry_.GetString(kHkeyUsers, std::string(kOtherSid) + "\\Software\\Corvantis", "Mine"),
      "second");
  EXPECT_THROW(registry_.SetCurrentUser("S-1-5-21-9"), sim::ScriptError);
}

TEST_F(SimRegistryTest, EnumeratingUsersFindsEveryUser) {
  registry_.AddUser(kOtherSid);
  registry_.AddUser(kOtherSid);  // known already: nothing changes
  std::vector<std::string> sids;
  std::string sid;
  for (std::uint32_t i = 0; registry_.EnumKey(kHkeyUsers, i, sid) == kErrorSuccess; ++i) {
    sids.push_back(sid);
  }
  EXPECT_EQ(sids, registry_.UserSids());
  EXPECT_EQ(sids.size(), 2u);
}

TEST_F(SimRegistryTest, UserAddedHookLaysDownEachNewUserOnce) {
  std::vector<std::string> added;
  sim::Registry registry([&](sim::Registry& owner, const std::string& sid) {
    added.push_back(sid);
    owner.SetString(kHkeyUsers, sid + "\\Software\\Profile", "Name", "user " + sid);
  });
  registry.AddUser(kOtherSid);
  registry.AddUser(kOtherSid);
  EXPECT_EQ(added, (std::vector<std::string>{sim::Registry::kDefaultUserSid, kOtherSid}));
  EXPECT_EQ(registry.GetString(kHkeyCurrentUser, "Software\\Profile", "Name"),
            std::string("user ") + sim::Registry::kDefaultUserSid);
}

TEST_F(SimRegistryTest, WithoutAdministratorRightsTheMachineKeysOnlyRead) {
  registry_.SetString(kHkeyLocalMachine, "SOFTWARE\\Existing", "Value", "old");
  registry_.SetString(kHkeyLocalMachine, "SOFTWARE\\Classes\\.png", "", "pngfile");
  registry_.SetFaults(&faults_);
  faults_.Set(sim::NoAdministratorRights());

  RegistryKey key = 0;
  EXPECT_EQ(registry_.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6", key),
            kErrorAccessDenied);
  EXPECT_EQ(key, 0u);
  EXPECT_FALSE(registry_.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Corvantis"));
  EXPECT_EQ(
      registry_.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Existing", platform::kKeyAllAccess, key),
      kErrorAccessDenied);
  EXPECT_EQ(registry_.OpenKey(kHkeyClassesRoot, "", platform::kKeyAllAccess, key),
            kErrorAccessDenied);

  // An existing key still opens for reading, through CreateKey too, and for reading only.
  ASSERT_EQ(registry_.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Existing", platform::kKeyRead, key),
            kErrorSuccess);
  registry_.CloseKey(key);
  ASSERT_EQ(registry_.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Existing", key), kErrorSuccess);
  EXPECT_EQ(SetString(key, "Value", "new"), kErrorAccessDenied);
  EXPECT_EQ(registry_.DeleteValue(key, "Value"), kErrorAccessDenied);
  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(key, "Value", 260, value), kErrorSuccess);
  registry_.CloseKey(key);

  EXPECT_EQ(SetString(kHkeyLocalMachine, "Direct", "x"), kErrorAccessDenied);
  EXPECT_EQ(registry_.DeleteKey(kHkeyLocalMachine, "SOFTWARE\\Existing"), kErrorAccessDenied);
  EXPECT_EQ(registry_.DeleteKey(kHkeyClassesRoot, ".png"), kErrorAccessDenied);
  EXPECT_EQ(registry_.GetString(kHkeyLocalMachine, "SOFTWARE\\Existing", "Value"), "old");

  // The user's own keys stay writable, and so does everything once the fault is lifted.
  EXPECT_EQ(registry_.CreateKey(kHkeyCurrentUser, "Software\\Corvantis", key), kErrorSuccess);
  EXPECT_EQ(SetString(key, "Value", "mine"), kErrorSuccess);
  registry_.CloseKey(key);
  faults_.Set(std::nullopt);
  EXPECT_EQ(registry_.DeleteKey(kHkeyLocalMachine, "SOFTWARE\\Existing"), kErrorSuccess);
}

TEST_F(SimRegistryTest, HandlesNeedTheRightsOfTheirCall) {
  registry_.SetString(kHkeyCurrentUser, "Software\\K\\Sub", "Value", "x");
  RegistryKey writeOnly = 0;
  ASSERT_EQ(registry_.OpenKey(kHkeyCurrentUser, "Software\\K", platform::kKeyWrite, writeOnly),
            kErrorSuccess);
  RegistryValue value;
  std::string name;
  EXPECT_EQ(registry_.QueryValue(writeOnly, "Value", 260, value), kErrorAccessDenied);
  EXPECT_EQ(registry_.EnumKey(writeOnly, 0, name), kErrorAccessDenied);
  EXPECT_EQ(SetString(writeOnly, "Value", "y"), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(writeOnly), kErrorSuccess);
}

TEST_F(SimRegistryTest, HivesCannotBeDeleted) {
  // A user's key stays even when nothing is left in it.
  registry_.DeleteTree(kHkeyCurrentUser, "Software");
  EXPECT_EQ(registry_.DeleteKey(kHkeyCurrentUser, ""), kErrorAccessDenied);
  EXPECT_EQ(registry_.DeleteKey(kHkeyUsers, registry_.CurrentUserSid()), kErrorAccessDenied);
  EXPECT_TRUE(registry_.KeyExists(kHkeyUsers, registry_.CurrentUserSid()));
  EXPECT_EQ(registry_.DeleteKey(kHkeyLocalMachine, ""), kErrorAccessDenied);
  EXPECT_THROW(registry_.DeleteTree(kHkeyLocalMachine, ""), sim::ScriptError);
  EXPECT_THROW(registry_.DeleteTree(kHkeyCurrentUser, ""), sim::ScriptError);
  EXPECT_TRUE(registry_.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Classes"));
}

TEST_F(SimRegistryTest, DeleteTreeTakesEverythingBelowAndStrandsOpenHandles) {
  registry_.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6\\Deep", "V", "x");
  RegistryKey deep = 0;
  ASSERT_EQ(registry_.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6\\Deep",
                              platform::kKeyRead, deep),
            kErrorSuccess);
  registry_.DeleteTree(kHkeyLocalMachine, "software\\corvantis");
  EXPECT_FALSE(registry_.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Corvantis"));
  EXPECT_TRUE(registry_.KeyExists(kHkeyLocalMachine, "SOFTWARE"));

  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(deep, "V", 260, value), 1018);  // ERROR_KEY_DELETED
  EXPECT_EQ(registry_.CloseKey(deep), kErrorSuccess);
  registry_.DeleteTree(kHkeyLocalMachine, "SOFTWARE\\Corvantis");  // missing: nothing happens
}

TEST_F(SimRegistryTest, TestSideReadsAndWritesValuesAsStored) {
  registry_.SetString(kHkeyLocalMachine, "SOFTWARE\\K", "Text", "abc");
  EXPECT_EQ(registry_.GetValue(kHkeyLocalMachine, "SOFTWARE\\K", "text")->data,
            std::string("abc\0", 4));
  registry_.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Two", platform::kRegSz,
                     std::string("one\0two\0", 8));
  EXPECT_EQ(registry_.GetString(kHkeyLocalMachine, "SOFTWARE\\K", "Two"), "one");
  registry_.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Expand", platform::kRegExpandSz, "%x%");
  EXPECT_EQ(registry_.GetString(kHkeyLocalMachine, "SOFTWARE\\K", "Expand"), "%x%");
  registry_.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Bytes", platform::kRegBinary, "AB");
  EXPECT_EQ(registry_.GetString(kHkeyLocalMachine, "SOFTWARE\\K", "Bytes"), std::nullopt);
  EXPECT_EQ(registry_.GetString(kHkeyLocalMachine, "SOFTWARE\\K", "Missing"), std::nullopt);
  EXPECT_EQ(registry_.GetString(kHkeyLocalMachine, "SOFTWARE\\Missing", "Text"), std::nullopt);
  EXPECT_THROW(registry_.SetString(0x1234, "K", "V", "x"), sim::ScriptError);

  registry_.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Number", platform::kRegDword,
                     std::string("\x78\x56\x34\x12", 4));
  EXPECT_EQ(registry_.GetDword(kHkeyLocalMachine, "SOFTWARE\\K", "Number"), 0x12345678u);
  registry_.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Short", platform::kRegDword, "AB");
  for (const char* name : {"Short", "Bytes", "Text", "Missing"}) {
    EXPECT_EQ(registry_.GetDword(kHkeyLocalMachine, "SOFTWARE\\K", name), std::nullopt) << name;
  }
}

TEST_F(SimRegistryTest, DumpShowsEveryKeyAndValueInEnumerationOrder) {
  sim::Registry registry;
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\b", "", "default");
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\A", "Name", "text");
  registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Count", platform::kRegDword,
                    std::string("\x0A\x01\0\0", 4));
  registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Raw", platform::kRegBinary,
                    std::string("\x00\xFF", 2));
  const std::vector<std::string> dump = registry.Dump();
  const std::string user = std::string("HKU\\") + sim::Registry::kDefaultUserSid;
  EXPECT_EQ(dump, (std::vector<std::string>{
                      "HKLM",
                      "HKLM\\SOFTWARE",
                      "HKLM\\SOFTWARE\\A",
                      "HKLM\\SOFTWARE\\A : Count = REG_DWORD 266",
                      "HKLM\\SOFTWARE\\A : Name = REG_SZ \"text\"",
                      "HKLM\\SOFTWARE\\A : Raw = type 3 hex:00ff",
                      "HKLM\\SOFTWARE\\b",
                      "HKLM\\SOFTWARE\\b : @ = REG_SZ \"default\"",
                      "HKLM\\SOFTWARE\\Classes",
                      "HKU",
                      user,
                      user + "\\Software",
                  }));
}

TEST_F(SimRegistryTest, OpenHandlesShowWhatTheProgramLeftOpen) {
  RegistryKey first = 0;
  RegistryKey second = 0;
  ASSERT_EQ(registry_.CreateKey(kHkeyCurrentUser, "Software\\A", first), kErrorSuccess);
  ASSERT_EQ(registry_.OpenKey(first, "", platform::kKeyRead, second), kErrorSuccess);
  EXPECT_NE(first, second);
  EXPECT_EQ(registry_.OpenHandles(), 2u);
  registry_.CloseKey(first);
  registry_.CloseKey(kHkeyLocalMachine);
  EXPECT_EQ(registry_.OpenHandles(), 1u);
  registry_.CloseKey(second);
  EXPECT_EQ(registry_.OpenHandles(), 0u);
  EXPECT_EQ(registry_.OpenKey(kHkeyCurrentUser, "Software\\B", platform::kKeyRead, first),
            kErrorFileNotFound);
  EXPECT_EQ(registry_.OpenHandles(), 0u);
}

}  // namespace
