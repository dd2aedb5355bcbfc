#include "engine/deployment.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/install_log.h"
#include "platform/sim/machine.h"

namespace {

using sim::DelayedOperation;

constexpr char kSource[] = "C:\\Dist";
constexpr char kInstall[] = "C:\\Program Files\\Pictavo 6";

std::string Src(const std::string& name) {
  return std::string(kSource) + "\\" + name;
}
std::string Dst(const std::string& name) {
  return std::string(kInstall) + "\\" + name;
}

class DeploymentTest : public ::testing::Test {
 protected:
  DeploymentTest() {
    options_.SourceFolder = kSource;
    options_.InstallFolder = kInstall;
    files().CreateFolders(kSource);
  }

  sim::FileSystem& files() { return machine_.Files(); }
  std::optional<std::string> Read(const std::string& path) { return files().ReadFile(path); }
  const std::vector<DelayedOperation>& Delayed() { return files().DelayedOperations(); }

  bool Copy(const std::string& name, std::optional<std::string> targetName = std::nullopt) {
    return CopyInstallFile(platform_, name, kSource, kInstall, targetName);
  }

  void Deploy(const std::string& manifest) {
    files().WriteFile(Src("PictvUnInst.log"), manifest);
    DeployManifest(platform_, options_, Wow64Query(platform_.system), Src("PictvUnInst.log"),
                   report_, counter_);
  }

  sim::Machine machine_;
  RunReport report_;
  DeploymentCounter counter_;
  sim::Process& process_ = machine_.Processes().Start({Src("setup.exe"), {}, {}});
  platform::Platform& platform_ = process_.GetPlatform();
  SetupOptions options_;
};

// --- CopyInstallFile --------------------------------------------------------------------------

TEST_F(DeploymentTest, ReadOnlyHiddenTargetIsReplacedWithoutDeferring) {
  files().WriteFile(Src("a.dat"), "new");
  files().WriteFile(Dst("a.dat"), "old");
  files().SetAttributes(Dst("a.dat"), platform::kAttributeReadOnly | platform::kAttributeHidden);

  EXPECT_TRUE(Copy("a.dat"));
  EXPECT_EQ(Read(Dst("a.dat")), "new");
  EXPECT_TRUE(Delayed().empty());
  EXPECT_FALSE(files().Exists(Dst("a.dat.old")));
}

TEST_F(DeploymentTest, MissingTargetIsCopiedAndMissingSourceCopiesNothing) {
  files().WriteFile(Src("a.dat"), "new");
  files().CreateFolders(kInstall);
  EXPECT_TRUE(Copy("a.dat", "b.dat"));
  EXPECT_EQ(Read(Dst("b.dat")), "new");

  files().WriteFile(Dst("gone.dat"), "kept");
  EXPECT_FALSE(Copy("gone.dat"));
  EXPECT_EQ(Read(Dst("gone.dat")), "kept");
}

// A replacement is copied beside the installed file and renamed over it: neither a full drive
// nor a power cut at any call of it leaves the file missing or cut short.
TEST_F(DeploymentTest, AReplacementLeavesTheOldFileOrTheNewOneWhateverStopsIt) {
  const std::string installed(300, 'o');
  const std::string replacement(500, 'n');
  const auto prepare = [&] {
    files().WriteFile(Src("Pictv6.exe"), replacement);
    files().WriteFile(Dst("Pictv6.exe"), installed);
    files().SetFileAttributes(Dst("Pictv6.exe"), platform::kAttributeReadOnly);
  };

  prepare();
  files().SetDriveCapacity('C', 700);  // room for the file, not for both
  EXPECT_FALSE(Copy("Pictv6.exe"));
  EXPECT_EQ(Read(Dst("Pictv6.exe")), installed);
  EXPECT_FALSE(files().Exists(Dst("Pictv6.exe.new"))) << "the cut side copy stays";
  files().SetDriveCapacity('C', std::nullopt);

  for (unsigned at = 1;; ++at) {
    SCOPED_TRACE("power lost at change " + std::to_string(at));
    prepare();
    machine_.Faults().Set(sim::Fault{.kind = sim::Fault::Kind::PowerLoss, .at = at});
    bool lost = false;
    try {
      Copy("Pictv6.exe");
    } catch (const sim::PowerLoss&) {
      lost = true;
    }
    machine_.Faults().Set(std::nullopt);
    const std::optional<std::string> left = files().ReadFile(Dst("Pictv6.exe"));
    EXPECT_TRUE(left == installed || left == replacement);
    if (!lost) {
      EXPECT_EQ(left, replacement);
      EXPECT_FALSE(files().Exists(Dst("Pictv6.exe.new")));
      EXPECT_GT(at, 3u) << "the replacement took fewer calls than a side copy needs";
      break;
    }
  }
}

TEST_F(DeploymentTest, TargetInUseButRenamableIsSetAsideAndGoesAtTheNextStart) {
  files().WriteFile(Src("Pictv6.exe"), "new");
  files().WriteFile(Dst("Pictv6.exe"), "old");
  files().SetInUse(Dst("Pictv6.exe"), sim::InUse::NotDeletable);

  EXPECT_TRUE(Copy("Pictv6.exe"));
  EXPECT_EQ(Read(Dst("Pictv6.exe")), "new");
  EXPECT_EQ(Read(Dst("Pictv6.exe.old")), "old");
  EXPECT_EQ(Delayed(), (std::vector<DelayedOperation>{{Dst("Pictv6.exe.old"), std::nullopt}}));

  machine_.Reboot();
  EXPECT_FALSE(files().Exists(Dst("Pictv6.exe.old")));
  EXPECT_EQ(Read(Dst("Pictv6.exe")), "new");
}

TEST_F(DeploymentTest, LockedOldFileSendsTheRenameToOld2) {
  files().WriteFile(Src("Pictv6.exe"), "new");
  files().WriteFile(Dst("Pictv6.exe"), "current");
  files().WriteFile(Dst("Pictv6.exe.old"), "earlier");
  files().WriteFile(Dst("Pictv6.exe.old2"), "stale");
  files().SetInUse(Dst("Pictv6.exe"), sim::InUse::NotDeletable);
  files().SetInUse(Dst("Pictv6.exe.old"), sim::InUse::NotDeletable);

  EXPECT_TRUE(Copy("Pictv6.exe"));
  EXPECT_EQ(Read(Dst("Pictv6.exe")), "new");
  EXPECT_EQ(Read(Dst("Pictv6.exe.old")), "earlier");
  EXPECT_EQ(Read(Dst("Pictv6.exe.old2")), "current");
  EXPECT_EQ(Delayed(), (std::vector<DelayedOperation>{{Dst("Pictv6.exe.old"), std::nullopt},
                                                      {Dst("Pictv6.exe.old2"), std::nullopt}}));

  machine_.Reboot();
  EXPECT_FALSE(files().Exists(Dst("Pictv6.exe.old")));
  EXPECT_FALSE(files().Exists(Dst("Pictv6.exe.old2")));
}

TEST_F(DeploymentTest, TargetNeitherDeletableNorRenamableIsReplacedAtTheNextStart) {
  files().WriteFile(Src("hook.dll"), "new");
  files().WriteFile(Dst("hook.dll"), "old");
  files().WriteFile(Dst("hook.dll.new"), "left over");
  files().SetInUse(Dst("hook.dll"), sim::InUse::NotRenamable);

  EXPECT_FALSE(Copy("hook.dll"));
  EXPECT_EQ(Read(Dst("hook.dll")), "old");
  EXPECT_EQ(Read(Dst("hook.dll.new")), "new");
  // The deletion first: a rename at the start does not replace a file in its way.
  EXPECT_EQ(Delayed(), (std::vector<DelayedOperation>{{Dst("hook.dll"), std::nullopt},
                                                      {Dst("hook.dll.new"), Dst("hook.dll")}}));

  machine_.Reboot();
  EXPECT_EQ(Read(Dst("hook.dll")), "new");
  EXPECT_FALSE(files().Exists(Dst("hook.dll.new")));
}

TEST_F(DeploymentTest, FailedSideCopyLeavesTheInstalledFileInPlaceAfterTheStart) {
  files().WriteFile(Src("hook.dll"), "new");
  files().WriteFile(Dst("hook.dll"), "old");
  files().WriteFile(Dst("hook.dll.new"), "locked");
  files().SetInUse(Dst("hook.dll"), sim::InUse::NotRenamable);
  files().SetInUse(Dst("hook.dll.new"), sim::InUse::NotRenamable);

  EXPECT_FALSE(Copy("hook.dll"));
  EXPECT_TRUE(Delayed().empty());

  machine_.Reboot();
  EXPECT_EQ(Read(Dst("hook.dll")), "old");
}

TEST_F(DeploymentTest, SameFolderPlainCopyIsDoneWhateverTheLetterCaseOrSeparator) {
  files().WriteFile(Src("a.dat"), "x");
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", "C:\\Dist", "c:\\dist\\", std::nullopt));
  EXPECT_TRUE(CopyInstallFile(platform_, "missing.dat", "C:\\DIST\\", "C:\\Dist", std::nullopt));
  EXPECT_FALSE(files().Exists(Src("missing.dat")));
  EXPECT_EQ(Read(Src("a.dat")), "x");
}

TEST_F(DeploymentTest, CopyOntoItselfUnderAnotherSpellingKeepsTheFile) {
  files().WriteFile(Src("a.dat"), "only copy");
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", kSource, "c:\\dist", "A.DAT"));
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", kSource, "C:\\Dist\\.", std::nullopt));
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", kSource, "C:\\Dist\\Sub\\..", std::nullopt));
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", kSource, "C:/Dist//", "a.dat"));
  EXPECT_EQ(Read(Src("a.dat")), "only copy");
  EXPECT_TRUE(Delayed().empty());
}

TEST_F(DeploymentTest, RenameInsideOneFolderKeepsATargetThatCannotGo) {
  files().WriteFile(Src("a.dat"), "source");
  files().WriteFile(Src("b.dat"), "busy");
  files().SetInUse(Src("b.dat"), sim::InUse::NotDeletable);
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", kSource, kSource, "b.dat"));
  EXPECT_EQ(Read(Src("b.dat")), "busy");
  EXPECT_TRUE(Delayed().empty());

  files().WriteFile(Src("c.dat"), "free");
  EXPECT_TRUE(CopyInstallFile(platform_, "a.dat", kSource, kSource, "c.dat"));
  EXPECT_EQ(Read(Src("c.dat")), "source");
}

TEST_F(DeploymentTest, FolderAsSourceFailsAndLeavesTheSameNamedTargetAlone) {
  files().CreateFolders(Src("Samples"));
  files().WriteFile(Dst("Samples\\user.dat"), "mine");
  EXPECT_FALSE(Copy("Samples"));
  EXPECT_EQ(Read(Dst("Samples\\user.dat")), "mine");
  EXPECT_FALSE(files().Exists(Dst("Samples.old")));
  EXPECT_TRUE(Delayed().empty());
}

// --- CopyInstallFiles -------------------------------------------------------------------------

TEST_F(DeploymentTest, PatternCreatesTheTargetAndItsAncestorsOnlyWhenSomethingMatches) {
  const std::string target = "C:\\Apps\\Corvantis\\Pictavo 6";
  EXPECT_EQ(CopyInstallFiles(platform_, "*.dat", target, kSource), 0);
  EXPECT_FALSE(files().Exists("C:\\Apps"));

  files().WriteFile(Src("a.dat"), "a");
  files().WriteFile(Src("b.dat"), "b");
  files().WriteFile(Src("c.txt"), "c");
  EXPECT_EQ(CopyInstallFiles(platform_, "*.dat", "C:/Apps/Corvantis/Pictavo 6/", kSource), 2);
  EXPECT_EQ(Read(target + "\\a.dat"), "a");
  EXPECT_EQ(Read(target + "\\b.dat"), "b");
  EXPECT_FALSE(files().Exists(target + "\\c.txt"));
}

// What a record matches is the volume's answer: an 8.3 alias matches too where the volume makes
// them, final dots and blanks leave a name, and a double-byte name is one name.
TEST_F(DeploymentTest, RecordsMatchWhatTheVolumeMatches) {
  struct Case {
    bool shortNames;
    std::vector<std::string> installed;
  };
  for (const Case& c : {Case{true, {"Extras\\", "notes.txt", "page.htm", "page.html"}},
                        Case{false, {"Extras\\", "notes.txt", "page.htm"}}}) {
    sim::Machine machine;
    machine.Files().SetShortNames('C', c.shortNames);
    for (const char* name : {"page.htm", "page.html", "notes.txt"}) {
      machine.Files().WriteFile(Src(name), name);
    }
    platform::Platform& platform =
        machine.Processes().Start({Src("setup.exe"), {}, {}}).GetPlatform();
    machine.Files().WriteFile(
        Src("PictvUnInst.log"),
        "File Copy: *.htm\r\nFile Copy: notes.txt. \r\nMake Dir: Extras.\r\n");
    DeployManifest(platform, options_, Wow64Query(platform.system), Src("PictvUnInst.log"), report_,
                   counter_);
    std::vector<std::string> installed;
    for (const std::string& path : machine.Files().AllPaths()) {
      if (path.rfind(Dst(""), 0) == 0 && path.size() > Dst("").size()) {
        installed.push_back(path.substr(Dst("").size()));
      }
    }
    EXPECT_EQ(installed, c.installed) << "short names: " << c.shortNames;
  }

  // "表" ends in the backslash's byte: the pattern's folder part ends before it.
  machine_.System().SetCodePage(932);
  files().WriteFile(Src("sub\\\x95\x5C"
                        "a.dat"),
                    "a");
  files().CreateFolders(Dst("sub"));
  Deploy("File Copy: sub\\\x95\x5C*.dat\r\n");
  EXPECT_EQ(Read(Dst("sub\\\x95\x5C"
                     "a.dat")),
            "a");
}

TEST_F(DeploymentTest, SubfolderPartCopiesIntoThatSubfolderOnlyWhenItExists) {
  files().WriteFile(Src("Samples\\one.png"), "1");
  files().WriteFile(Src("Samples\\two.png"), "2");
  files().WriteFile(Src("top.png"), "t");

  EXPECT_EQ(CopyInstallFiles(platform_, "Samples\\*.png", kInstall, kSource), 0);
  EXPECT_TRUE(files().Exists(kInstall));
  EXPECT_FALSE(files().Exists(Dst("Samples")));

  files().CreateFolders(Dst("Samples"));
  EXPECT_EQ(CopyInstallFiles(platform_, "Samples\\*.png", kInstall, kSource), 2);
  EXPECT_EQ(Read(Dst("Samples\\two.png")), "2");
  EXPECT_FALSE(files().Exists(Dst("top.png")));
}

TEST_F(DeploymentTest, MatchedFolderEndsThePattern) {
  files().WriteFile(Src("a.x"), "a");
  files().CreateFolders(Src("b.x"));
  files().WriteFile(Src("c.x"), "c");
  files().WriteFile(Dst("b.x\\user.dat"), "mine");

  EXPECT_EQ(CopyInstallFiles(platform_, "*.x", kInstall, kSource), 1);
  EXPECT_TRUE(files().Exists(Dst("a.x")));
  EXPECT_FALSE(files().Exists(Dst("c.x")));
  EXPECT_EQ(Read(Dst("b.x\\user.dat")), "mine");
}

TEST_F(DeploymentTest, FileReplacedAtTheNextStartDoesNotEndThePattern) {
  // The files after one left for the next start are as much part of the product: stopping at
  // it would leave them old for good, while the run called itself complete after a restart.
  for (const char* name : {"a.dll", "b.dll", "c.dll"}) {
    files().WriteFile(Src(name), "new");
    files().WriteFile(Dst(name), "old");
  }
  files().SetInUse(Dst("b.dll"), sim::InUse::NotRenamable);
  files().WriteFile(Src("PictvUnInst.log"), "File Copy: *.dll\n");

  DeployManifest(platform_, options_, Wow64Query(platform_.system), Src("PictvUnInst.log"), report_,
                 counter_);
  EXPECT_EQ(Read(Dst("a.dll")), "new");
  EXPECT_EQ(Read(Dst("b.dll.new")), "new");
  EXPECT_EQ(Read(Dst("c.dll")), "new");
  EXPECT_TRUE(report_.Complete());
  EXPECT_EQ(report_.ScheduledPaths(), std::vector<std::string>{Dst("b.dll")});
}

TEST_F(DeploymentTest, ReportCountsEveryFileAFailedCopyLeftOut) {
  // A full disk: the first failure ends the pattern, and the files after it are missing too.
  for (const char* name : {"a.dll", "b.dll", "c.dll", "d.dll"}) {
    files().WriteFile(Src(name), std::string(100, 'x'));
  }
  files().WriteFile(Src("PictvUnInst.log"),
                    "File Copy: *.dll\nFile Copy: missing.txt\nMake Dir: Sub\n");
  files().AddDrive('F');
  files().CreateFolders("F:\\Apps");
  files().SetDriveCapacity('F', 150);
  options_.InstallFolder = "F:\\Apps";

  DeployManifest(platform_, options_, Wow64Query(platform_.system), Src("PictvUnInst.log"), report_,
                 counter_);
  // A record whose source the distribution lacks asks for nothing: no shortfall.
  EXPECT_EQ(report_.Count(Shortfall::File), 3);
  EXPECT_EQ(report_.Count(Shortfall::Folder), 0);
  EXPECT_FALSE(report_.Complete());
}

// --- DeployManifest ---------------------------------------------------------------------------

TEST_F(DeploymentTest, ManifestRecordsAreDeployedInLineOrder) {
  for (const char* name : {"Pictv6.exe", "setup.bin", "help.chm", "notes.txt", "old.dat",
                           "over.dat", "lower.dat", "spaced.dat"}) {
    files().WriteFile(Src(name), name);
  }
  Deploy(
      "File Copy: Pictv6.exe\n"
      "Make Dir: Help\n"
      "File Copy: help.chm \t>\t Help\\Pictv6.chm   \n"
      "File Copy: notes.txt>Docs\\notes.txt\n"
      "Make Dir: Docs\n"
      "File Copy: setup.bin > PictvUnInst.exe\n"
      "File Del: old.dat\n"
      "File Overwrite: over.dat\n"
      "file copy: lower.dat\n"
      " File Copy: spaced.dat\n");

  EXPECT_EQ(Read(Dst("Pictv6.exe")), "Pictv6.exe");
  EXPECT_EQ(Read(Dst("Help\\Pictv6.chm")), "help.chm");
  EXPECT_EQ(Read(Dst("PictvUnInst.exe")), "setup.bin");
  // Its folder came one line too late.
  EXPECT_TRUE(files().Exists(Dst("Docs")));
  EXPECT_FALSE(files().Exists(Dst("Docs\\notes.txt")));
  for (const char* name : {"old.dat", "over.dat", "lower.dat", "spaced.dat", "notes.txt"}) {
    EXPECT_FALSE(files().Exists(Dst(name))) << name;
  }
}

TEST_F(DeploymentTest, MissingManifestDeploysNothing) {
  files().WriteFile(Src("Pictv6.exe"), "x");
  DeployManifest(platform_, options_, Wow64Query(platform_.system), Src("PictvUnInst.log"), report_,
                 counter_);
  EXPECT_FALSE(files().Exists(kInstall));
}

TEST_F(DeploymentTest, X64RecordsOnlyOnSixtyFourBitWindows) {
  files().WriteFile(Src("hook64.dll"), "64");
  files().WriteFile(Src("hook32.dll"), "32");
  const std::string manifest =
      "File Copy x64: hook64.dll\n"
      "File Copy: hook32.dll\n";

  Deploy(manifest);
  EXPECT_TRUE(files().Exists(Dst("hook32.dll")));
  EXPECT_FALSE(files().Exists(Dst("hook64.dll")));

  machine_.System().SetWindows64Bit(true);
  Deploy(manifest);
  EXPECT_EQ(Read(Dst("hook64.dll")), "64");
}

TEST_F(DeploymentTest, LibraryTheSystemHasIsNotCopiedAndKeepsItsName) {
  machine_.Processes().AddSystemLibrary("msxvc7.dll");
  files().WriteFile(Src("msxvc7.dll"), "ours");
  // The second record spells the name in another letter case: the distribution's file, hidden
  // for a moment, must come back under its own spelling.
  Deploy("File Copy ind: msxvc7.dll\nFile Copy ind: MsXvc7.DLL\n");
  EXPECT_FALSE(files().Exists(Dst("msxvc7.dll")));
  EXPECT_EQ(Read(Src("msxvc7.dll")), "ours");
  EXPECT_FALSE(files().Exists(Src("msxvc7.dll.toinst")));
  const std::vector<platform::FoundFile> found = files().FindFiles(Src("*.dll"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.front().name, "msxvc7.dll");
}

TEST_F(DeploymentTest, LibraryMissingFromTheSystemIsCopiedEvenBesideTheProgram) {
  // Without the restricted search, the distribution's copy beside the running program would
  // be found, were it not hidden during the test.
  machine_.Processes().SetLibrarySearchRestricted(false);
  files().WriteFile(Src("msxvc7.dll"), "ours");
  files().WriteFile(Src("runtime.dll"), "rt");
  files().CreateFolders(Dst("Bin"));
  Deploy(
      "File Copy ind: msxvc7.dll\n"
      "File Copy ind: runtime.dll > Bin\\runtime.dll\n");
  EXPECT_EQ(Read(Dst("msxvc7.dll")), "ours");
  EXPECT_EQ(Read(Dst("Bin\\runtime.dll")), "rt");
  EXPECT_EQ(Read(Src("msxvc7.dll")), "ours");
  EXPECT_FALSE(files().Exists(Src("msxvc7.dll.toinst")));
}

TEST_F(DeploymentTest, TargetsOutsideTheInstallFolderAreSkipped) {
  files().WriteFile(Src("evil.dll"), "evil");
  files().WriteFile("C:\\payload.dll", "payload");
  files().WriteFile(Src("good.dat"), "good");
  Deploy(
      "File Copy: evil.dll>..\\evil.dll\n"
      "File Copy: evil.dll>Sub\\..\\..\\evil.dll\n"
      "File Copy: evil.dll>C:\\WINDOWS\\evil.dll\n"
      "File Copy: evil.dll>\\evil.dll\n"
      "File Copy: evil.dll>\n"
      "File Copy: ..\\..\\*.dll\n"
      "File Copy x64: evil.dll>../evil.dll\n"
      "File Copy ind: evil.dll>..\\evil.dll\n"
      "File Copy: good.dat\n");

  EXPECT_FALSE(files().Exists("C:\\Program Files\\evil.dll"));
  EXPECT_FALSE(files().Exists("C:\\evil.dll"));
  EXPECT_FALSE(files().Exists("C:\\WINDOWS\\evil.dll"));
  EXPECT_FALSE(files().Exists("C:\\Program Files\\payload.dll"));
  EXPECT_FALSE(files().Exists(Dst("evil.dll")));
  EXPECT_EQ(Read(Dst("good.dat")), "good");
}

TEST_F(DeploymentTest, FolderRecordBeforeAnyFileMakesTheInstallFolderAndStaysInsideIt) {
  files().WriteFile(Src("Samples\\one.dat"), "one");
  Deploy(
      "Make Dir: Samples\n"
      "File Copy: Samples\\*.dat\n"
      "Make Dir: ..\\Outside\n"
      "Make Dir: C:\\Elsewhere\n"
      "Make Dir: \\Rooted\n");
  EXPECT_EQ(Read(Dst("Samples\\one.dat")), "one");
  for (const std::string& outside :
       {std::string("C:\\Program Files\\Outside"), std::string("C:\\Elsewhere"), Dst("Rooted")}) {
    EXPECT_FALSE(files().Exists(outside)) << outside;
  }
}

// --- DeploymentCounter ------------------------------------------------------------------------

// What a progress bar is told, with the files in the install folder at each step.
class RecordedProgress final : public DeploymentProgress {
 public:
  explicit RecordedProgress(sim::FileSystem& files) : files_(files) {}

  void Begin(int files) override { totals.push_back(files); }
  void Advance(int filesDone) override { steps.push_back({filesDone, InstalledFiles()}); }

  std::vector<int> totals;
  std::vector<std::pair<int, int>> steps;  // files done, files in the install folder then

 private:
  int InstalledFiles() const {
    int count = 0;
    for (const std::string& path : files_.AllPaths()) {
      count += path.rfind(Dst(""), 0) == 0 && files_.ReadFile(path) ? 1 : 0;
    }
    return count;
  }

  sim::FileSystem& files_;
};

TEST_F(DeploymentTest, CounterStepsOnceForEveryFileTakenInHandAndAddsTheBytesPutInPlace) {
  struct Case {
    const char* name;
    std::function<void(sim::Machine&)> lay;  // the distribution, the install folder, faults
    std::string manifest;
    std::vector<std::pair<int, int>> steps;  // the last one's files are the total
    std::uint64_t bytes;
  };
  const auto write = [](sim::Machine& machine, const char* name, std::size_t size) {
    machine.Files().WriteFile(Src(name), std::string(size, 'x'));
  };
  const Case cases[] = {
      {"patterns and a rename form; records this machine skips count nothing",
       [&](sim::Machine& m) {
         write(m, "a.dat", 10);
         write(m, "b.dat", 2000);
         write(m, "one.txt", 5);
         write(m, "hook64.dll", 64);
       },
       "File Copy: *.dat\nMake Dir: Sub\nFile Copy: one.txt > Sub\\renamed.txt\n"
       "File Copy x64: hook64.dll\nFile Copy: missing.txt\nFile Copy: gone.txt>x.txt\n"
       "File Copy: a.dat>..\\a.dat\nFile Del: b.dat\n",
       {{1, 1}, {2, 2}, {3, 3}},
       2015},
      {"a failed copy ends its pattern, and the files it leaves out are done too",
       [&](sim::Machine& m) {
         for (const char* name : {"a.dll", "b.dll", "c.dll"}) {
           write(m, name, 100);
         }
         write(m, "z.txt", 7);
         m.Faults().Set(
             sim::Fault{.at = 2, .error = platform::kErrorAccessDenied, .call = "CopyFileA"});
       },
       "File Copy: *.dll\nFile Copy: z.txt\n",
       {{1, 1}, {2, 1}, {3, 1}, {4, 2}},
       107},
      {"a file in use waits for the next start, and its bytes count",
       [&](sim::Machine& m) {
         for (const char* name : {"a.dll", "b.dll", "c.dll"}) {
           write(m, name, 3);
         }
         m.Files().WriteFile(Dst("b.dll"), "old");
         m.Files().SetInUse(Dst("b.dll"), sim::InUse::NotRenamable);
       },
       "File Copy: *.dll\n",
       {{1, 2}, {2, 3}, {3, 4}},
       9},
      {"a library the system has is done without a copy",
       [&](sim::Machine& m) {
         m.Processes().AddSystemLibrary("msxvc7.dll");
         write(m, "msxvc7.dll", 50);
         write(m, "x.dat", 1);
       },
       "File Copy ind: msxvc7.dll\nFile Copy: x.dat\n",
       {{1, 0}, {2, 1}},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine;
    c.lay(machine);
    machine.Files().WriteFile(Src("PictvUnInst.log"), c.manifest);
    platform::Platform& platform =
        machine.Processes().Start({Src("setup.exe"), {}, {}}).GetPlatform();
    const Wow64Query wow64(platform.system);
    const int total = c.steps.back().first;
    EXPECT_EQ(CountFilesToCopy(platform, options_, wow64, Src("PictvUnInst.log")), total);

    RecordedProgress progress(machine.Files());
    DeploymentCounter counter{&progress};
    RunReport report;
    DeployManifest(platform, options_, wow64, Src("PictvUnInst.log"), report, counter);
    EXPECT_EQ(progress.totals, std::vector<int>{total});
    EXPECT_EQ(progress.steps, c.steps);
    EXPECT_EQ(counter.filesDone, total);
    EXPECT_EQ(counter.bytesCopied, c.bytes);
  }
}

// --- CreateInstalledLog -----------------------------------------------------------------------

TEST_F(DeploymentTest, InstalledLogCompletesAManifestWithoutAFinalLineBreak) {
  files().WriteFile(Src("PictvUnInst.log"), "File Copy: a.dat\r\nMake Dir: Help");
  CreateInstalledLog(platform_, options_);
  EXPECT_EQ(Read(Dst("PictvUnInst.log")), "File Copy: a.dat\r\nMake Dir: Help\r\n");
}

TEST_F(DeploymentTest, InstalledLogTakesAppendedRecordsFromReadOnlyOrControlZManifests) {
  struct Case {
    const char* name;
    std::string manifest;
    std::uint32_t attributes;
    std::string installed;  // before the appended record
  };
  const Case cases[] = {
      {"read-only, as from a CD", "File Copy: a.dat\r\n",
       platform::kAttributeReadOnly | platform::kAttributeArchive, "File Copy: a.dat\r\n\r\n"},
      {"ended by Ctrl-Z", "File Copy: a.dat\r\nMake Dir: Help\r\n\x1A", platform::kAttributeNormal,
       "File Copy: a.dat\r\nMake Dir: Help\r\n\r\n"},
      {"Ctrl-Z inside", "File Copy: a.dat\r\nMake\x1A Dir: Help\r\n", platform::kAttributeReadOnly,
       "File Copy: a.dat\r\nMake\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files().Remove(Dst("PictvUnInst.log"));
    files().WriteFile(Src("PictvUnInst.log"), c.manifest);
    files().SetAttributes(Src("PictvUnInst.log"), c.attributes);
    CreateInstalledLog(platform_, options_);
    AppendLogLine(platform_.files, Dst("PictvUnInst.log"), "Made Dir: C:\\Menu\\Pictavo 6");
    EXPECT_EQ(Read(Dst("PictvUnInst.log")), c.installed + "Made Dir: C:\\Menu\\Pictavo 6\r\n");
    EXPECT_EQ(Read(Src("PictvUnInst.log")), c.manifest) << "the distribution stays as it is";
  }
}

TEST_F(DeploymentTest, InstalledLogGetsOneEmptyLineBehindAManifestEndingInABreak) {
  files().WriteFile(Src("PictvUnInst.log"), "File Copy: a.dat\r\n");
  files().WriteFile(Dst("PictvUnInst.log"), "an earlier installation's log\r\n");
  CreateInstalledLog(platform_, options_);
  EXPECT_EQ(Read(Dst("PictvUnInst.log")), "File Copy: a.dat\r\n\r\n");
}

TEST_F(DeploymentTest, InstalledLogInTheDistributionFolderOnlyGrows) {
  files().WriteFile(Src("PictvUnInst.log"), "File Copy: a.dat\r\n");
  options_.InstallFolder = "c:\\DIST";
  CreateInstalledLog(platform_, options_);
  CreateInstalledLog(platform_, options_);
  EXPECT_EQ(Read(Src("PictvUnInst.log")), "File Copy: a.dat\r\n\r\n\r\n");
}

// --- CopyPresetFiles --------------------------------------------------------------------------

TEST_F(DeploymentTest, PresetsComeFromTheArchivesFolder) {
  files().WriteFile("C:\\Downloads\\Pictv6.ini", "[settings]");
  files().CreateFolders(kInstall);
  process_.SetEnvironmentVariable("sfxname", "C:\\Downloads\\pictavo6.exe");
  CopyPresetFiles(platform_, options_, report_);
  EXPECT_EQ(Read(Dst("Pictv6.ini")), "[settings]");
  EXPECT_FALSE(files().Exists(Dst("Pictv6.reg")));

  files().WriteFile("C:\\Downloads\\Pictv6.reg", "REGEDIT4");
  CopyPresetFiles(platform_, options_, report_);
  EXPECT_EQ(Read(Dst("Pictv6.reg")), "REGEDIT4");
}

TEST_F(DeploymentTest, NoPresetsWithoutAnArchiveFolder) {
  files().WriteFile(Src("Pictv6.ini"), "from the current folder");
  files().WriteFile("C:\\Pictv6.ini", "from the root");
  files().CreateFolders(kInstall);
  for (const char* value : {"", "pictavo6.exe", "\\pictavo6.exe"}) {
    process_.SetEnvironmentVariable("sfxname", std::string(value));
    CopyPresetFiles(platform_, options_, report_);
    EXPECT_FALSE(files().Exists(Dst("Pictv6.ini"))) << value;
  }
  process_.SetEnvironmentVariable("sfxname", std::nullopt);
  CopyPresetFiles(platform_, options_, report_);
  EXPECT_FALSE(files().Exists(Dst("Pictv6.ini")));
}

}  // namespace
