// Runs that are killed half way: a setup ended hard while it copies, writes its log, makes its
// shortcuts or has just registered, and a removal's copy ended hard while it deletes. Whatever
// the kill left, the setup run again must bring the machine to a whole installation, and the
// uninstall entry's command then to one without anything of the product.

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include <signal.h>

#include "product_test.h"
#include "registry_keys.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

// Enough files for several kills to land while they are copied, few enough for the
// suite to stay within minutes when Wine's 32-bit side runs emulated.
constexpr int kMany = 1000;

constexpr char kCopyPattern[] = "uni*.tmp";

// Waits until `done` holds, up to `timeout`; whether it did.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                std::chrono::milliseconds interval = 50ms) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(interval);
  }
  return true;
}

int FilesIn(const fs::path& folder) {
  int count = 0;
  std::error_code error;
  for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    ++count;
  }
  return count;
}

// The last "Step:" line of a run's log, or what stands in for it.
std::string LastStep(const fs::path& log) {
  const std::string text = ReadAll(log);
  const std::size_t found = text.rfind("Step: ");
  if (found == std::string::npos) {
    return "(no step yet)";
  }
  return text.substr(found, text.find('\r', found) - found);
}

bool LogHas(const fs::path& log, const std::string& line) {
  return ReadAll(log).find(line + "\r\n") != std::string::npos;
}

// Host processes that run one of the uninstaller's temporary copies ("uni*.tmp" in the temp
// folder): Wine maps a program's file into its process, so the host's view of the mappings
// finds them at once, where asking Wine would take longer than a removal of the product.
std::vector<pid_t> ProcessesOfCopies() {
  std::vector<pid_t> pids;
  std::error_code error;
  for (auto it = fs::directory_iterator("/proc", error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    std::istringstream maps(ReadAll(it->path() / "maps"));
    for (std::string line; std::getline(maps, line);) {
      const std::size_t slash = line.rfind('/');
      if (slash == std::string::npos) {
        continue;
      }
      const std::string file = AsciiLower(line.substr(slash + 1));
      if (AsciiLower(line.substr(0, slash)).ends_with("/temp") && file.starts_with("uni") &&
          file.ends_with(".tmp")) {
        pids.push_back(static_cast<pid_t>(std::stol(name)));
        break;
      }
    }
  }
  return pids;
}

// One moment at which a run is killed, and where the kill fell.
struct Moment {
  Moment(std::string name, std::function<bool()> reached)
      : name(std::move(name)), reached(std::move(reached)) {}

  std::string name;
  std::function<bool()> reached;
  bool killed = false;  // the run still ran when the kill came
  std::string fell;     // what the machine showed right after it
};

void PrintMoments(const std::string& what, const std::vector<Moment>& moments) {
  int killed = 0;
  for (const Moment& moment : moments) {
    killed += moment.killed ? 1 : 0;
  }
  std::cout << what << ": " << killed << " of " << moments.size() << " kills landed\n";
  for (const Moment& moment : moments) {
    std::cout << "  " << moment.name << ": "
              << (moment.killed ? "killed; " : "not tried, the run had ended; ") << moment.fell
              << "\n";
  }
}

int Landed(const std::vector<Moment>& moments) {
  return static_cast<int>(
      std::count_if(moments.begin(), moments.end(), [](const Moment& m) { return m.killed; }));
}

class KilledRunsTest : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    big_ = folder() / "big";
    WriteManyFileDistribution(dist_, big_, kMany);
  }

  std::unique_ptr<WindowsProcess> StartSetup(const std::string& logName) {
    auto setup = std::make_unique<WindowsProcess>(
        WindowsPath(big_ / "setup.exe"),
        std::vector<std::string>{"-s", "-log", WindowsPath(folder() / logName)}, big_);
    EXPECT_TRUE(setup->started());
    return setup;
  }

  // A silent setup run to its end; whether it ended with 0.
  bool InstallToTheEnd(const std::string& logName) {
    const std::optional<int> code = StartSetup(logName)->WaitForExit(180s);
    EXPECT_EQ(code, LowByte(0)) << "the silent setup did not complete; its log:\n"
                                << ReadAll(folder() / logName);
    return code == LowByte(0);
  }

  // The program the uninstall entry names, as the entry's command starts it; empty when the
  // entry or its program is missing.
  std::string EntryProgram() {
    std::string command = RegValue(kUninstallKey, "UninstallString").value_or("");
    if (command.size() > 1 && command.front() == '"' && command.back() == '"') {
      command = command.substr(1, command.size() - 2);
    }
    if (command.empty() || !fs::exists(HostPath(command))) {
      return {};
    }
    return command;
  }

  std::unique_ptr<WindowsProcess> StartRemoval(const std::string& program,
                                               const std::string& logName) {
    auto removal = std::make_unique<WindowsProcess>(
        program, std::vector<std::string>{"-s", "-log", WindowsPath(folder() / logName)}, folder());
    EXPECT_TRUE(removal->started());
    return removal;
  }

  // The uninstall entry's command run to its end, with the removal's tail; whether it
  // reported a complete removal.
  bool RemoveThroughTheEntry(const std::string& logName) {
    const std::string program = EntryProgram();
    if (program.empty()) {
      ADD_FAILURE() << "no uninstall entry with its program to remove the product with";
      return false;
    }
    const std::optional<int> code = StartRemoval(program, logName)->WaitForExit(180s);
    EXPECT_EQ(code, LowByte(0)) << "the removal did not complete; its log:\n"
                                << ReadAll(folder() / logName);
    // The uninstaller's own file and the folder go a moment after it has returned.
    EXPECT_TRUE(Eventually([&] { return !fs::exists(install_); }, 20s))
        << "after the removal the product folder stays, holding: "
        << testing::PrintToString(SnapshotFolder(install_));
    return code == LowByte(0);
  }

  // What a killed run left, in one line for the test's output.
  std::string Leftover(const fs::path& log) {
    std::ostringstream out;
    out << FilesIn(install_ / "Many") << " of " << kMany << " files in Many, PictvUnInst.exe "
        << (fs::exists(install_ / "PictvUnInst.exe") ? "there" : "missing") << ", installed log "
        << (fs::exists(install_ / "PictvUnInst.log") ? "there" : "missing") << ", "
        << FilesIn(group_) + (fs::exists(desktopLink_) ? 1 : 0) << " of 5 shortcuts, entry "
        << (KeyInView(kUninstallKey) ? "there" : "missing") << ", last log line \"" << LastStep(log)
        << "\"";
    return out.str();
  }

  // Every file of the distribution in place with its bytes, nothing else in the folder, the
  // installed log, the five shortcuts and the uninstall entry. `readShortcuts` also reads each
  // shortcut back and checks the rest of the registration, which takes Wine a second or so a
  // look: it is asked for where a killed run had begun to make them.
  void ExpectWholeInstallation(bool readShortcuts) {
    std::map<std::string, fs::path> expected = {
        {"Pictv6.exe", big_ / "Pictv6.exe"},
        {"PictvUnInst.exe", big_ / "setup.exe"},
        {"Pictv6Man.chm", big_ / "Pictv6Man.chm"},
        {"readme.txt", big_ / "readme.txt"},
        {"HomePage.url", big_ / "HomePage.url"},
        {"Samples/harbour.pvs", big_ / "Samples" / "harbour.pvs"},
        {"Samples/meadow.pvs", big_ / "Samples" / "meadow.pvs"},
        {"Samples/About the samples.txt", big_ / "samples.txt"},
    };
    for (int i = 0; i < kMany; ++i) {
      const std::string name = "file" + std::to_string(i) + ".dat";
      expected["Many/" + name] = big_ / "Many" / name;
    }
    std::set<std::string> unexpected;
    int differing = 0;
    std::string firstDiffering;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(install_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (!it->is_regular_file()) {
        continue;
      }
      const std::string relative = it->path().lexically_relative(install_).generic_string();
      if (relative == "PictvUnInst.log") {
        continue;
      }
      const auto source = expected.find(relative);
      if (source == expected.end()) {
        unexpected.insert(relative);
        continue;
      }
      if (ReadAll(it->path()) != ReadAll(source->second)) {
        ++differing;
        firstDiffering = firstDiffering.empty() ? relative : firstDiffering;
      }
      expected.erase(source);
    }
    std::vector<std::string> missing;
    for (const auto& [relative, source] : expected) {
      missing.push_back(relative);
    }
    EXPECT_TRUE(missing.empty()) << missing.size() << " files missing, such as " << missing.front();
    EXPECT_EQ(differing, 0) << "files that differ from the distribution's, such as "
                            << firstDiffering;
    EXPECT_TRUE(unexpected.empty())
        << "files that no installation lays down: " << testing::PrintToString(unexpected);
    EXPECT_EQ(ReadAll(install_ / "PictvUnInst.log"),
              InstalledLog(ReadAll(big_ / "PictvUnInst.log"), groupWin_, desktopLinkWin_));

    const std::vector<std::pair<std::string, std::string>> shortcuts = {
        {groupWin_ + "\\Pictavo 6.lnk", "Pictv6.exe"},
        {groupWin_ + "\\Pictavo 6 Help.lnk", "Pictv6Man.chm"},
        {groupWin_ + "\\Read about Pictavo 6.lnk", "readme.txt"},
        {groupWin_ + "\\Uninstall Pictavo 6.lnk", "PictvUnInst.exe"},
        {desktopLinkWin_, "Pictv6.exe"},
    };
    for (const auto& [link, target] : shortcuts) {
      EXPECT_TRUE(fs::exists(HostPath(link))) << link << " is missing";
      if (!readShortcuts) {
        continue;
      }
      const UiResult read = Uiauto({"shortcut", link});
      const std::vector<UiRecord> records = OfKind(read.records, "shortcut");
      ASSERT_TRUE(read.exitCode == 0 && records.size() == 1)
          << link << " cannot be read as a shortcut\n"
          << read.err;
      EXPECT_EQ(AsciiLower(records[0].Get("target")), AsciiLower(installWin_ + "\\" + target))
          << link;
    }
    EXPECT_EQ(FilesIn(group_), 4) << "the program group holds more than its shortcuts";
    EXPECT_FALSE(fs::exists(userGroup_)) << "a group in the user's own menu";
    EXPECT_FALSE(fs::exists(userDesktopLink_)) << "a shortcut on the user's own desktop";

    EXPECT_EQ(RegValue(kUninstallKey, "UninstallString"),
              "\"" + installWin_ + "\\PictvUnInst.exe\"");
    if (readShortcuts) {
      EXPECT_EQ(RegValue(kProductKey, "Path"), installWin_);
      EXPECT_EQ(RegValue(kAppPathKey, ""), installWin_ + "\\Pictv6.exe");
    }
  }

  // After a restart of Windows: no file, folder, shortcut, key or running process of the
  // product, and none of the uninstaller's temporary copies, killed ones included.
  void ExpectNothingOfTheProductAfterARestart() {
    const Output restart = RunHost({"wineboot", "-r"}, 120s);
    ASSERT_EQ(restart.exitCode, 0) << restart.err;
    EXPECT_TRUE(Eventually(
        [&] { return NewNames(FilesMatching(TempFolder(), kCopyPattern), tempBefore_).empty(); },
        10s))
        << "temporary copies survive the restart: "
        << testing::PrintToString(NewNames(FilesMatching(TempFolder(), kCopyPattern), tempBefore_));
    EXPECT_FALSE(fs::exists(install_)) << "the product folder stays, holding: "
                                       << testing::PrintToString(SnapshotFolder(install_));
    for (const fs::path& path : {group_, desktopLink_, userGroup_, userDesktopLink_}) {
      EXPECT_FALSE(fs::exists(path)) << path << " stays";
    }
    for (const char* key : {kProductKey, kVendorKey, kAppPathKey, kUninstallKey}) {
      EXPECT_FALSE(KeyInView(key)) << key << " stays";
    }
    for (const char* image : {"setup.exe", "PictvUnInst.exe"}) {
      EXPECT_TRUE(OfKind(Uiauto({"procs", "--image", image}).records, "process").empty())
          << image << " still runs";
    }
  }

  fs::path big_;
};

TEST_F(KilledRunsTest, AKilledSetupOrRemovalIsCompletedByTheNextRun) {
  const fs::path many = install_ / "Many";
  fs::path log;  // the killed run's, for the moments that read it
  std::vector<Moment> moments = {
      {"at the first file", [&] { return fs::exists(install_ / "Pictv6.exe"); }},
      {"a third into Many", [&] { return FilesIn(many) >= kMany / 3; }},
      {"two thirds into Many", [&] { return FilesIn(many) >= 2 * kMany / 3; }},
      {"right after the last file", [&] { return LogHas(log, "Step: installed log"); }},
      {"among the shortcuts",
       [&] { return LogHas(log, "Step: shortcuts") && FilesIn(group_) > 0; }},
      {"once registered", [&] { return LogHas(log, "Step: preset files"); }},
  };
  for (std::size_t i = 0; i < moments.size(); ++i) {
    Moment& moment = moments[i];
    SCOPED_TRACE("setup killed " + moment.name);
    log = folder() / ("killed" + std::to_string(i) + ".log");
    std::unique_ptr<WindowsProcess> setup = StartSetup(log.filename().string());
    // Looked at as often as the host allows: the kill must follow the moment closely.
    const bool reached = Eventually(
        [&] { return moment.reached() || setup->WaitForExit(0ms).has_value(); }, 180s, 2ms);
    ASSERT_TRUE(reached) << "the setup neither reached the moment nor ended";
    moment.killed = setup->Kill();
    moment.fell = Leftover(log);
    const bool madeShortcuts = FilesIn(group_) > 0 || fs::exists(desktopLink_);
    if (!moment.killed) {
      // Too late: the run is over and must have completed by itself.
      EXPECT_EQ(setup->WaitForExit(0ms), LowByte(0)) << ReadAll(log);
    } else {
      EXPECT_TRUE(InstallToTheEnd("after" + std::to_string(i) + ".log"));
    }
    const bool last = i + 1 == moments.size();
    ExpectWholeInstallation(last || madeShortcuts);
    if (!last) {
      RemoveProductByHand();
    }
  }
  PrintMoments("installation", moments);
  RecordProperty("installation_kills", Landed(moments));
  EXPECT_GE(Landed(moments), 4) << "too few kills landed while the setup ran";

  // The removal's copy killed: the setup run again makes the installation whole, and the next
  // removal is killed from there.
  std::vector<Moment> removalMoments = {
      {"as the copy starts", [&] { return !ProcessesOfCopies().empty(); }},
      {"a third out of Many", [&] { return FilesIn(many) <= 2 * kMany / 3; }},
      {"two thirds out of Many", [&] { return FilesIn(many) <= kMany / 3; }},
      {"once the files are gone", [&] { return !fs::exists(many); }},
  };
  for (std::size_t i = 0; i < removalMoments.size(); ++i) {
    Moment& moment = removalMoments[i];
    SCOPED_TRACE("removal killed " + moment.name);
    log = folder() / ("removal-killed" + std::to_string(i) + ".log");
    const std::string program = EntryProgram();
    ASSERT_FALSE(program.empty()) << "no uninstall entry with its program";
    std::unique_ptr<WindowsProcess> removal = StartRemoval(program, log.filename().string());
    const bool reached = Eventually(
        [&] { return moment.reached() || removal->WaitForExit(0ms).has_value(); }, 180s, 2ms);
    ASSERT_TRUE(reached) << "the removal neither reached the moment nor ended";
    // The uninstaller first: it waits for its copy, and would go on once the copy is gone.
    removal->Kill();
    for (const pid_t copy : ProcessesOfCopies()) {
      moment.killed = kill(copy, SIGKILL) == 0 || moment.killed;
    }
    moment.fell = Leftover(log);
    EXPECT_TRUE(InstallToTheEnd("reinstalled" + std::to_string(i) + ".log"));
    ExpectWholeInstallation(false);
  }
  PrintMoments("removal", removalMoments);
  RecordProperty("removal_kills", Landed(removalMoments));
  EXPECT_GE(Landed(removalMoments), 2) << "too few kills landed while the removal ran";

  ASSERT_TRUE(RemoveThroughTheEntry("removal.log"));
  ExpectNothingOfTheProductAfterARestart();
}

}  // namespace
}  // namespace e2e
