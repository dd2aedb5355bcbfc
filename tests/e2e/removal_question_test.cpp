// The uninstaller's first screen: started without arguments under its own name from the product
// folder, it asks whether to remove the product, and an answer other than Yes leaves everything
// as it was: the folder, the registry entries, and no temporary copy of itself; the run ends
// with the code of a cancelled one.

#include <algorithm>
#include <fstream>
#include <memory>

#include "bench.h"

namespace e2e {
namespace {

constexpr char kCaption[] = "Pictavo Setup";
constexpr char kQuestion[] = "This will completely uninstall Pictavo 6.\nDo you want to continue?";
constexpr int kYes = 6;
constexpr int kNo = 7;

// The keys under HKEY_LOCAL_MACHINE by which the system knows the installed product.
const std::vector<std::string> kProductKeys = {
    R"(SOFTWARE\Corvantis\Pictavo 6)",
    R"(SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Pictv6.exe)",
    R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictavo 6)",
};

std::string RegRemoveProductKeys() {
  std::string reg = "Windows Registry Editor Version 5.00\n\n";
  for (const std::string& key :
       {std::string(R"(SOFTWARE\Corvantis)"), kProductKeys[1], kProductKeys[2]}) {
    reg += "[-HKEY_LOCAL_MACHINE\\" + key + "]\n";
  }
  return reg;
}

std::string RegKey(const std::string& key,
                   const std::vector<std::pair<std::string, std::string>>& values) {
  std::string reg = "\n[HKEY_LOCAL_MACHINE\\" + key + "]\n";
  for (const auto& [name, data] : values) {
    reg += (name.empty() ? "@" : RegQuoted(name)) + "=" + RegQuoted(data) + "\n";
  }
  return reg;
}

// An installed product as the uninstaller finds it: its folder with the uninstaller and two of
// the product's files, and its registry entries.
class RemovalQuestionTest : public WineTest {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    uninstaller_ = folder() / "PictvUnInst.exe";
    fs::copy_file(bench().setupExe, uninstaller_);
    WriteAll(folder() / "Pictv6.exe", "stands in for the product program");
    WriteAll(folder() / "readme.txt", "Read about Pictavo 6");
    const std::string installFolder = WindowsFolder();
    registryTouched_ = true;
    ASSERT_TRUE(ImportRegistry(
        RegRemoveProductKeys() +
        RegKey(kProductKeys[0], {{"AllUsers", "A"}, {"Path", installFolder}}) +
        RegKey(kProductKeys[1], {{"", installFolder + "\\Pictv6.exe"}}) +
        RegKey(kProductKeys[2], {{"DisplayName", "Pictavo 6"},
                                 {"UninstallString", installFolder + "\\PictvUnInst.exe"}})));
    for (const std::string& key : kProductKeys) {
      registryBefore_[key] = QueryRegistry("HKLM\\" + key);
      ASSERT_TRUE(registryBefore_[key].has_value()) << key << " was not laid down";
    }
    ASSERT_NE(registryBefore_[kProductKeys[0]]->find(installFolder), std::string::npos);

    ASSERT_FALSE(TempFolder().empty()) << "the prefix's temp folder was not found";
    folderBefore_ = SnapshotFolder(folder());
    tempCopiesBefore_ = FilesMatching(TempFolder(), "uni*.tmp");
  }

  void TearDown() override {
    process_.reset();  // a program still running is ended before its files go
    // Temporary copies are the uninstaller's own traces; another test must not find them.
    if (!TempFolder().empty()) {
      for (const std::string& name : FilesMatching(TempFolder(), "uni*.tmp")) {
        if (std::find(tempCopiesBefore_.begin(), tempCopiesBefore_.end(), name) ==
            tempCopiesBefore_.end()) {
          std::error_code error;
          fs::remove(TempFolder() / name, error);
        }
      }
    }
    if (registryTouched_) {
      EXPECT_TRUE(ImportRegistry(RegRemoveProductKeys())) << "the product's keys stay behind";
    }
    WineTest::TearDown();
  }

  void StartUninstaller() {
    process_ = std::make_unique<WindowsProcess>(WindowsPath(uninstaller_),
                                                std::vector<std::string>{}, folder());
    ASSERT_TRUE(process_->started());
  }

  // The question box of this test's uninstaller, and no other program's box.
  std::vector<std::string> Question(const std::string& command) const {
    return {
        command,     "--title", kCaption, "--class", "#32770", "--image", WindowsPath(uninstaller_),
        "--timeout", "20000"};
  }

  void ExpectEndedWithNothingChanged() {
    const std::optional<int> exitCode = process_->WaitForExit(15s);
    ASSERT_TRUE(exitCode.has_value()) << "the uninstaller still runs after the answer";
    // A refused removal tells its caller so: 1602, seen by the host as its low byte.
    EXPECT_EQ(*exitCode, LowByte(kExitCancelled));
    EXPECT_EQ(SnapshotFolder(folder()), folderBefore_) << "the product folder changed";
    EXPECT_EQ(FilesMatching(TempFolder(), "uni*.tmp"), tempCopiesBefore_)
        << "a temporary copy of the uninstaller appeared";
    for (const std::string& key : kProductKeys) {
      EXPECT_EQ(QueryRegistry("HKLM\\" + key), registryBefore_[key]) << key << " changed";
    }
  }

  fs::path uninstaller_;
  std::unique_ptr<WindowsProcess> process_;
  bool registryTouched_ = false;
  std::map<std::string, std::optional<std::string>> registryBefore_;
  FolderState folderBefore_;
  std::vector<std::string> tempCopiesBefore_;
};

TEST_F(RemovalQuestionTest, AsksWithYesAndNoAndNoLeavesEverythingAsItWas) {
  StartUninstaller();
  const UiResult box = Uiauto(Question("describe"));
  ASSERT_EQ(box.exitCode, 0) << "no removal question appeared\n" << box.err;

  const std::vector<UiRecord> windows = OfKind(box.records, "window");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].Get("title"), kCaption);
  EXPECT_EQ(windows[0].Number("owner"), 0) << "the question must have no owner window";

  const std::vector<UiRecord> messages = OfKind(box.records, "message");
  ASSERT_EQ(messages.size(), 1u) << "not a message box";
  EXPECT_EQ(messages[0].Get("text"), kQuestion);

  std::map<long long, std::string> buttons;
  for (const UiRecord& control : OfKind(box.records, "control")) {
    if (AsciiLower(control.Get("class")) == "button") {
      buttons[control.Number("id").value_or(-1)] = control.Get("text");
      EXPECT_EQ(control.Get("visible"), "1") << control.Get("text");
      EXPECT_EQ(control.Get("enabled"), "1") << control.Get("text");
    }
  }
  EXPECT_EQ(buttons, (std::map<long long, std::string>{{kYes, "&Yes"}, {kNo, "&No"}}));

  // The button that Enter presses, and the one drawn as the default.
  const std::vector<UiRecord> defaults = OfKind(box.records, "default");
  ASSERT_EQ(defaults.size(), 1u);
  EXPECT_EQ(defaults[0].Number("id"), kNo);
  EXPECT_EQ(defaults[0].Number("defpushbutton"), kNo);

  const std::vector<UiRecord> icons = OfKind(box.records, "icon");
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].Get("name"), "warning");

  const UiResult pressed = Uiauto({"press", "--hwnd", windows[0].Get("hwnd"), "--id",
                                   std::to_string(kNo), "--wait-close", "10000"});
  ASSERT_EQ(pressed.exitCode, 0) << pressed.err;
  ExpectEndedWithNothingChanged();
}

TEST_F(RemovalQuestionTest, EnterAnswersNo) {
  StartUninstaller();
  std::vector<std::string> enter = Question("key");
  enter.insert(enter.end(), {"--key", "enter", "--wait-close", "10000"});
  const UiResult answered = Uiauto(enter);
  ASSERT_EQ(answered.exitCode, 0) << answered.err;
  ExpectEndedWithNothingChanged();
}

}  // namespace
}  // namespace e2e
