// setup.exe is started from download folders, where anything may lie beside it. Windows looks
// for a library the import table names in the program's own folder first, except for the
// Known DLLs, which it always takes from the system folder, and the common controls, which the
// manifest binds to the side-by-side copy. Any other name in the table would load a planted
// copy before the program's first line runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "built_program.h"
#include "pe_file.h"

namespace {

using Names = std::vector<std::string>;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Known DLLs of every Windows the program supports, and comctl32.
bool IsLoadedFromSystemFolder(const std::string& library) {
  static const Names kAllowed = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll",
                                 "imm32.dll",    "kernel32.dll", "msvcrt.dll",   "ntdll.dll",
                                 "ole32.dll",    "oleaut32.dll", "rpcrt4.dll",   "shell32.dll",
                                 "shlwapi.dll",  "user32.dll",   "ws2_32.dll"};
  return std::find(kAllowed.begin(), kAllowed.end(), Lower(library)) != kAllowed.end();
}

// Names that may appear in the program's bytes although no system folder rule covers them,
// each for a reason that keeps the program's folder out of the search.
bool IsNamedSafely(const std::string& library) {
  const std::string name = Lower(library);
  // Loaded by its full path in the system folder (the version resources).
  return name == "version.dll" ||
         // The compiler's start-up code takes its runtime library only when the process has
         // already loaded it (GetModuleHandle first), never by a search.
         name == "libgcc_s_dw2-1.dll";
}

// The names of `imports` a planted copy could stand in for.
Names LoadedFromAnywhere(const pe::Imports& imports) {
  Names found;
  for (const Names* list : {&imports.libraries, &imports.delayLoaded}) {
    for (const std::string& library : *list) {
      if (!IsLoadedFromSystemFolder(library)) {
        found.push_back(library);
      }
    }
  }
  return found;
}

Names MentionedUnsafely(std::string_view image) {
  Names found;
  for (const std::string& library : pe::MentionedLibraries(image)) {
    if (!IsLoadedFromSystemFolder(library) && !IsNamedSafely(library)) {
      found.push_back(library);
    }
  }
  return found;
}

// setup.exe's import tables; none when the program is missing (said by BuiltProgram) or its
// tables cannot be read (a failure).
std::optional<pe::Imports> SetupImports() {
  const std::optional<std::string> image = e2e::BuiltProgram("setup.exe");
  if (!image) {
    return std::nullopt;
  }
  std::string error;
  std::optional<pe::Imports> imports = pe::ReadImports(*image, error);
  if (!imports) {
    ADD_FAILURE() << error;
  }
  return imports;
}

TEST(SetupImportsTest, NameOnlyLibrariesWindowsTakesFromItsOwnFolders) {
  const std::optional<pe::Imports> imports = SetupImports();
  if (!imports) {
    return;
  }
  // Every Windows program imports kernel32: an empty list would be a misread, not a pass.
  ASSERT_TRUE(std::any_of(imports->libraries.begin(), imports->libraries.end(),
                          [](const std::string& name) { return Lower(name) == "kernel32.dll"; }));
  EXPECT_EQ(LoadedFromAnywhere(*imports), Names{});
}

TEST(SetupImportsTest, OnlyTheLibrariesEveryRunNeedsAreImported) {
  // Everything else (the window manager, the shell, COM) is loaded at its first call, which a
  // silent removal never makes: each library in the table would cost each of its two
  // processes that library's start.
  const std::optional<pe::Imports> imports = SetupImports();
  if (!imports) {
    return;
  }
  Names libraries;
  for (const std::string& library : imports->libraries) {
    libraries.push_back(Lower(library));
  }
  std::sort(libraries.begin(), libraries.end());
  EXPECT_EQ(libraries, (Names{"advapi32.dll", "kernel32.dll", "msvcrt.dll"}));
  EXPECT_EQ(imports->delayLoaded, Names{});
}

TEST(SetupImportsTest, MentionNoOtherLibrary) {
  // Delay-load tables that GNU ld leaves out of the delay-load directory, and names handed to
  // LoadLibrary, only show as text.
  const std::optional<std::string> image = e2e::BuiltProgram("setup.exe");
  if (!image) {
    return;
  }
  EXPECT_EQ(MentionedUnsafely(*image), Names{});
}

TEST(SetupImportsTest, TheChecksCatchAProgramThatLinksOtherLibraries) {
  // import_probe.exe links version.dll the ordinary way and dwmapi.dll through a delay-load
  // library of dlltool.
  const std::optional<std::string> image = e2e::BuiltProgram("import_probe.exe");
  if (!image) {
    return;
  }
  std::string error;
  const std::optional<pe::Imports> imports = pe::ReadImports(*image, error);
  ASSERT_TRUE(imports) << error;
  EXPECT_EQ(LoadedFromAnywhere(*imports), Names{"VERSION.dll"});
  EXPECT_EQ(MentionedUnsafely(*image), Names{"dwmapi.dll"});
}

TEST(SetupImportsTest, TheAllowListIgnoresLetterCaseOnly) {
  pe::Imports imports;
  imports.libraries = {"KERNEL32.dll", "User32.DLL", "kernel32", "kernel32.dll.dll"};
  imports.delayLoaded = {"COMCTL32.dll", "uxtheme.dll"};
  EXPECT_EQ(LoadedFromAnywhere(imports), (Names{"kernel32", "kernel32.dll.dll", "uxtheme.dll"}));
}

}  // namespace

namespace {

// setup.exe is downloaded and run from removable media: what the comctl32, OLE and shell work
// adds must stay within the budget it was given.
TEST(SetupSizeTest, StaysWithin160Kilobytes) {
  const std::optional<std::string> image = e2e::BuiltProgram("setup.exe");
  if (!image) {
    return;
  }
  EXPECT_LE(image->size(), 160u * 1024u) << "setup.exe outgrew its size budget";
  // An image this small is no program at all: the check would pass on a broken build.
  EXPECT_GT(image->size(), 64u * 1024u);
}

}  // namespace
