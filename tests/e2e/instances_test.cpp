// Running product programs met by the setup program from end to end: over an installation of
// the sample distribution, stand-in products started from the product folder join the shared
// instance list and record what reaches their main windows; the setup asks about them, leaves
// them running when told No, and otherwise asks each to close and ends it before it installs or
// removes anything, passing over an entry that names an unrelated program.

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>
#include <tuple>

#include "bench.h"
#include "pe_file.h"
#include "product_test.h"
#include "registry_keys.h"

namespace e2e {
namespace {

constexpr char kCaption[] = "Pictavo Setup";
constexpr char kOneOpen[] =
    "1 instance of Pictavo is currently opened. If you click \"Yes\" button, SETUP will try to "
    "close it without saving any editing work you may have done. \n\nContinue installation?";
// Text 4 after "%d", typo included.
constexpr char kSeveralOpen[] =
    " instances of Pictavo are currently opened. ff you click \"Yes\" button, SETUP will try to "
    "close them without saving any editing work you may have done. \n\nContinue installation?";
constexpr char kAborted[] =
    "Setup of Pictavo aborted. Please close other instances of Pictavo manually, saving any "
    "editing work you have done in them, then restart this setup program.";
constexpr char kSameVersionQuestion[] =
    "Pictavo ver. 6.30.02.00 is already installed on this machine.\n\nWould you like to run this "
    "setup again to select different options or repair the files?";
constexpr char kCancelQuestion[] = "Do you really want to cancel Pictavo setup?";

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kBack = 3;
constexpr int kYes = 6;
constexpr int kNo = 7;

constexpr long long kInstanceAdded = 1946;
constexpr long long kInstanceRemoved = 1947;
constexpr long long kClose = 0x0010;  // WM_CLOSE
constexpr long long kSetupCloseCode = 1001;

constexpr char kRecordVariable[] = "PICTV6_RECORD";

// What a stand-in's main window received: message, wParam, lParam.
using Received = std::tuple<long long, long long, long long>;

// A stand-in product started from the product folder, recording into a file of the test's own.
struct Product {
  std::unique_ptr<WindowsProcess> process;
  fs::path records;
  long long pid = 0;

  std::vector<Received> Got() const {
    std::vector<Received> got;
    for (const UiRecord& record : OfKind(ParseRecords(ReadAll(records)), "received")) {
      got.emplace_back(record.Number("message").value_or(-1), record.Number("wparam").value_or(-1),
                       record.Number("lparam").value_or(-1));
    }
    return got;
  }
  bool Running() { return !process->WaitForExit(0ms).has_value(); }
};

// What the setup's (or uninstaller's) process `pid` brought a product: its two notifications and
// any close request, in the order received.
std::vector<Received> FromSetup(const std::vector<Received>& got, long long pid) {
  std::vector<Received> from;
  std::copy_if(got.begin(), got.end(), std::back_inserter(from), [&](const Received& one) {
    return std::get<0>(one) == kClose || std::get<2>(one) == pid;
  });
  return from;
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

// A message box of the setup as a user sees it.
struct Box {
  std::string hwnd;
  long long pid = 0;
  std::string owner;
  std::string message;
  std::string icon;
  std::vector<std::string> buttons;  // "id:text"
};

class InstancesTest : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    ASSERT_TRUE(fs::exists(dist_ / "Pictv6.exe")) << "the stand-in product was not built";
    pendingValueBefore_ = RegValue(kSessionManager, "PendingFileRenameOperations");
    wininit_ = bench().prefix / "drive_c" / "windows" / "wininit.ini";
    wininitBefore_ = ReadAll(wininit_);
  }

  void TearDown() override {
    setup_.reset();
    products_.clear();
    if (notepadPid_ != 0) {
      RunWindows({"taskkill", "/f", "/pid", std::to_string(notepadPid_)});
    }
    notepad_.reset();
    ProductTest::TearDown();
  }

  void EndStrayRuns() override {
    RunWindows({"taskkill", "/f", "/im", "Pictv6.exe"});
    ProductTest::EndStrayRuns();
  }

  void StartSetup(const fs::path& distFolder, const std::vector<std::string>& args) {
    setup_ =
        std::make_unique<WindowsProcess>(WindowsPath(distFolder / "setup.exe"), args, distFolder);
    ASSERT_TRUE(setup_->started());
  }

  void InstallSample() {
    ASSERT_NO_FATAL_FAILURE(StartSetup(dist_, {"-s"}));
    const std::optional<int> code = setup_->WaitForExit(60s);
    ASSERT_TRUE(code.has_value()) << "the silent setup did not end";
    ASSERT_EQ(*code, 0);
    ASSERT_TRUE(fs::exists(install_ / "Pictv6.exe")) << "nothing was installed";
  }

  // One more stand-in from the product folder, running once its main window shows. The record
  // file's name has a blank and a character outside ASCII, as the user's folders do.
  Product& StartProduct(const std::vector<std::string>& args = {}) {
    Product product;
    product.records = folder() / ("product " + std::to_string(products_.size() + 1) + " état.log");
    setenv(kRecordVariable, WindowsPath(product.records).c_str(), 1);
    product.process =
        std::make_unique<WindowsProcess>(installWin_ + "\\Pictv6.exe", args, install_);
    unsetenv(kRecordVariable);
    EXPECT_TRUE(product.process->started());
    std::vector<UiRecord> shown;
    EXPECT_TRUE(Eventually([&] {
      shown = OfKind(ParseRecords(ReadAll(product.records)), "window");
      return !shown.empty();
    })) << "the stand-in's window did not show";
    if (!shown.empty()) {
      product.pid = shown[0].Number("pid").value_or(0);
    }
    products_.push_back(std::move(product));
    return products_.back();
  }

  // The setup's next message box, described.
  Box WaitForBox() {
    Box box;
    const UiResult described = Uiauto({"describe", "--title", kCaption, "--class", "#32770",
                                       "--image", "setup.exe", "--timeout", "20000"},
                                      40s);
    EXPECT_EQ(described.exitCode, 0) << "no box of the setup appeared\n" << described.err;
    for (const UiRecord& record : described.records) {
      if (record.kind == "window") {
        box.hwnd = record.Get("hwnd");
        box.pid = record.Number("pid").value_or(0);
        box.owner = record.Get("owner");
      } else if (record.kind == "message") {
        box.message = record.Get("text");
      } else if (record.kind == "icon") {
        box.icon = record.Get("name");
      } else if (record.kind == "control" && AsciiLower(record.Get("class")) == "button" &&
                 record.Get("visible") == "1") {
        box.buttons.push_back(record.Get("id") + ":" + record.Get("text"));
      }
    }
    return box;
  }

  void Answer(const Box& box, int id) {
    const UiResult pressed =
        Uiauto({"press", "--hwnd", box.hwnd, "--id", std::to_string(id), "--wait-close", "10000"});
    EXPECT_EQ(pressed.exitCode, 0) << pressed.err;
  }

  // The question about `count` running products: no owner, warning icon, Yes and No.
  void ExpectQuestion(const Box& box, int count) {
    EXPECT_EQ(box.message,
              count == 1 ? std::string(kOneOpen) : std::to_string(count) + kSeveralOpen);
    EXPECT_EQ(box.icon, "warning");
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"6:&Yes", "7:&No"}));
    EXPECT_EQ(box.owner, "0x0");
  }

  // The wizard's frame: the setup's dialog with a Back button of its own.
  std::string WaitForFrame() {
    std::string frame;
    Eventually([&] {
      for (const UiRecord& window : OfKind(
               Uiauto({"list", "--class", "#32770", "--image", "setup.exe", "--visible"}).records,
               "window")) {
        for (const UiRecord& control :
             OfKind(Uiauto({"describe", "--hwnd", window.Get("hwnd")}).records, "control")) {
          if (control.Number("id") == kBack && control.Get("parent") == window.Get("hwnd")) {
            frame = window.Get("hwnd");
          }
        }
      }
      return !frame.empty();
    });
    return frame;
  }

  std::optional<int> SetupExit() {
    const std::optional<int> code = setup_->WaitForExit(60s);
    EXPECT_TRUE(code.has_value()) << "the setup did not end";
    return code;
  }

  // The product ended and recorded the setup's one close request before it did.
  void ExpectClosedBySetup(Product& product) {
    const std::optional<int> code = product.process->WaitForExit(15s);
    ASSERT_TRUE(code.has_value()) << "product " << product.pid << " still runs";
    EXPECT_EQ(*code, 0);
    const std::vector<Received> got = product.Got();
    EXPECT_EQ(std::count(got.begin(), got.end(), Received{kClose, kSetupCloseCode, 0}), 1)
        << "product " << product.pid << " did not record the close request once";
  }

  // Nothing of the product waits for the next system start: no rename entry, no WININIT.INI
  // line names a file of the product folder.
  void ExpectNothingWaitsForTheNextStart() {
    const std::optional<std::string> pending =
        RegValue(kSessionManager, "PendingFileRenameOperations");
    EXPECT_TRUE(pending == pendingValueBefore_ ||
                AsciiLower(pending.value_or("")).find(AsciiLower(installWin_)) == std::string::npos)
        << "waits for the next start: " << pending.value_or("");
    EXPECT_EQ(ReadAll(wininit_), wininitBefore_) << "WININIT.INI changed";
  }

  std::optional<std::string> pendingValueBefore_;
  fs::path wininit_;
  std::string wininitBefore_;
  std::unique_ptr<WindowsProcess> setup_;
  std::vector<Product> products_;
  std::unique_ptr<WindowsProcess> notepad_;
  long long notepadPid_ = 0;
};

TEST_F(InstancesTest, QuestionAnsweredNoLeavesTheProductsRunningAndTheInstallationAsItWas) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  const FolderState before = SnapshotFolder(install_);

  // Products accumulate from row to row; the first argument is never what skips the question.
  struct Row {
    std::vector<std::string> args;
    std::size_t running;
  };
  const std::vector<Row> rows = {
      {{"-s"}, 1},
      {{"/s", "-install"}, 2},
      {{}, 3},
  };
  std::vector<long long> setups;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    while (products_.size() < row.running) {
      ASSERT_TRUE(StartProduct().pid != 0);
    }
    ASSERT_NO_FATAL_FAILURE(StartSetup(dist_, row.args));
    const Box question = WaitForBox();
    // Without the question the setup goes on and ends the products: later rows mean nothing.
    ASSERT_FALSE(question.hwnd.empty());
    ExpectQuestion(question, static_cast<int>(row.running));
    Answer(question, kNo);
    const Box aborted = WaitForBox();
    EXPECT_EQ(aborted.message, kAborted);
    EXPECT_EQ(aborted.icon, "information");
    EXPECT_EQ(aborted.buttons, std::vector<std::string>{"1:OK"});
    EXPECT_EQ(aborted.pid, question.pid);
    Answer(aborted, kOk);
    // No is a refusal, told by 1602 (the host sees its low byte).
    EXPECT_EQ(SetupExit(), std::optional<int>(LowByte(kExitCancelled)));
    setups.push_back(question.pid);

    // Each product heard of the setup's start and of its end, and nothing else from it.
    for (Product& product : products_) {
      const std::vector<Received> expected = {{kInstanceAdded, 0, question.pid},
                                              {kInstanceRemoved, 0, question.pid}};
      EXPECT_TRUE(Eventually([&] { return FromSetup(product.Got(), question.pid) == expected; }))
          << "product " << product.pid;
      EXPECT_EQ(FromSetup(product.Got(), question.pid), expected) << "product " << product.pid;
      EXPECT_TRUE(product.Running()) << "product " << product.pid << " was ended";
    }
  }
  EXPECT_EQ(SnapshotFolder(install_), before) << "the declined setup changed the installation";

  // The products heard of each other through the same list: each of those started after it.
  for (std::size_t i = 0; i < products_.size(); ++i) {
    std::vector<long long> joined;
    for (const auto& [message, wParam, lParam] : products_[i].Got()) {
      if (message == kInstanceAdded &&
          std::find(setups.begin(), setups.end(), lParam) == setups.end()) {
        joined.push_back(lParam);
      }
    }
    std::vector<long long> later;
    for (std::size_t j = i + 1; j < products_.size(); ++j) {
      later.push_back(products_[j].pid);
    }
    EXPECT_EQ(joined, later) << "product " << products_[i].pid;
  }
}

TEST_F(InstancesTest, YesClosesEveryProductButNotTheProgramThatAStaleEntryNames) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  // An unrelated program with a top-level window of its own, whose id a stand-in lists as if it
  // were left by a product that crashed.
  notepad_ = std::make_unique<WindowsProcess>("notepad", std::vector<std::string>{}, folder());
  ASSERT_TRUE(notepad_->started());
  const UiResult shown = Uiauto({"wait", "--class", "Notepad", "--timeout", "20000"}, 40s);
  const std::vector<UiRecord> notepadWindows = OfKind(shown.records, "window");
  ASSERT_EQ(notepadWindows.size(), 1u) << shown.err;
  notepadPid_ = notepadWindows[0].Number("pid").value_or(0);
  ASSERT_NE(notepadPid_, 0);

  ASSERT_TRUE(StartProduct({"--also-list", std::to_string(notepadPid_)}).pid != 0);
  ASSERT_TRUE(StartProduct().pid != 0);
  ASSERT_TRUE(StartProduct().pid != 0);

  ASSERT_NO_FATAL_FAILURE(StartSetup(dist_, {}));
  Box box = WaitForBox();
  ASSERT_FALSE(box.hwnd.empty());
  ExpectQuestion(box, 3);
  Answer(box, kYes);
  for (Product& product : products_) {
    ExpectClosedBySetup(product);
  }
  EXPECT_FALSE(notepad_->WaitForExit(0ms).has_value()) << "the unrelated program was ended";
  EXPECT_EQ(
      OfKind(Uiauto({"procs", "--pid", std::to_string(notepadPid_)}).records, "process").size(),
      1u);

  // The installation goes on as without products: the same version's question, then the wizard,
  // cancelled.
  box = WaitForBox();
  EXPECT_EQ(box.message, kSameVersionQuestion);
  Answer(box, kYes);
  const std::string frame = WaitForFrame();
  ASSERT_FALSE(frame.empty()) << "the wizard did not come up";
  const UiResult cancelled = Uiauto({"press", "--hwnd", frame, "--id", std::to_string(kCancel)});
  EXPECT_EQ(cancelled.exitCode, 0) << cancelled.err;
  box = WaitForBox();
  EXPECT_EQ(box.message, kCancelQuestion);
  Answer(box, kYes);
  // Cancelled: 1602, of which the host sees the low byte.
  EXPECT_EQ(SetupExit(), std::optional<int>(LowByte(kExitCancelled)));
  EXPECT_FALSE(notepad_->WaitForExit(0ms).has_value()) << "the unrelated program was ended";
}

TEST_F(InstancesTest, SilentUpdateClosesTheRunningProductAndReplacesItsProgramAtOnce) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  const fs::path update = folder() / "update";
  fs::copy(dist_, update, fs::copy_options::recursive);
  std::string program = ReadAll(update / "Pictv6.exe");
  ASSERT_EQ(pe::SetFixedVersion(program, {pe::VersionMS(6, 31), pe::VersionLS(4, 0),
                                          pe::VersionMS(6, 31), pe::VersionLS(4, 0)}),
            1);
  ASSERT_TRUE(pe::WriteFile((update / "Pictv6.exe").string(), program));
  ASSERT_NE(program, ReadAll(install_ / "Pictv6.exe"));
  Product& product = StartProduct();
  ASSERT_NE(product.pid, 0);

  // "-s" after the first argument: neither the question nor the wizard.
  ASSERT_NO_FATAL_FAILURE(StartSetup(update, {"-install", "-s"}));
  EXPECT_EQ(SetupExit(), std::optional<int>(0));
  ASSERT_NO_FATAL_FAILURE(ExpectClosedBySetup(product));
  const std::vector<Received> got = product.Got();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(std::get<0>(got.front()), kInstanceAdded) << "the setup did not join the list first";

  EXPECT_EQ(ReadAll(install_ / "Pictv6.exe"), program) << "the program was not replaced at once";
  for (const char* side : {"Pictv6.exe.old", "Pictv6.exe.old2", "Pictv6.exe.new"}) {
    EXPECT_FALSE(fs::exists(install_ / side)) << side;
  }
  EXPECT_EQ(RegValue(kUninstallKey, "DisplayVersion"), "6.31.04");
  ExpectNothingWaitsForTheNextStart();
}

TEST_F(InstancesTest, SilentRemovalClosesTheRunningProductAndRemovesEverythingAtOnce) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  Product& product = StartProduct();
  ASSERT_NE(product.pid, 0);

  setup_ = std::make_unique<WindowsProcess>(installWin_ + "\\PictvUnInst.exe",
                                            std::vector<std::string>{"-s"}, install_);
  ASSERT_TRUE(setup_->started());
  // The uninstaller returns once its temporary copy has removed the product, and with that
  // removal's outcome.
  EXPECT_EQ(SetupExit(), std::optional<int>(0));
  EXPECT_FALSE(fs::exists(install_ / "Pictv6.exe")) << "the product program stays at the return";
  // The uninstaller itself closes the product, before it hands over to its temporary copy.
  ASSERT_NO_FATAL_FAILURE(ExpectClosedBySetup(product));

  const std::vector<std::string> copies =
      NewNames(FilesMatching(TempFolder(), "uni*.tmp"), tempBefore_);
  ASSERT_EQ(copies.size(), 1u) << "not one temporary copy in the temp folder";
  // Its second start takes the uninstaller's file and the folder away, and then ends.
  EXPECT_TRUE(Eventually(
      [&] {
        return OfKind(Uiauto({"procs", "--image", copies[0]}).records, "process").empty();
      },
      30s))
      << "the temporary copy still runs";
  EXPECT_TRUE(OfKind(Uiauto({"list", "--title", kCaption}).records, "window").empty())
      << "a box of the program is showing";

  EXPECT_FALSE(fs::exists(install_)) << "the product folder stays";
  EXPECT_FALSE(fs::exists(group_)) << "the program group stays";
  EXPECT_FALSE(fs::exists(desktopLink_)) << "the desktop shortcut stays";
  for (const char* key : {kVendorKey, kAppPathKey, kUninstallKey}) {
    EXPECT_NE(RunWindows({"reg", "query", key, "/reg:32"}).exitCode, 0) << key << " stays";
  }
  ExpectNothingWaitsForTheNextStart();
}

}  // namespace
}  // namespace e2e
