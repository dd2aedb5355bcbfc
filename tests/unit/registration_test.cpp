#include <gtest/gtest.h>

#include "engine/registration.h"
#include "platform/sim/machine.h"

namespace {

using platform::kHkeyLocalMachine;

class RegistrationTest : public ::testing::Test {
 protected:
  std::optional<std::string> Value(const char* key, const char* name) {
    return machine_.Registry().GetString(kHkeyLocalMachine, key, name);
  }
  std::optional<std::uint32_t> Number(const char* name) {
    return machine_.Registry().GetDword(kHkeyLocalMachine, registration::kUninstallKey, name);
  }

  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"D:\\Dist\\setup.exe", {}, {}}).GetPlatform();
  SetupOptions options_ = [] {
    SetupOptions options;
    options.InstallFolder = "C:\\Program Files\\Pictavo 6";
    options.NewVersion = {6, 30, 2, 0};
    return options;
  }();
};

TEST_F(RegistrationTest, WritesEveryEntryOfTheProduct) {
  options_.AllUsers = true;
  RegisterProduct(platform_, options_, 0);

  using namespace registration;
  EXPECT_EQ(Value(kProductKey, "AllUsers"), "B");
  EXPECT_EQ(Value(kProductKey, "Path"), "C:\\Program Files\\Pictavo 6");
  EXPECT_EQ(Value(kAppPathKey, ""), "C:\\Program Files\\Pictavo 6\\Pictv6.exe");
  EXPECT_EQ(Value(kUninstallKey, "Contact"), "Support");
  EXPECT_EQ(Value(kUninstallKey, "DisplayName"), "Pictavo 6");
  EXPECT_EQ(Value(kUninstallKey, "DisplayVersion"), "6.30.02");
  EXPECT_EQ(Value(kUninstallKey, "Publisher"), "Corvantis Technology LLC");
  EXPECT_EQ(Value(kUninstallKey, "UninstallString"),
            "\"C:\\Program Files\\Pictavo 6\\PictvUnInst.exe\"");
  EXPECT_EQ(Value(kUninstallKey, "URLInfoAbout"), "http://www.corvantis.example");
  EXPECT_EQ(Value(kUninstallKey, "QuietUninstallString"),
            "\"C:\\Program Files\\Pictavo 6\\PictvUnInst.exe\" -s");
  EXPECT_EQ(Value(kUninstallKey, "InstallLocation"), "C:\\Program Files\\Pictavo 6");
  EXPECT_EQ(Value(kUninstallKey, "DisplayIcon"), "\"C:\\Program Files\\Pictavo 6\\Pictv6.exe\",0");
  EXPECT_EQ(Number("EstimatedSize"), 0u);
  EXPECT_EQ(Number("NoModify"), 1u);
  EXPECT_EQ(Number("NoRepair"), 1u);
}

TEST_F(RegistrationTest, EstimatedSizeIsTheBytesInKilobytesRoundedUp) {
  const struct {
    std::uint64_t bytes;
    std::uint32_t kilobytes;
  } cases[] = {
      {0, 0},
      {1, 1},
      {1024, 1},
      {1025, 2},
      {150 * 1024 * 1024 + 1, 150 * 1024 + 1},
      // Past what a REG_DWORD holds (4 TB): the largest it can show.
      {std::uint64_t{0xFFFFFFFF} * 1024, 0xFFFFFFFF},
      {std::uint64_t{0xFFFFFFFF} * 1024 + 1, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    RegisterProduct(platform_, options_, c.bytes);
    EXPECT_EQ(Number("EstimatedSize"), c.kilobytes) << c.bytes;
  }
}

TEST_F(RegistrationTest, CurrentUserInstallationStoresAUnderTheSameMachineKeys) {
  RegisterProduct(platform_, options_, 0);
  EXPECT_EQ(Value(registration::kProductKey, "AllUsers"), "A");
  EXPECT_EQ(Value(registration::kUninstallKey, "DisplayName"), "Pictavo 6");
  EXPECT_FALSE(
      machine_.Registry().KeyExists(platform::kHkeyCurrentUser, registration::kProductKey));
}

TEST_F(RegistrationTest, DisplayVersionHasThreePartsWithTwoDigitMinorAndBuild) {
  const struct {
    FileVersion version;
    const char* shown;
  } cases[] = {
      {{0, 0, 0, 0}, "0.00.00"}, {{6, 1, 123, 9}, "6.01.123"}, {{12, 0, 5, 0}, "12.00.05"}};
  for (const auto& c : cases) {
    options_.NewVersion = c.version;
    RegisterProduct(platform_, options_, 0);
    EXPECT_EQ(Value(registration::kUninstallKey, "DisplayVersion"), c.shown);
  }
}

TEST_F(RegistrationTest, ReinstallOverwritesItsValuesAndLeavesOthersAlone) {
  RegisterProduct(platform_, options_, 0);
  machine_.Registry().SetString(kHkeyLocalMachine, registration::kUninstallKey, "HelpLink",
                                "http://help.example");
  machine_.Registry().SetString(kHkeyLocalMachine, registration::kProductKey, "Language", "en");

  options_.InstallFolder = "D:\\Apps\\Pictavo";
  options_.AllUsers = true;
  RegisterProduct(platform_, options_, 5000);

  EXPECT_EQ(Value(registration::kProductKey, "Path"), "D:\\Apps\\Pictavo");
  EXPECT_EQ(Value(registration::kProductKey, "AllUsers"), "B");
  EXPECT_EQ(Value(registration::kUninstallKey, "UninstallString"),
            "\"D:\\Apps\\Pictavo\\PictvUnInst.exe\"");
  EXPECT_EQ(Value(registration::kUninstallKey, "QuietUninstallString"),
            "\"D:\\Apps\\Pictavo\\PictvUnInst.exe\" -s");
  EXPECT_EQ(Value(registration::kUninstallKey, "InstallLocation"), "D:\\Apps\\Pictavo");
  EXPECT_EQ(Value(registration::kUninstallKey, "DisplayIcon"),
            "\"D:\\Apps\\Pictavo\\Pictv6.exe\",0");
  EXPECT_EQ(Number("EstimatedSize"), 5u);
  EXPECT_EQ(Value(registration::kUninstallKey, "HelpLink"), "http://help.example");
  EXPECT_EQ(Value(registration::kProductKey, "Language"), "en");
}

TEST_F(RegistrationTest, UserWithoutAdministratorRightsGetsNoEntriesAndNoError) {
  machine_.Faults().Set(sim::NoAdministratorRights());
  RegisterProduct(platform_, options_, 0);
  EXPECT_FALSE(machine_.Registry().KeyExists(kHkeyLocalMachine, registration::kProductKey));
  EXPECT_FALSE(machine_.Registry().KeyExists(kHkeyLocalMachine, registration::kUninstallKey));
}

}  // namespace

#include "engine/distribution.h"
#include "resources/resource_tables.h"

namespace {

TEST(VendorSiteTest, CatalogueShowsTheAddressTheRegistryStores) {
  const resources::StringEntry* damaged = resources::FindString(18);
  ASSERT_NE(damaged, nullptr);
  EXPECT_NE(damaged->text.find(std::string(vendor::kSite) + " and re-try"), std::string::npos);
}

}  // namespace
