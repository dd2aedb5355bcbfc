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

  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.StartProcess({"D:\\Dist\\setup.exe", {}, {}}).GetPlatform();
  SetupOptions options_ = [] {
    SetupOptions options;
    options.InstallFolder = "C:\\Program Files\\Pictavo 6";
    options.NewVersion = {6, 30, 2, 0};
    return options;
  }();
};

TEST_F(RegistrationTest, WritesEveryEntryOfTheProduct) {
  options_.AllUsers = true;
  RegisterProduct(platform_, options_);

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
}

TEST_F(RegistrationTest, CurrentUserInstallationStoresAUnderTheSameMachineKeys) {
  RegisterProduct(platform_, options_);
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
    RegisterProduct(platform_, options_);
    EXPECT_EQ(Value(registration::kUninstallKey, "DisplayVersion"), c.shown);
  }
}

TEST_F(RegistrationTest, ReinstallOverwritesItsValuesAndLeavesOthersAlone) {
  RegisterProduct(platform_, options_);
  machine_.Registry().SetString(kHkeyLocalMachine, registration::kUninstallKey, "EstimatedSize",
                                "4096");
  machine_.Registry().SetString(kHkeyLocalMachine, registration::kProductKey, "Language", "en");

  options_.InstallFolder = "D:\\Apps\\Pictavo";
  options_.AllUsers = true;
  RegisterProduct(platform_, options_);

  EXPECT_EQ(Value(registration::kProductKey, "Path"), "D:\\Apps\\Pictavo");
  EXPECT_EQ(Value(registration::kProductKey, "AllUsers"), "B");
  EXPECT_EQ(Value(registration::kUninstallKey, "UninstallString"),
            "\"D:\\Apps\\Pictavo\\PictvUnInst.exe\"");
  EXPECT_EQ(Value(registration::kUninstallKey, "EstimatedSize"), "4096");
  EXPECT_EQ(Value(registration::kProductKey, "Language"), "en");
}

TEST_F(RegistrationTest, UserWithoutAdministratorRightsGetsNoEntriesAndNoError) {
  machine_.Faults().Set(sim::NoAdministratorRights());
  RegisterProduct(platform_, options_);
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
