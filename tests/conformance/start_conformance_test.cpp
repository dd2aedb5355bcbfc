#include <gtest/gtest.h>

#include <string>

#include "conformance/scratch.h"

namespace {

class StartConformance : public conformance::ScratchTest {
 protected:
  std::string Program() { return platform_.process.ModuleFileName(); }
  std::string ProgramFolder() { return Program().substr(0, Program().rfind('\\')); }
  // This very program again, told to run no test, so that it ends at once.
  std::string QuietCommandLine() { return "\"" + Program() + "\" --gtest_filter=NoTestAtAll"; }
};

TEST_F(StartConformance, ProgramStartsInTheGivenOrTheCallersFolder) {
  EXPECT_TRUE(platform_.process.CreateProcess({}, QuietCommandLine(), ProgramFolder()));
  EXPECT_TRUE(platform_.process.CreateProcess({}, QuietCommandLine(), ""));
}

TEST_F(StartConformance, MissingProgramOrFolderStartsNothing) {
  EXPECT_FALSE(platform_.process.CreateProcess({}, "\"" + Path("missing.exe") + "\"", ""));
  EXPECT_FALSE(platform_.process.CreateProcess({}, QuietCommandLine(), Path("Missing")));
  // A folder is no program.
  EXPECT_FALSE(platform_.process.CreateProcess({}, "\"" + folder_ + "\"", ""));
}

TEST_F(StartConformance, ApplicationNameIsTheProgramWhateverTheCommandLineNames) {
  // The command line's first word names no program file: the application name alone decides.
  EXPECT_TRUE(platform_.process.CreateProcess(Program(), "nothing --gtest_filter=NoTestAtAll", ""));
  EXPECT_FALSE(platform_.process.CreateProcess(Path("missing.exe"), QuietCommandLine(), ""));
}

TEST_F(StartConformance, MissingDocumentDoesNotOpen) {
  EXPECT_FALSE(platform_.shell.Open(Path("missing.txt")));
}

}  // namespace
