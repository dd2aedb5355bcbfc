#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "conformance/scratch.h"

namespace {

class StartConformance : public conformance::ScratchTest {
 protected:
  std::string Program() { return platform_.process.ModuleFileName(); }
  std::string ProgramFolder() { return Program().substr(0, Program().rfind('\\')); }
  // This very program again, told to run no test, so that it ends at once.
  std::string QuietCommandLine() { return "\"" + Program() + "\" --gtest_filter=NoTestAtAll"; }
  // This very program as a probe that ends with `exitCode`.
  std::string ProbeCommandLine(unsigned exitCode, unsigned linger = 0) {
    std::string line = "\"" + Program() + "\"";
    if (linger != 0) {
      line += " " + std::string(conformance::kProbeLinger) + std::to_string(linger);
    }
    return line + " " + conformance::kProbeExit + std::to_string(exitCode);
  }
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

TEST_F(StartConformance, StartedProcessIsWaitedForAndGivesItsExitCode) {
  platform::Session& session = platform_.session;
  // 259 is the code of a process that still runs; the ones beside it are plain codes.
  for (const unsigned exitCode : {0u, 7u, 258u, 260u, 0xFFFFFFFFu}) {
    const platform::KernelHandle process = session.StartProcess({}, ProbeCommandLine(exitCode));
    ASSERT_NE(process, platform::kNoHandle) << exitCode;
    EXPECT_TRUE(session.WaitForProcessEnd(process, platform::kInfinite)) << exitCode;
    EXPECT_EQ(session.ProcessExitCode(process), std::optional<unsigned>(exitCode));
    // Reading it again reads the same.
    EXPECT_EQ(session.ProcessExitCode(process), std::optional<unsigned>(exitCode));
    EXPECT_TRUE(session.CloseHandle(process)) << exitCode;
    EXPECT_EQ(session.ProcessExitCode(process), std::nullopt) << exitCode;
  }
}

TEST_F(StartConformance, RunningProcessHasNoExitCodeYet) {
  platform::Session& session = platform_.session;
  // The application name decides; the probe lingers far longer than the next call takes.
  const platform::KernelHandle process = session.StartProcess(Program(), ProbeCommandLine(3, 2000));
  ASSERT_NE(process, platform::kNoHandle);
  EXPECT_EQ(session.ProcessExitCode(process), std::nullopt);
  EXPECT_TRUE(session.WaitForProcessEnd(process, platform::kInfinite));
  EXPECT_EQ(session.ProcessExitCode(process), std::optional<unsigned>(3));
  EXPECT_TRUE(session.CloseHandle(process));

  // A handle that may only wait cannot read it, and no handle reads nothing.
  const platform::KernelHandle own =
      session.OpenProcess(session.CurrentProcessId(), platform::kSynchronize);
  ASSERT_NE(own, platform::kNoHandle);
  EXPECT_EQ(session.ProcessExitCode(own), std::nullopt);
  EXPECT_TRUE(session.CloseHandle(own));
  EXPECT_EQ(session.ProcessExitCode(platform::kNoHandle), std::nullopt);
}

TEST_F(StartConformance, MissingProgramStartsNoProcess) {
  platform::Session& session = platform_.session;
  EXPECT_EQ(session.StartProcess({}, "\"" + Path("missing.exe") + "\""), platform::kNoHandle);
  EXPECT_EQ(platform_.process.LastError(), 2u);
  EXPECT_FALSE(platform_.process.CreateProcess({}, QuietCommandLine(), Path("missing")));
  EXPECT_EQ(platform_.process.LastError(), 267u);
  EXPECT_EQ(session.StartProcess(Path("missing.exe"), ProbeCommandLine(0)), platform::kNoHandle);
  EXPECT_EQ(platform_.process.LastError(), 2u);
}

TEST_F(StartConformance, MissingDocumentDoesNotOpen) {
  EXPECT_FALSE(platform_.shell.Open(Path("missing.txt")));
}

}  // namespace
