// An elevated setup has the desktop's shell start the product, so that it runs as the user at
// the desktop. Where a desktop shell takes the request, the program starts in the folder given,
// as a child of the shell and not of the setup; where none does, nothing starts, and the setup
// falls back to starting it itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/win32/win32_platform.h"
#include "windows_test_support.h"

namespace windows_tests {
namespace {

// The file's text once something has written it; empty after the timeout.
std::string WrittenText(const std::string& path, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += 50) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    if (!text.str().empty() || waited >= timeoutMs) {
      return text.str();
    }
    Sleep(50);
  }
}

TEST(DesktopOpenTest, TheDesktopStartsTheProgramInTheFolderGivenOrNothingStarts) {
  ScratchFolder folder("desktop-open");
  ASSERT_TRUE(folder.created());
  platform::win32::Win32Shell shell;
  const bool taken = shell.OpenFromDesktop(ProgramFolder() + "\\parent_probe.exe", folder.path());
  std::cout << "the desktop's shell " << (taken ? "took the request" : "did not answer") << "\n";
  // The shell starts the program on its own time; a refusal is given time to show it started
  // nothing all the same.
  const std::string parent = WrittenText(folder.path() + "\\parent.txt", taken ? 20000 : 3000);
  if (taken) {
    ASSERT_FALSE(parent.empty()) << "the shell took the request, but the program did not start "
                                    "in the folder given";
    EXPECT_NE(parent, std::to_string(GetCurrentProcessId()))
        << "started by this process, not by the desktop's shell";
    EXPECT_NE(parent, "0") << "the probe could not tell who started it";
  } else {
    EXPECT_EQ(parent, "") << "no desktop answered, yet the program started";
  }
  // The probe has ended once it wrote its answer; its folder goes with the test.
  Sleep(200);
}

}  // namespace
}  // namespace windows_tests
