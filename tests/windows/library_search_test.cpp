// Once the program has confined the library search, a library lying beside it is no longer
// found, while the system's libraries and the version resources still are.

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

}  // namespace
}  // namespace windows_tests
