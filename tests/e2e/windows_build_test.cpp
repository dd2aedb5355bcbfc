// Outputs of the Windows build seen from outside: the stand-in product as a user meets it, and
// the product's registration as another program reads the registry.

#include <filesystem>

#include "bench.h"

namespace e2e {
namespace {

constexpr char kProductKey[] = "HKLM\\SOFTWARE\\Corvantis\\Pictavo 6";

// A program of the Windows build beside setup.exe. A missing one fails in CI and skips
// elsewhere, as a missing setup.exe does.
#define REQUIRE_BUILT(path)                                                    \
  do {                                                                         \
    if (!fs::exists(path)) {                                                   \
      if (InCi()) {                                                            \
        GTEST_FAIL() << (path) << " is missing: build the win32 preset first"; \
      }                                                                        \
      GTEST_SKIP() << (path) << " is missing: build the win32 preset first";   \
    }                                                                          \
  } while (false)

class StandInProductTest : public WineTest {};

TEST_F(StandInProductTest, ShowsItsMainWindowAndEndsWhenClosed) {
  const fs::path program = bench().setupExe.parent_path() / "Pictv6.exe";
  REQUIRE_BUILT(program);
  WindowsProcess product(WindowsPath(program), {}, folder());
  ASSERT_TRUE(product.started());

  const UiResult shown =
      Uiauto({"wait", "--title", "Pictavo 6", "--image", "Pictv6.exe", "--timeout", "10000"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  ASSERT_EQ(shown.records.size(), 1u);
  EXPECT_EQ(shown.records[0].Get("visible"), "1");

  const UiResult closed = Uiauto({"close", "--title", "Pictavo 6", "--image", "Pictv6.exe"});
  EXPECT_EQ(closed.exitCode, 0) << closed.err;
  EXPECT_EQ(product.WaitForExit(10s), std::optional<int>(0));
}

class RegistryViewTest : public WineTest {
 protected:
  void TearDown() override {
    if (!registered_) {
      WineTest::TearDown();
      return;
    }
    const Output removed = RunWindows({RegisterProduct(), "--remove"});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(QueryRegistry(kProductKey), std::nullopt);
    WineTest::TearDown();
  }

  static std::string RegisterProduct() {
    return (TheBench().setupExe.parent_path() / "register_product.exe").string();
  }

  bool registered_ = false;
};

TEST_F(RegistryViewTest, TheRegistrationLiesInTheThirtyTwoBitView) {
  REQUIRE_BUILT(fs::path(RegisterProduct()));
  ASSERT_EQ(QueryRegistry(kProductKey), std::nullopt) << "left from an earlier run";
  registered_ = true;
  const Output registered = RunWindows({RegisterProduct(), WindowsFolder()});
  ASSERT_EQ(registered.exitCode, 0) << registered.err;

  const std::optional<std::string> key = QueryRegistry(kProductKey);
  ASSERT_TRUE(key);
  EXPECT_NE(key->find("Path    REG_SZ    " + WindowsFolder()), std::string::npos) << *key;

  const bool sixtyFourBit = fs::exists(bench().prefix / "drive_c" / "windows" / "syswow64");
  const Output native = RunWindows({"reg", "query", kProductKey, "/reg:64"});
  if (sixtyFourBit) {
    // The 64-bit programs' view holds the key only under its redirected name.
    EXPECT_NE(native.exitCode, 0) << native.out;
    const Output redirected = RunWindows(
        {"reg", "query", "HKLM\\SOFTWARE\\Wow6432Node\\Corvantis\\Pictavo 6", "/reg:64"});
    EXPECT_EQ(redirected.exitCode, 0) << redirected.err;
  } else {
    // A 32-bit prefix has a single view, whichever one is named.
    EXPECT_EQ(native.exitCode, 0) << native.err;
  }
}

}  // namespace
}  // namespace e2e
