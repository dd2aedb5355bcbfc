// A library lying beside the program must never be taken for a system one: once the program
// has confined the library search such a library is no longer found, and the version library
// comes from the system folder in any case.

#include <windows.h>

#include <gtest/gtest.h>

#include "app/existing_installation.h"
#include "platform/win32/win32_platform.h"
#include "windows_test_support.h"

namespace windows_tests {
namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
constexpr DWORD kSearchDefaultDirectories = 0x00001000;

SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesEntry() {
  return reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories")));
}

class LibrarySearchTest : public testing::Test {
 protected:
  void SetUp() override {
    // Every Windows since 8, and Wine, has the call; without it the test has nothing to show.
    ASSERT_NE(SetDefaultDllDirectoriesEntry(), nullptr);
  }
  // The confinement is process wide; the other tests run with the usual search.
  void TearDown() override { SetDefaultDllDirectoriesEntry()(kSearchDefaultDirectories); }
};

TEST_F(LibrarySearchTest, ALibraryBesideTheProgramIsFoundOnlyBeforeTheSearchIsConfined) {
  HMODULE planted = LoadLibraryA("planted_probe.dll");
  ASSERT_NE(planted, nullptr) << "the probe library must lie beside windows_tests.exe";
  FreeLibrary(planted);
  ASSERT_EQ(GetModuleHandleA("planted_probe.dll"), nullptr);

  platform::win32::RestrictLibrarySearch();

  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("planted_probe.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE system = LoadLibraryA("shlwapi.dll");
  EXPECT_NE(system, nullptr) << "the system folder is still searched";
  if (system != nullptr) {
    FreeLibrary(system);
  }
}

TEST_F(LibrarySearchTest, VersionsAreStillReadOnceTheSearchIsConfined) {
  platform::win32::RestrictLibrarySearch();
  platform::win32::Win32Platform windows;
  EXPECT_EQ(ReadFileVersion(windows.Get(), ProgramFolder() + "\\Pictv6.exe"),
            ParseVersion(PICTV6_VERSION));
  // The version library comes from the system folder, whatever the search would have found.
  HMODULE version = GetModuleHandleA("version.dll");
  ASSERT_NE(version, nullptr);
  char path[MAX_PATH];
  char system[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(version, path, MAX_PATH), 0u);
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, static_cast<int>(length),
                           system, static_cast<int>(length)),
            CSTR_EQUAL)
      << path;
}

// Runs a program to its end; its exit code, or -1 when it did not start or end.
int RunToEnd(const std::string& program, const std::string& arguments, const std::string& folder) {
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(PlantedVersionLibraryTest, TheSystemCopyIsUsedWhateverLiesBesideTheProgram) {
  ScratchFolder folder("planted");
  ASSERT_TRUE(folder.created());
  const std::string probe = folder.path() + "\\version_probe.exe";
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\version_probe.exe").c_str(), probe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\planted_probe.dll").c_str(),
                        (folder.path() + "\\version.dll").c_str(), FALSE));
  // The plant works: a program that names the library alone gets the copy beside it.
  EXPECT_EQ(RunToEnd(probe, "--by-name", folder.path()), 3);
  // The version resources, with no confinement of the search, still read the system's.
  EXPECT_EQ(RunToEnd(probe, "\"" + ProgramFolder() + "\\Pictv6.exe\"", folder.path()), 0);
}

}  // namespace
}  // namespace windows_tests
