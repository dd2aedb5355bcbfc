#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kUninstaller[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";
constexpr char kSetup[] = "D:\\Pictavo\\setup.exe";
constexpr char kOwn[] = "C:\\P\\PictvUnInst.exe";

const char* NameOf(RunMode mode) {
  switch (mode) {
    case RunMode::SelfRemoval:
      return "self-removal";
    case RunMode::Install:
      return "install";
    case RunMode::Uninstall:
      return "uninstall";
  }
  return "?";
}

std::string Shown(const std::optional<std::string>& value) {
  return value ? "[" + *value + "]" : "none";
}

// Every field the switches set, one a line, so that a failing row names the fields it got wrong.
std::string Fields(const CommandLine& line) {
  std::ostringstream out;
  out << "mode " << NameOf(line.mode) << "\nsilent " << line.silent << "\nrestart code "
      << line.restartCode << "\nhelp " << line.helpAsked << "\nlog " << Shown(line.logFile)
      << "\noutcome " << line.outcomeAwaited << "\nself-removal [" << line.selfRemovalPath
      << "]\nno instance question " << line.instanceQuestionSkipped << "\nfolder "
      << Shown(line.install.folder) << "\nrun after " << line.install.runAfter << "\nall users "
      << line.install.allUsers << "\nautostart " << line.install.autostart << "\nno desktop icon "
      << line.install.noDesktopIcon << "\n";
  return out.str();
}

struct Row {
  const char* rule;
  std::vector<std::string> arguments;  // element 0 is the program
  const char* programPath;
  CommandLine expected;  // its text is checked by the next test
};

constexpr RunMode kInstall = RunMode::Install;

TEST(CommandLineTest, EachSwitchKeepsItsPositionAndLetterCaseRules) {
  const Row rows[] = {
      // The run mode: "-delself" and "-install" at position 1, else the program's path.
      {"no argument, uninstaller", {"x"}, kUninstaller, {}},
      {"no argument vector at all", {}, kUninstaller, {}},
      {"the program called setup.exe", {"setup.exe"}, kSetup, {.mode = kInstall}},
      {"-install at position 1", {"x", "-install"}, kUninstaller, {.mode = kInstall}},
      {"-install in any case", {"x", "-INSTALL"}, kUninstaller, {.mode = kInstall}},
      {"-install at position 2 is no install",
       {"x", "-S", "-INSTALL"},
       kUninstaller,
       {.silent = true}},
      {"-install as a longer word", {"x", "-installer"}, kUninstaller, {}},
      {"path in capitals", {"x"}, "C:\\Temp\\SETUP.EXE", {.mode = kInstall}},
      {"longer program name", {"x"}, "C:\\Temp\\Product_Setup.exe", {.mode = kInstall}},
      {"name ending in setup.exe", {"x"}, "C:\\Temp\\mysetup.exe", {.mode = kInstall}},
      {"setup.exe in a folder name", {"x"}, "C:\\setup.exe.d\\PictvUnInst.exe", {.mode = kInstall}},
      {"setup.ex", {"x"}, "C:\\Temp\\setup.ex", {}},
      {"setup .exe", {"x"}, "C:\\Temp\\setup .exe", {}},
      {"-delself with a path, even in setup.exe",
       {"x", "-delself", kOwn},
       kSetup,
       {.mode = RunMode::SelfRemoval, .selfRemovalPath = kOwn}},
      {"-delself with a path and -s",
       {"x", "-delself", kOwn, "-s"},
       kUninstaller,
       {.mode = RunMode::SelfRemoval,
        .silent = true,
        .selfRemovalPath = kOwn,
        .instanceQuestionSkipped = true}},
      {"-delself without a path, uninstaller", {"x", "-delself"}, kUninstaller, {}},
      {"-delself without a path, setup.exe", {"x", "-delself"}, kSetup, {.mode = kInstall}},
      {"-delself in another case", {"x", "-DelSelf", kOwn}, kUninstaller, {}},
      {"-delself at position 2", {"x", "-s", "-delself", kOwn}, kUninstaller, {.silent = true}},
      {"the copy that removes, as the uninstaller starts it",
       {"x", "-delself", kOwn, "-outcome", "-restartcode", "-log", "C:\\L\\r.log"},
       kUninstaller,
       {.mode = RunMode::SelfRemoval,
        .restartCode = true,
        .logFile = "C:\\L\\r.log",
        .outcomeAwaited = true,
        .selfRemovalPath = kOwn}},

      // "-s" anywhere after the program, whole, in any case.
      {"-s", {"x", "-s"}, kUninstaller, {.silent = true}},
      {"-S", {"x", "-S"}, kUninstaller, {.silent = true}},
      {"-s last of several",
       {"x", "-install", "-allusers", "-s"},
       kUninstaller,
       {.mode = kInstall,
        .silent = true,
        .instanceQuestionSkipped = true,
        .install = {.allUsers = true}}},
      {"/s is not silent", {"x", "/s"}, kUninstaller, {}},
      {"-silent is not -s", {"x", "-silent"}, kUninstaller, {}},
      {"-s with a blank behind", {"x", "-s "}, kUninstaller, {}},
      {"the program itself is no switch", {"-s"}, kUninstaller, {}},

      // The instance question: "-s" or "/s" from position 2 on, in any case.
      {"-s at position 1 still asks",
       {"setup.exe", "-s"},
       kSetup,
       {.mode = kInstall, .silent = true}},
      {"-install -S",
       {"setup.exe", "-install", "-S"},
       kSetup,
       {.mode = kInstall, .silent = true, .instanceQuestionSkipped = true}},
      {"-install /S",
       {"setup.exe", "-install", "/S"},
       kSetup,
       {.mode = kInstall, .instanceQuestionSkipped = true}},
      {"/s at position 2",
       {"setup.exe", "x", "/s"},
       kSetup,
       {.mode = kInstall, .instanceQuestionSkipped = true}},
      {"-silent at position 2", {"setup.exe", "x", "-silent"}, kSetup, {.mode = kInstall}},

      // "-restartcode" and "-outcome" anywhere, in any case.
      {"-RestartCode", {"x", "-RestartCode"}, kUninstaller, {.restartCode = true}},
      {"-restartcode run together", {"x", "-restartcode3010"}, kUninstaller, {}},
      {"-Outcome", {"x", "-Outcome"}, kUninstaller, {.outcomeAwaited = true}},

      // "-log": the value after the first one that has a value, in any case.
      {"-log FILE", {"x", "-log", "a.log"}, kUninstaller, {.logFile = "a.log"}},
      {"-LOG FILE", {"x", "-LOG", "a.log"}, kUninstaller, {.logFile = "a.log"}},
      {"-log last has no value", {"x", "-log"}, kUninstaller, {}},
      {"the first -log wins",
       {"x", "-log", "a.log", "-log", "b.log"},
       kUninstaller,
       {.logFile = "a.log"}},
      {"a -log without a value gives way", {"x", "-s", "-log"}, kUninstaller, {.silent = true}},
      {"-log's value may be -log", {"x", "-log", "-log"}, kUninstaller, {.logFile = "-log"}},
      {"-log's value is a switch too",
       {"x", "-log", "-s"},
       kUninstaller,
       {.silent = true, .logFile = "-s", .instanceQuestionSkipped = true}},
      {"an empty -log value", {"x", "-log", ""}, kUninstaller, {.logFile = ""}},

      // Help: a whole help switch anywhere after the program, in any case.
      {"/?", {"x", "/?"}, kUninstaller, {.helpAsked = true}},
      {"-?", {"x", "-?"}, kUninstaller, {.helpAsked = true}},
      {"/H", {"x", "/H"}, kUninstaller, {.helpAsked = true}},
      {"-h", {"x", "-h"}, kUninstaller, {.helpAsked = true}},
      {"--Help", {"x", "--Help"}, kUninstaller, {.helpAsked = true}},
      {"help after other switches",
       {"x", "-s", "-allusers", "/?"},
       kUninstaller,
       {.silent = true, .helpAsked = true, .install = {.allUsers = true}}},
      {"help as the value of -instdir",
       {"x", "-instdir", "-h"},
       kUninstaller,
       {.helpAsked = true, .install = {.folder = "-h"}}},
      {"help as the value of -log",
       {"x", "-log", "/?"},
       kUninstaller,
       {.helpAsked = true, .logFile = "/?"}},
      {"help as the program", {"/?"}, kUninstaller, {}},
      {"-help", {"x", "-help"}, kUninstaller, {}},
      {"/help", {"x", "/help"}, kUninstaller, {}},
      {"?", {"x", "?"}, kUninstaller, {}},
      {"/??", {"x", "/??"}, kUninstaller, {}},
      {"-h with a blank behind", {"x", "-h "}, kUninstaller, {}},
      {"--h", {"x", "--h"}, kUninstaller, {}},

      // The install switches: "-instdir" exactly, the others in any case.
      {"flags in mixed case",
       {"x", "-RUNAFTER", "-AllUsers", "-autostart", "-NoDeskIco"},
       kSetup,
       {.mode = kInstall,
        .install = {.runAfter = true, .allUsers = true, .autostart = true, .noDesktopIcon = true}}},
      {"no flag among other switches",
       {"x", "-install", "-s", "/s", "-runafterx"},
       kSetup,
       {.mode = kInstall, .silent = true, .instanceQuestionSkipped = true}},
      {"-instdir FOLDER",
       {"x", "-instdir", "E:\\Apps\\"},
       kSetup,
       {.mode = kInstall, .install = {.folder = "E:\\Apps\\"}}},
      {"-INSTDIR is no -instdir", {"x", "-INSTDIR", "E:\\Apps"}, kSetup, {.mode = kInstall}},
      {"-instdir last has no value", {"x", "-instdir"}, kSetup, {.mode = kInstall}},
      {"the last -instdir wins",
       {"x", "-instdir", "E:\\Apps", "-instdir", "E:\\Missing"},
       kSetup,
       {.mode = kInstall, .install = {.folder = "E:\\Missing"}}},
      {"a last -instdir without a value gives way",
       {"x", "-instdir", "E:\\Apps", "-instdir"},
       kSetup,
       {.mode = kInstall, .install = {.folder = "E:\\Apps"}}},
      {"-instdir's value is a switch in its own turn",
       {"x", "-instdir", "-instdir", "E:\\Apps"},
       kSetup,
       {.mode = kInstall, .install = {.folder = "E:\\Apps"}}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Fields(ReadCommandLine(row.arguments, row.programPath)), Fields(row.expected))
        << row.rule;
  }
}

TEST(CommandLineTest, TheLogShowsEachArgumentAfterABlankQuotedWhereItHoldsABlankOrATab) {
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, ""},
      {{"C:\\My Programs\\setup.exe"}, ""},
      {{"x", "-s", "-LOG", "a.log"}, " -s -LOG a.log"},
      {{"x", "-instdir", "D:\\My Apps", "-x\ty"}, " -instdir \"D:\\My Apps\" \"-x\ty\""},
      {{"x", "", "a\"b"}, "  a\"b"},
  };
  for (const auto& [arguments, text] : rows) {
    EXPECT_EQ(ReadCommandLine(arguments, kUninstaller).text, text) << text;
  }
}

}  // namespace
