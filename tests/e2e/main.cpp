// Entry of the end-to-end tests. Started outside a Wine session (directly, or by ctest), the
// program starts itself again through tools/wine/run-in-prefix.sh, which gives it the locked
// test prefix and a display; the script's own exit code 77 (a tool missing, outside CI) and
// ours for skipped tests tell ctest "skipped" rather than "passed".

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr int kSkipped = 77;

bool ListsTestsOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--gtest_list_tests") {
      return true;
    }
  }
  return false;
}

void RestartInWineSession(int argc, char** argv) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    return;
  }
  self[length] = '\0';
  std::vector<char*> args = {const_cast<char*>("bash"), const_cast<char*>(E2E_RUN_IN_PREFIX),
                             const_cast<char*>("--host"), self};
  for (int i = 1; i < argc; ++i) {
    args.push_back(argv[i]);
  }
  args.push_back(nullptr);
  execvp("bash", args.data());
  // Falls through: the tests then report the missing session themselves.
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("PICTAVO_WINE_SESSION") == nullptr && !ListsTestsOnly(argc, argv)) {
    RestartInWineSession(argc, argv);
  }
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
  if (result == 0 && tests.skipped_test_count() > 0) {
    return kSkipped;
  }
  return result;
}
