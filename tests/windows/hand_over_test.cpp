// The uninstaller's copy waits for the end of the uninstaller that started it: found through
// the real process list, told apart from a later process, and waited for through its handle.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "windows_test_support.h"

namespace windows_tests {
namespace {

// What the probe's waiting half found, once it has written it; empty after the timeout.
std::string Result(const std::string& folder, DWORD timeoutMs) {
  const std::string path = folder + "\\result.txt";
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    if (!text.str().empty()) {
      return text.str();
    }
    Sleep(50);
  }
  return {};
}

// The probe started in `folder`; its process handle, nullptr when it did not start.
HANDLE Start(const std::string& folder, const std::string& arguments) {
  const std::string program = ProgramFolder() + "\\parent_probe.exe";
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

TEST(HandOverTest, TheCopyWaitsForTheEndOfTheProcessThatStartedIt) {
  struct Case {
    const char* name;
    const char* arguments;
    const char* result;
  };
  for (const Case& c : {
           Case{"ends", "start 10000 0", "ended"},    // the parent ends at once
           Case{"lives", "start 300 2000", "alive"},  // it outlives the wait
           Case{"test", "wait 300", "alive"},         // this test started it, and lives on
       }) {
    ScratchFolder folder(std::string("hand-over-") + c.name);
    ASSERT_TRUE(folder.created());
    const HANDLE probe = Start(folder.path(), c.arguments);
    ASSERT_NE(probe, nullptr) << c.name;
    EXPECT_EQ(Result(folder.path(), 15000), c.result) << c.name;
    // Its folder goes with the test, once nothing runs in it.
    EXPECT_EQ(WaitForSingleObject(probe, 15000), WAIT_OBJECT_0) << c.name;
    CloseHandle(probe);
  }
}

}  // namespace
}  // namespace windows_tests
