#include <gtest/gtest.h>

#include "conformance/scratch.h"

namespace {

using platform::kErrorAccessDenied;
using platform::kErrorFileNotFound;
using platform::kErrorInvalidHandle;
using platform::kErrorMoreData;
using platform::kErrorNoMoreItems;
using platform::kErrorSuccess;
using platform::kHkeyCurrentUser;
using platform::RegistryKey;
using platform::RegistryValue;

const std::string kScratch = conformance::kScratchKey;

class RegistryConformance : public conformance::ScratchTest {
 protected:
  RegistryKey Create(const std::string& subKey) {
    RegistryKey key = 0;
    EXPECT_EQ(registry_.CreateKey(key_, subKey, key), kErrorSuccess) << subKey;
    return key;
  }

  long Open(const std::string& subKey, std::uint32_t access = platform::kKeyRead) {
    RegistryKey key = 0;
    const long status = registry_.OpenKey(key_, subKey, access, key);
    if (status == kErrorSuccess) {
      EXPECT_EQ(registry_.CloseKey(key), kErrorSuccess);
    } else {
      EXPECT_EQ(key, 0u);
    }
    return status;
  }

  long SetString(RegistryKey key, const std::string& name, const std::string& text) {
    return registry_.SetValue(key, name, platform::kRegSz, text + '\0');
  }

  std::vector<std::string> SubKeys(RegistryKey key) {
    std::vector<std::string> names;
    std::string name;
    std::uint32_t index = 0;
    long status;
    while ((status = registry_.EnumKey(key, index, name)) == kErrorSuccess) {
      names.push_back(name);
      ++index;
    }
    EXPECT_EQ(status, kErrorNoMoreItems);
    EXPECT_EQ(name, "");
    return names;
  }
};

TEST_F(RegistryConformance, CreateKeyCreatesEveryMissingKeyOfThePath) {
  EXPECT_EQ(Open("One"), kErrorFileNotFound);
  const RegistryKey deep = Create("One\\Two\\Three");
  EXPECT_NE(deep, 0u);
  EXPECT_EQ(Open("One"), kErrorSuccess);
  EXPECT_EQ(Open("One\\Two"), kErrorSuccess);
  EXPECT_EQ(Open("One\\Two\\Three"), kErrorSuccess);
  EXPECT_EQ(Open("One\\Two\\Four"), kErrorFileNotFound);

  // Opening an existing key through CreateKey changes nothing below it.
  ASSERT_EQ(SetString(deep, "Kept", "yes"), kErrorSuccess);
  const RegistryKey again = Create("One\\Two\\Three");
  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(again, "Kept", 260, value), kErrorSuccess);
  EXPECT_EQ(value.data, std::string("yes\0", 4));
  EXPECT_EQ(registry_.CloseKey(again), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(deep), kErrorSuccess);

  // A path through the root works the same as one through an open key.
  RegistryKey viaRoot = 0;
  ASSERT_EQ(
      registry_.OpenKey(kHkeyCurrentUser, kScratch + "\\One\\Two", platform::kKeyRead, viaRoot),
      kErrorSuccess);
  EXPECT_EQ(SubKeys(viaRoot), (std::vector<std::string>{"Three"}));
  EXPECT_EQ(registry_.CloseKey(viaRoot), kErrorSuccess);
}

TEST_F(RegistryConformance, NamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
  const RegistryKey key = Create("MixedCase");
  EXPECT_EQ(Open("MIXEDCASE"), kErrorSuccess);
  EXPECT_EQ(Open("mixedcase"), kErrorSuccess);
  registry_.CloseKey(Create("MIXEDCASE"));
  EXPECT_EQ(SubKeys(key_), (std::vector<std::string>{"MixedCase"}));

  ASSERT_EQ(SetString(key, "Path", "C:\\A"), kErrorSuccess);
  ASSERT_EQ(SetString(key, "PATH", "C:\\B"), kErrorSuccess);
  RegistryValue value;
  ASSERT_EQ(registry_.QueryValue(key, "path", 260, value), kErrorSuccess);
  EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(value.data, std::string("C:\\B\0", 5));
  EXPECT_EQ(registry_.CloseKey(key), kErrorSuccess);
}

TEST_F(RegistryConformance, QueryFailsWhenTheDataDoNotFitTheBuffer) {
  // A REG_SZ's size counts its terminating zero: 259 characters fill 260 bytes.
  ASSERT_EQ(SetString(key_, "Fits", std::string(259, 'f')), kErrorSuccess);
  ASSERT_EQ(SetString(key_, "TooLong", std::string(260, 't')), kErrorSuccess);

  RegistryValue value;
  ASSERT_EQ(registry_.QueryValue(key_, "Fits", 260, value), kErrorSuccess);
  EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(value.data, std::string(259, 'f') + '\0');

  value = {platform::kRegBinary, "stale"};
  EXPECT_EQ(registry_.QueryValue(key_, "TooLong", 260, value), kErrorMoreData);
  EXPECT_EQ(value.data, "");
  ASSERT_EQ(registry_.QueryValue(key_, "TooLong", 261, value), kErrorSuccess);
  EXPECT_EQ(value.data.size(), 261u);

  ASSERT_EQ(registry_.SetValue(key_, "Number", platform::kRegDword, std::string("\x2A\0\0\0", 4)),
            kErrorSuccess);
  EXPECT_EQ(registry_.QueryValue(key_, "Number", 3, value), kErrorMoreData);
  ASSERT_EQ(registry_.QueryValue(key_, "Number", 4, value), kErrorSuccess);
  EXPECT_EQ(value.type, platform::kRegDword);
  EXPECT_EQ(value.data, std::string("\x2A\0\0\0", 4));
}

TEST_F(RegistryConformance, MissingValuesAndTheDefaultValue) {
  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(key_, "Missing", 260, value), kErrorFileNotFound);
  EXPECT_EQ(registry_.QueryValue(key_, "", 260, value), kErrorFileNotFound);

  ASSERT_EQ(SetString(key_, "", "default"), kErrorSuccess);
  ASSERT_EQ(registry_.QueryValue(key_, "", 260, value), kErrorSuccess);
  EXPECT_EQ(value.data, std::string("default\0", 8));

  // Binary data come back as they went in, zeros included.
  const std::string bytes("\0\x01\xFF\0", 4);
  ASSERT_EQ(registry_.SetValue(key_, "Bytes", platform::kRegBinary, bytes), kErrorSuccess);
  ASSERT_EQ(registry_.QueryValue(key_, "Bytes", 260, value), kErrorSuccess);
  EXPECT_EQ(value.type, platform::kRegBinary);
  EXPECT_EQ(value.data, bytes);
}

TEST_F(RegistryConformance, EnumKeyGivesSubKeysInNameOrderThenNoMoreItems) {
  std::string name = "stale";
  EXPECT_EQ(registry_.EnumKey(key_, 0, name), kErrorNoMoreItems);
  EXPECT_EQ(name, "");

  for (const char* subKey : {"b", "A", "c", "B2"}) {
    registry_.CloseKey(Create(subKey));
  }
  // Letter case does not order them.
  EXPECT_EQ(SubKeys(key_), (std::vector<std::string>{"A", "b", "B2", "c"}));
  EXPECT_EQ(registry_.EnumKey(key_, 4, name), kErrorNoMoreItems);
  EXPECT_EQ(registry_.EnumKey(key_, 100, name), kErrorNoMoreItems);

  // Values are not keys.
  const RegistryKey leaf = Create("A");
  ASSERT_EQ(SetString(leaf, "Value", "x"), kErrorSuccess);
  EXPECT_TRUE(SubKeys(leaf).empty());
  registry_.CloseKey(leaf);
}

TEST_F(RegistryConformance, DeleteKeyRefusesAKeyWithSubKeys) {
  registry_.CloseKey(Create("Parent\\Child"));
  EXPECT_EQ(registry_.DeleteKey(key_, "Parent"), kErrorAccessDenied);
  EXPECT_EQ(Open("Parent\\Child"), kErrorSuccess);

  EXPECT_EQ(registry_.DeleteKey(key_, "parent\\CHILD"), kErrorSuccess);
  EXPECT_EQ(Open("Parent\\Child"), kErrorFileNotFound);
  EXPECT_EQ(registry_.DeleteKey(key_, "Parent\\Child"), kErrorFileNotFound);

  // Values do not keep a key alive.
  const RegistryKey parent = Create("Parent");
  ASSERT_EQ(SetString(parent, "Value", "x"), kErrorSuccess);
  registry_.CloseKey(parent);
  EXPECT_EQ(registry_.DeleteKey(kHkeyCurrentUser, kScratch + "\\Parent"), kErrorSuccess);
  EXPECT_EQ(Open("Parent"), kErrorFileNotFound);
  EXPECT_EQ(registry_.DeleteKey(key_, "Missing"), kErrorFileNotFound);
}

// How a tree is removed key by key: always sub-key 0 of a handle that stays open.
TEST_F(RegistryConformance, EnumeratingFromIndexZeroAfterEachDeletionReachesEveryKey) {
  for (const char* subKey : {"Tree\\x", "Tree\\y", "Tree\\z"}) {
    registry_.CloseKey(Create(subKey));
  }
  const RegistryKey tree = Create("Tree");
  std::vector<std::string> deleted;
  std::string name;
  while (registry_.EnumKey(tree, 0, name) == kErrorSuccess && deleted.size() < 10) {
    ASSERT_EQ(registry_.DeleteKey(tree, name), kErrorSuccess) << name;
    deleted.push_back(name);
  }
  EXPECT_EQ(deleted, (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(registry_.DeleteKey(key_, "Tree"), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(tree), kErrorSuccess);
}

TEST_F(RegistryConformance, HandleOfADeletedKeyStaysOpenButReachesNothing) {
  constexpr long kErrorKeyDeleted = 1018;
  const RegistryKey doomed = Create("Doomed");
  ASSERT_EQ(SetString(doomed, "Value", "x"), kErrorSuccess);
  ASSERT_EQ(registry_.DeleteKey(key_, "Doomed"), kErrorSuccess);

  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(doomed, "Value", 260, value), kErrorKeyDeleted);
  EXPECT_EQ(SetString(doomed, "Value", "y"), kErrorKeyDeleted);
  EXPECT_EQ(Open("Doomed"), kErrorFileNotFound);
  EXPECT_EQ(registry_.CloseKey(doomed), kErrorSuccess);
}

TEST_F(RegistryConformance, DeleteValueRemovesOneValue) {
  ASSERT_EQ(SetString(key_, "One", "1"), kErrorSuccess);
  ASSERT_EQ(SetString(key_, "Two", "2"), kErrorSuccess);
  EXPECT_EQ(registry_.DeleteValue(key_, "ONE"), kErrorSuccess);
  EXPECT_EQ(registry_.DeleteValue(key_, "One"), kErrorFileNotFound);

  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(key_, "One", 260, value), kErrorFileNotFound);
  EXPECT_EQ(registry_.QueryValue(key_, "Two", 260, value), kErrorSuccess);
}

TEST_F(RegistryConformance, KeyOpenedForReadingRefusesChanges) {
  registry_.CloseKey(Create("Guarded"));
  RegistryKey readOnly = 0;
  ASSERT_EQ(registry_.OpenKey(key_, "Guarded", platform::kKeyRead, readOnly), kErrorSuccess);
  EXPECT_EQ(SetString(readOnly, "Value", "x"), kErrorAccessDenied);

  RegistryKey writable = 0;
  ASSERT_EQ(registry_.OpenKey(key_, "Guarded", platform::kKeyAllAccess, writable), kErrorSuccess);
  ASSERT_EQ(SetString(writable, "Value", "x"), kErrorSuccess);
  EXPECT_EQ(registry_.DeleteValue(readOnly, "Value"), kErrorAccessDenied);

  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(readOnly, "Value", 260, value), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(readOnly), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(writable), kErrorSuccess);
}

TEST_F(RegistryConformance, CloseKeyKnowsOnlyOpenHandles) {
  const RegistryKey key = Create("Closing");
  EXPECT_EQ(registry_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(key), kErrorInvalidHandle);
  EXPECT_EQ(registry_.CloseKey(0x5A5A5A58), kErrorInvalidHandle);

  // A closed handle opens nothing any more.
  RegistryKey opened = 0;
  EXPECT_EQ(registry_.OpenKey(key, "", platform::kKeyRead, opened), kErrorInvalidHandle);
}

TEST_F(RegistryConformance, EmptySubKeyNamesTheKeyItself) {
  const RegistryKey key = Create("Self");
  RegistryKey same = 0;
  ASSERT_EQ(registry_.OpenKey(key, "", platform::kKeyRead, same), kErrorSuccess);
  ASSERT_EQ(SetString(key, "Value", "x"), kErrorSuccess);
  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(same, "Value", 260, value), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(same), kErrorSuccess);

  // An empty name deletes the key the handle stands for.
  RegistryKey leaf = 0;
  ASSERT_EQ(registry_.OpenKey(key, "", platform::kKeyAllAccess, leaf), kErrorSuccess);
  registry_.CloseKey(Create("Self\\Leaf"));
  EXPECT_EQ(registry_.DeleteKey(key, ""), kErrorAccessDenied);
  ASSERT_EQ(registry_.CloseKey(leaf), kErrorSuccess);
  ASSERT_EQ(registry_.OpenKey(key_, "Self\\Leaf", platform::kKeyAllAccess, leaf), kErrorSuccess);
  EXPECT_EQ(registry_.DeleteKey(leaf, ""), kErrorSuccess);
  EXPECT_EQ(Open("Self\\Leaf"), kErrorFileNotFound);
  EXPECT_EQ(registry_.CloseKey(leaf), kErrorSuccess);

  // CreateKey hands out a handle of its own too, which needs closing.
  RegistryKey created = 0;
  ASSERT_EQ(registry_.CreateKey(key, "", created), kErrorSuccess);
  EXPECT_NE(created, key);
  EXPECT_EQ(registry_.QueryValue(created, "Value", 260, value), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(created), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(key), kErrorSuccess);
}

TEST_F(RegistryConformance, ClassesRootIsTheMachinesClassesKey) {
  const std::string name = "PictavoConformanceScratch.Document";
  const std::string machinePath = "SOFTWARE\\Classes\\" + name;
  conformance::DeleteKeyTree(registry_, platform::kHkeyClassesRoot, name);

  RegistryKey created = 0;
  ASSERT_EQ(registry_.CreateKey(platform::kHkeyClassesRoot, name, created), kErrorSuccess);
  EXPECT_EQ(SetString(created, "", "Document"), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(created), kErrorSuccess);

  RegistryKey machine = 0;
  ASSERT_EQ(
      registry_.OpenKey(platform::kHkeyLocalMachine, machinePath, platform::kKeyRead, machine),
      kErrorSuccess);
  RegistryValue value;
  EXPECT_EQ(registry_.QueryValue(machine, "", 260, value), kErrorSuccess);
  EXPECT_EQ(value.data, std::string("Document\0", 9));
  EXPECT_EQ(registry_.CloseKey(machine), kErrorSuccess);

  EXPECT_EQ(registry_.DeleteKey(platform::kHkeyClassesRoot, name), kErrorSuccess);
  EXPECT_EQ(
      registry_.OpenKey(platform::kHkeyLocalMachine, machinePath, platform::kKeyRead, machine),
      kErrorFileNotFound);
}

TEST_F(RegistryConformance, CurrentUserIsOneOfTheUsers) {
  ASSERT_EQ(SetString(key_, "Marker", "here"), kErrorSuccess);

  // Exactly one key under HKEY_USERS holds the scratch key with its marker.
  std::vector<std::string> owners;
  std::string sid;
  for (std::uint32_t index = 0;
       registry_.EnumKey(platform::kHkeyUsers, index, sid) == kErrorSuccess; ++index) {
    RegistryKey key = 0;
    if (registry_.OpenKey(platform::kHkeyUsers, sid + "\\" + kScratch, platform::kKeyRead, key) ==
        kErrorSuccess) {
      RegistryValue value;
      if (registry_.QueryValue(key, "Marker", 260, value) == kErrorSuccess) {
        owners.push_back(sid);
      }
      registry_.CloseKey(key);
    }
  }
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(owners[0].rfind("S-1-5-", 0), 0u) << owners[0];
}

}  // namespace
