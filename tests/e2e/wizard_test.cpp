// The interactive installation from end to end: setup.exe started from a copy of the sample
// distribution and its wizard walked as a user walks it (the cancel question answered No, back
// and forth, the shell's folder browser, a group name refused), the product installed where
// chosen, started, and the vendor's page opened; then a second run over the installed product
// that shows the stored choices and, cancelled, leaves the machine as it was.

#include <algorithm>
#include <memory>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "bench.h"
#include "product_test.h"
#include "registry_keys.h"

namespace e2e {
namespace {

constexpr char kCaption[] = "Pictavo Setup";
constexpr char kAgreementCaption[] = "Please accept the License Agreement";
constexpr char kVersionText[] =
    "Pictavo ver. 6.30.02 \nCopyright (c) Corvantis. All rights reserved.\nUnlicensed copying is "
    "prohibited by law.";
constexpr char kCancelQuestion[] = "Do you really want to cancel Pictavo setup?";
constexpr char kGroupTooShort[] = "Error: Please enter a valid group name, minimum 3 letters";
constexpr char kGroupIsStartup[] =
    "Error: Can not install shortcuts into this group, please select a different name.";
constexpr char kBrowseInstruction[] = "Select the folder where where Pictavo should be installed.";
constexpr char kSameVersionQuestion[] =
    "Pictavo ver. 6.30.02.00 is already installed on this machine.\n\nWould you like to run this "
    "setup again to select different options or repair the files?";
constexpr char kAllUsersLabel[] =
    "Install for All Users of this computer (you should be an Administrator to install that way)";
// Blanks and a character outside ASCII in both names that the user gives.
constexpr char kDestinationName[] = "Programme für Pictavo";
constexpr char kGroupName[] = "Pictavo Bilder für alle";

// What ShellExecute's "open" of an http address runs; Wine's own is winebrowser.
constexpr char kHttpCommandKey[] = R"(HKEY_CLASSES_ROOT\http\shell\open\command)";

// Message box buttons as the dialog manager numbers them.
constexpr int kOk = 1;
constexpr int kYes = 6;
constexpr int kNo = 7;
// The frame's buttons and side picture.
constexpr int kNext = 1;
constexpr int kCancel = 2;
constexpr int kBack = 3;
constexpr int kSidePicture = 1002;
// The installing page's progress bar.
constexpr int kProgressBar = 1014;

enum class Page { Welcome, Agreement, Folder, Group, Ready };

const char* PageName(Page page) {
  switch (page) {
    case Page::Welcome:
      return "welcome";
    case Page::Agreement:
      return "agreement";
    case Page::Folder:
      return "destination";
    case Page::Group:
      return "group";
    case Page::Ready:
      return "ready";
  }
  return "?";
}

// UTF-16LE as reg export writes it, to UTF-8.
std::string Utf16ToUtf8(const std::string& bytes) {
  std::string utf8;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned code = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1])
                                                               << 8;
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const unsigned low =
          static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | code >> 12);
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | code >> 18);
      utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

// A string value of the 32-bit view with every character kept: reg query prints through the
// OEM code page (an u with umlaut arrives as \x81), reg export writes UTF-16.
std::optional<std::string> RegText(const std::string& key, const std::string& name) {
  char path[] = "/tmp/e2e-export-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    return std::nullopt;
  }
  close(fd);
  const Output exported = RunWindows({"reg", "export", key, WindowsPath(path), "/reg:32", "/y"});
  const std::string text = Utf16ToUtf8(ReadAll(path));
  unlink(path);
  const std::string start = "\n\"" + name + "\"=\"";
  const std::size_t found = text.find(start);
  if (exported.exitCode != 0 || found == std::string::npos) {
    return std::nullopt;
  }
  std::string value;
  for (std::size_t i = found + start.size(); i < text.size() && text[i] != '"'; ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
    }
    value += text[i];
  }
  return value;
}

// What the wizard shows at one moment: the frame's window record, its own controls, and the
// controls of the page on show (pages are child dialogs of the frame).
struct Screen {
  UiRecord window;
  std::vector<UiRecord> frame;
  std::vector<UiRecord> page;

  // The control with this id; a record without fields when there is none, so that a missing
  // control fails the comparisons rather than the test program.
  static UiRecord ById(const std::vector<UiRecord>& controls, int id) {
    for (const UiRecord& control : controls) {
      if (control.Number("id") == id) {
        return control;
      }
    }
    return UiRecord{};
  }
  UiRecord Frame(int id) const { return ById(frame, id); }
  UiRecord Item(int id) const { return ById(page, id); }
  bool Has(int id) const { return !Item(id).fields.empty(); }
  std::string Text(int id) const { return Item(id).Get("text"); }
  std::string FrameText(int id) const { return Frame(id).Get("text"); }
  bool Shows(Page which) const {
    // Each page told by a control that only it has; the agreement's edit box and the group
    // name's share id 1000.
    switch (which) {
      case Page::Welcome:
        return Has(1003);
      case Page::Agreement:
        return Has(1000) && !Has(1008);
      case Page::Folder:
        return Has(1013);
      case Page::Group:
        return Has(1008);
      case Page::Ready:
        return Has(1010);
    }
    return false;
  }
};

// A message box or the folder browser: a dialog of the setup other than the frame.
struct Box {
  std::string hwnd;
  std::string title;
  std::string message;
  std::string icon;
  std::vector<std::string> buttons;  // "id:text", in the order of the window's children
  std::string defaultId;
  std::vector<UiRecord> controls;
};

class WizardTest : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    const fs::path dist = dist_;
    ASSERT_TRUE(fs::exists(dist / "agreement.txt"))
        << "the sample distribution lacks its agreement";
    recorderExe_ = bench().setupExe.parent_path() / "urlrecorder.exe";
    ASSERT_TRUE(fs::exists(recorderExe_)) << recorderExe_ << " is missing: build the win32 preset";
    for (const auto& [key, name] :
         std::vector<std::pair<const char*, const char*>>{{kShellFolders, "Common Programs"},
                                                          {kShellFolders, "Common Desktop"},
                                                          {kShellFolders, "Common Startup"},
                                                          {kUserShellFolders, "Programs"},
                                                          {kUserShellFolders, "Desktop"},
                                                          {kUserShellFolders, "Startup"}}) {
      const std::optional<std::string> value = RegValue(key, name);
      ASSERT_TRUE(value.has_value()) << "the prefix lacks the shell folder " << name;
      shellFolders_[name] = *value;
    }

    // The copy lies in a folder with a blank in its name, as a download folder often does.
    dist_ = folder() / "Pictavo 6 download";
    fs::copy(dist, dist_, fs::copy_options::recursive);

    // Our recorder takes the place of the browser; the old command comes back afterwards.
    httpCommandBefore_ = RegValue(kHttpCommandKey, "");
    openedLog_ = folder() / "opened addresses.txt";
    browserReplaced_ = true;
    ASSERT_TRUE(ImportRegistry("Windows Registry Editor Version 5.00\n\n[" +
                               std::string(kHttpCommandKey) + "]\n@=" +
                               RegQuoted(RegQuoted(WindowsPath(recorderExe_)) + " " +
                                         RegQuoted(WindowsPath(openedLog_)) + " \"%1\"") +
                               "\n"));
    ASSERT_NE(RegValue(kHttpCommandKey, ""), httpCommandBefore_);
  }

  void TearDown() override {
    setup_.reset();
    // What the wizard's choices put beyond the product's usual places: the group named on the
    // group page, and the autostart shortcuts.
    std::error_code error;
    for (const char* menu : {"Common Programs", "Programs"}) {
      fs::remove_all(HostPath(shellFolders_[menu] + "\\" + kGroupName), error);
    }
    for (const char* place : {"Common Startup", "Startup"}) {
      fs::remove(HostPath(shellFolders_[place] + "\\Pictavo 6.lnk"), error);
    }
    if (browserReplaced_) {
      EXPECT_TRUE(ImportRegistry(
          "Windows Registry Editor Version 5.00\n\n[" + std::string(kHttpCommandKey) + "]\n@=" +
          (httpCommandBefore_ ? RegQuoted(*httpCommandBefore_) : std::string("-")) + "\n"))
          << "our browser stays behind";
      EXPECT_EQ(RegValue(kHttpCommandKey, ""), httpCommandBefore_);
    }
    ProductTest::TearDown();
  }

  void EndStrayRuns() override {
    RunWindows({"taskkill", "/f", "/im", "Pictv6.exe"});
    ProductTest::EndStrayRuns();
  }

  // Started by its full path from the test's folder, as from a shortcut elsewhere: what it
  // reads comes from the distribution, not from the current folder.
  void StartSetup() {
    setup_ = std::make_unique<WindowsProcess>(WindowsPath(dist_ / "setup.exe"),
                                              std::vector<std::string>{}, folder());
    ASSERT_TRUE(setup_->started());
  }

  std::vector<UiRecord> SetupDialogs() {
    return OfKind(
        Uiauto({"list", "--class", "#32770", "--image", "setup.exe", "--visible"}).records,
        "window");
  }

  // The wizard's frame: the setup's dialog with a Back button.
  void WaitForFrame() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      for (const UiRecord& window : SetupDialogs()) {
        const UiResult described = Uiauto({"describe", "--hwnd", window.Get("hwnd")});
        for (const UiRecord& control : OfKind(described.records, "control")) {
          if (control.Number("id") == kBack && control.Get("parent") == window.Get("hwnd")) {
            frame_ = window.Get("hwnd");
            return;
          }
        }
      }
      std::this_thread::sleep_for(200ms);
    }
    FAIL() << "the wizard did not appear";
  }

  Screen Look() {
    Screen screen;
    const UiResult described = Uiauto({"describe", "--hwnd", frame_});
    const std::vector<UiRecord> windows = OfKind(described.records, "window");
    if (windows.size() == 1) {
      screen.window = windows[0];
    }
    std::string page;
    for (const UiRecord& control : OfKind(described.records, "control")) {
      if (control.Get("parent") == frame_) {
        screen.frame.push_back(control);
        if (control.Get("class") == "#32770" && control.Get("visible") == "1") {
          page = control.Get("hwnd");
        }
      }
    }
    for (const UiRecord& control : OfKind(described.records, "control")) {
      if (!page.empty() && control.Get("parent") == page) {
        screen.page.push_back(control);
      }
    }
    return screen;
  }

  Screen WaitForPage(Page page) {
    Screen screen;
    for (int attempt = 0; attempt < 100; ++attempt) {
      screen = Look();
      if (screen.Shows(page)) {
        return screen;
      }
      std::this_thread::sleep_for(100ms);
    }
    ADD_FAILURE() << "the " << PageName(page) << " page did not show";
    return screen;
  }

  void Press(int id, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"press", "--hwnd", frame_, "--id", std::to_string(id)};
    args.insert(args.end(), more.begin(), more.end());
    const UiResult pressed = Uiauto(args);
    EXPECT_EQ(pressed.exitCode, 0) << "pressing " << id << ": " << pressed.err;
  }

  void Type(int id, const std::string& text) {
    const UiResult typed =
        Uiauto({"settext", "--hwnd", frame_, "--id", std::to_string(id), "--set", text});
    EXPECT_EQ(typed.exitCode, 0) << typed.err;
  }

  void Tick(int id, bool on, const std::string& text) {
    std::vector<std::string> args = {"check",  "--hwnd", frame_, "--id", std::to_string(id),
                                     "--text", text};
    if (!on) {
      args.push_back("--uncheck");
    }
    const UiResult ticked = Uiauto(args);
    EXPECT_EQ(ticked.exitCode, 0) << ticked.err;
  }

  // The next dialog of the setup besides the frame: a message box or the folder browser.
  Box WaitForBox() {
    Box box;
    for (int attempt = 0; attempt < 100 && box.hwnd.empty(); ++attempt) {
      for (const UiRecord& window : SetupDialogs()) {
        if (window.Get("hwnd") != frame_) {
          box.hwnd = window.Get("hwnd");
        }
      }
      if (box.hwnd.empty()) {
        std::this_thread::sleep_for(100ms);
      }
    }
    if (box.hwnd.empty()) {
      ADD_FAILURE() << "no box appeared";
      return box;
    }
    const UiResult described = Uiauto({"describe", "--hwnd", box.hwnd});
    for (const UiRecord& record : described.records) {
      if (record.kind == "window") {
        box.title = record.Get("title");
      } else if (record.kind == "message") {
        box.message = record.Get("text");
      } else if (record.kind == "icon") {
        box.icon = record.Get("name");
      } else if (record.kind == "default") {
        box.defaultId = record.Get("id");
      } else if (record.kind == "control") {
        box.controls.push_back(record);
        if (AsciiLower(record.Get("class")) == "button" && record.Get("visible") == "1") {
          box.buttons.push_back(record.Get("id") + ":" + record.Get("text"));
        }
      }
    }
    return box;
  }

  void Answer(const Box& box, int id) {
    const UiResult pressed =
        Uiauto({"press", "--hwnd", box.hwnd, "--id", std::to_string(id), "--wait-close", "10000"});
    EXPECT_EQ(pressed.exitCode, 0) << pressed.err;
  }

  // A service box of the setup with its text, a warning icon and one OK button.
  void ExpectWarningAnsweredOk(const std::string& message) {
    const Box box = WaitForBox();
    EXPECT_EQ(box.title, kCaption);
    EXPECT_EQ(box.message, message);
    EXPECT_EQ(box.icon, "warning");
    EXPECT_EQ(box.buttons, std::vector<std::string>{"1:OK"});
    Answer(box, kOk);
  }

  void ExpectCancelQuestion(const Box& box) {
    EXPECT_EQ(box.title, kCaption);
    EXPECT_EQ(box.message, kCancelQuestion);
    EXPECT_EQ(box.icon, "question");
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"6:&Yes", "7:&No"}));
    EXPECT_EQ(box.defaultId, std::to_string(kNo)) << "Enter would cancel the setup";
  }

  std::optional<int> WaitForSetupExit() {
    const std::optional<int> code = setup_->WaitForExit(60s);
    EXPECT_TRUE(code.has_value()) << "the setup did not end";
    return code;
  }

  std::vector<std::string> OpenedAddresses() {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(openedLog_));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
    }
    return lines;
  }

  // The machine as far as the product reaches: its folder, the menus, desktops and startup
  // folders, its registry keys and the addresses opened.
  std::string MachineState() {
    std::ostringstream state;
    for (const auto& [path, what] : SnapshotFolder(destination_)) {
      state << "product " << path << " " << what << "\n";
    }
    for (const auto& [name, value] : shellFolders_) {
      for (const auto& [path, what] : SnapshotFolder(HostPath(value))) {
        state << name << " " << path << " " << what << "\n";
      }
    }
    for (const char* key : {kVendorKey, kAppPathKey, kUninstallKey}) {
      state << key << ":\n" << QueryRegistry(key).value_or("(missing)\n");
    }
    state << "opened:\n" << ReadAll(openedLog_);
    return state.str();
  }

  fs::path recorderExe_;
  fs::path openedLog_;
  fs::path destination_;
  std::map<std::string, std::string> shellFolders_;
  std::optional<std::string> httpCommandBefore_;
  bool browserReplaced_ = false;
  std::string frame_;
  std::unique_ptr<WindowsProcess> setup_;
};

TEST_F(WizardTest, UserInstallsThroughEveryPageThenASecondRunShowsTheChoicesAndIsCancelled) {
  destination_ = folder() / kDestinationName;
  const std::string destinationWin = WindowsPath(destination_);
  WriteAll(folder() / "agreement.txt", "Not the distribution's agreement\r\n");
  ASSERT_NO_FATAL_FAILURE(StartSetup());
  ASSERT_NO_FATAL_FAILURE(WaitForFrame());

  // Welcome: the version of the distribution's product, no way back.
  Screen screen = WaitForPage(Page::Welcome);
  ASSERT_TRUE(screen.Shows(Page::Welcome));
  EXPECT_EQ(screen.window.Get("title"), kCaption);
  EXPECT_EQ(screen.Text(1003), kVersionText);
  EXPECT_EQ(screen.Frame(kBack).Get("visible"), "0");
  EXPECT_EQ(screen.FrameText(kNext), "&Next >");
  EXPECT_EQ(screen.FrameText(kCancel), "Cancel");
  EXPECT_EQ(screen.Frame(kSidePicture).Get("visible"), "1");

  // The agreement: the whole text from its start, nothing selected, Yes and No.
  Press(kNext);
  screen = WaitForPage(Page::Agreement);
  ASSERT_TRUE(screen.Shows(Page::Agreement));
  EXPECT_EQ(screen.window.Get("title"), kAgreementCaption);
  EXPECT_EQ(screen.FrameText(kNext), "Yes");
  EXPECT_EQ(screen.FrameText(kCancel), "No");
  EXPECT_EQ(screen.Frame(kBack).Get("visible"), "1");
  EXPECT_EQ(screen.Frame(kSidePicture).Get("visible"), "0");
  const std::string agreement = ReadAll(dist_ / "agreement.txt");
  ASSERT_GT(agreement.size(), 200u) << "the sample agreement is too short to scroll";
  const UiRecord text = screen.Item(1000);
  EXPECT_EQ(text.Get("text"), Windows1252ToUtf8(agreement.substr(0, agreement.find('\0'))));
  EXPECT_EQ(text.Get("sel_start"), text.Get("sel_end")) << "part of the agreement is selected";
  EXPECT_EQ(text.Get("first_line"), "0") << "the agreement is not shown from its start";

  // No asks first; No to that question keeps the page.
  Press(kCancel);
  Box box = WaitForBox();
  ExpectCancelQuestion(box);
  Answer(box, kNo);
  screen = WaitForPage(Page::Agreement);
  EXPECT_EQ(screen.window.Get("title"), kAgreementCaption);
  EXPECT_FALSE(setup_->WaitForExit(0ms).has_value()) << "No to the question ended the setup";

  // Back to the welcome page and forward again.
  Press(kBack);
  screen = WaitForPage(Page::Welcome);
  EXPECT_EQ(screen.window.Get("title"), kCaption);
  EXPECT_EQ(screen.FrameText(kNext), "&Next >");
  EXPECT_EQ(screen.Frame(kBack).Get("visible"), "0");
  Press(kNext);
  WaitForPage(Page::Agreement);
  Press(kNext);

  // The destination: the default for this machine, then a folder made and chosen in the
  // shell's browser. The new folder is empty, so it is the destination itself, and it goes
  // again until the installation makes it.
  screen = WaitForPage(Page::Folder);
  ASSERT_TRUE(screen.Shows(Page::Folder));
  EXPECT_EQ(screen.window.Get("title"), kCaption);
  EXPECT_EQ(screen.FrameText(kNext), "&Next >");
  EXPECT_EQ(screen.FrameText(kCancel), "Cancel");
  EXPECT_EQ(screen.Text(1013), installWin_);
  EXPECT_EQ(screen.Item(1001).Get("check"), "1");
  EXPECT_EQ(screen.Item(1002).Get("check"), "0");
  Tick(1002, true, kAllUsersLabel);
  Press(1005);
  box = WaitForBox();
  EXPECT_TRUE(std::any_of(box.controls.begin(), box.controls.end(), [](const UiRecord& c) {
    return c.Get("text") == kBrowseInstruction;
  })) << "the browser does not show the instruction";
  // Made while the browser is open, as its "Make New Folder" button does.
  ASSERT_TRUE(fs::create_directory(destination_));
  const UiResult selected = Uiauto({"browse", "--hwnd", box.hwnd, "--path", destinationWin});
  ASSERT_EQ(selected.exitCode, 0) << selected.err;
  Answer(box, kOk);
  screen = WaitForPage(Page::Folder);
  for (int attempt = 0; attempt < 50 && screen.Text(1013) != destinationWin; ++attempt) {
    std::this_thread::sleep_for(100ms);
    screen = Look();
  }
  EXPECT_EQ(screen.Text(1013), destinationWin);
  EXPECT_FALSE(fs::exists(destination_)) << "the new empty folder stays before installing";
  EXPECT_FALSE(fs::exists(HostPath(installWin_))) << "the folder made for the browser stays";

  // The group: a name too short is refused on Next and on Back alike.
  Press(kNext);
  screen = WaitForPage(Page::Group);
  ASSERT_TRUE(screen.Shows(Page::Group));
  EXPECT_EQ(screen.Text(1000), "Pictavo 6");
  EXPECT_EQ(screen.Item(1008).Get("check"), "0");
  EXPECT_EQ(screen.Item(1009).Get("check"), "1");
  Type(1000, "  ab ");
  for (const int button : {kNext, kBack}) {
    Press(button);
    ExpectWarningAnsweredOk(kGroupTooShort);
    screen = WaitForPage(Page::Group);
    EXPECT_EQ(screen.Text(1000), "  ab ") << "after " << button;
  }
  // Names that are the Startup folder once the shortcuts use them, or the program list itself.
  for (const char* name : {"Startup.", ".\\Startup", "Startup\\.", "STARTUP\\", "...."}) {
    Type(1000, name);
    Press(kNext);
    ExpectWarningAnsweredOk(kGroupIsStartup);
    screen = WaitForPage(Page::Group);
    EXPECT_EQ(screen.Text(1000), name);
  }
  Type(1000, std::string(" ") + kGroupName + " ");
  Tick(1009, false, "Add Pictavo icon to the desktop");
  Tick(1008, true, "Auto-start Pictavo when Windows starts");

  // Back and forth keeps every choice.
  Press(kBack);
  screen = WaitForPage(Page::Folder);
  EXPECT_EQ(screen.Text(1013), destinationWin);
  EXPECT_EQ(screen.Item(1002).Get("check"), "1");
  Press(kNext);
  screen = WaitForPage(Page::Group);
  EXPECT_EQ(screen.Text(1000), kGroupName) << "the name is kept trimmed";
  EXPECT_EQ(screen.Item(1008).Get("check"), "1");
  EXPECT_EQ(screen.Item(1009).Get("check"), "0");

  // Ready, installed, finished with the product started.
  Press(kNext);
  screen = WaitForPage(Page::Ready);
  ASSERT_TRUE(screen.Shows(Page::Ready));
  EXPECT_EQ(screen.Text(1010), "You are now ready to install Pictavo.");
  EXPECT_EQ(screen.Item(1012).Get("visible"), "0");
  Press(kNext);
  for (int attempt = 0; attempt < 300 && screen.FrameText(kNext) != "&Finish >"; ++attempt) {
    std::this_thread::sleep_for(100ms);
    screen = Look();
  }
  ASSERT_EQ(screen.FrameText(kNext), "&Finish >");
  EXPECT_EQ(screen.Text(1010), "Pictavo 6 has been successfully installed.");
  EXPECT_EQ(screen.Text(1011), "Press the Finish button to exit this installation.");
  EXPECT_EQ(screen.Text(1012), "Run Pictavo");
  EXPECT_EQ(screen.Item(1012).Get("visible"), "1");
  EXPECT_EQ(screen.Item(1012).Get("check"), "0");
  EXPECT_EQ(screen.Item(1009).Get("visible"), "0") << "\"Installing\" still shows";
  EXPECT_EQ(screen.Frame(kBack).Get("enabled"), "0");
  EXPECT_EQ(screen.Frame(kCancel).Get("enabled"), "0");
  Tick(1012, true, "Run Pictavo");
  Press(kNext);
  std::optional<int> code = WaitForSetupExit();
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0);

  // Installed where chosen, for all users, with the chosen group, startup and no desktop icon.
  for (const char* file : {"Pictv6.exe", "PictvUnInst.exe", "PictvUnInst.log", "HomePage.url",
                           "readme.txt", "Samples/harbour.pvs"}) {
    EXPECT_TRUE(fs::exists(destination_ / file)) << file;
  }
  EXPECT_EQ(ReadAll(destination_ / "Pictv6.exe"), ReadAll(dist_ / "Pictv6.exe"));
  EXPECT_EQ(RegText(kProductKey, "Path"), destinationWin);
  EXPECT_EQ(RegText(kProductKey, "AllUsers"), "B");
  EXPECT_EQ(RegText(kUninstallKey, "UninstallString"),
            "\"" + destinationWin + "\\PictvUnInst.exe\"");
  const fs::path group = HostPath(shellFolders_["Common Programs"] + "\\" + kGroupName);
  for (const char* link : {"Pictavo 6.lnk", "Pictavo 6 Help.lnk", "Read about Pictavo 6.lnk",
                           "Uninstall Pictavo 6.lnk"}) {
    EXPECT_TRUE(fs::exists(group / link)) << link;
  }
  EXPECT_FALSE(fs::exists(HostPath(shellFolders_["Common Programs"] + "\\Pictavo 6")));
  EXPECT_TRUE(fs::exists(HostPath(shellFolders_["Common Startup"] + "\\Pictavo 6.lnk")));
  EXPECT_FALSE(fs::exists(HostPath(shellFolders_["Common Desktop"] + "\\Pictavo 6.lnk")));
  EXPECT_FALSE(fs::exists(HostPath(shellFolders_["Desktop"] + "\\Pictavo 6.lnk")));
  EXPECT_FALSE(fs::exists(HostPath(shellFolders_["Programs"] + "\\" + kGroupName)));
  const UiResult shortcut = Uiauto(
      {"shortcut", shellFolders_["Common Programs"] + "\\" + kGroupName + "\\Pictavo 6.lnk"});
  const std::vector<UiRecord> links = OfKind(shortcut.records, "shortcut");
  ASSERT_EQ(links.size(), 1u) << shortcut.err;
  EXPECT_EQ(AsciiLower(links[0].Get("target")), AsciiLower(destinationWin + "\\Pictv6.exe"));

  const UiResult product = Uiauto(
      {"wait", "--title", "Pictavo 6", "--class", "Pictavo6Main", "--timeout", "20000"}, 40s);
  EXPECT_EQ(product.exitCode, 0) << "the product did not start after Finish\n" << product.err;

  // The vendor's page of a new installation, with the query of the installed home page link.
  const std::string homePage = ReadAll(destination_ / "HomePage.url");
  const std::size_t url = homePage.find("URL=http://");
  ASSERT_NE(url, std::string::npos) << "the sample's HomePage.url has no address";
  std::string query = homePage.substr(url, homePage.find_first_of("\r\n", url) - url);
  ASSERT_NE(query.find('?'), std::string::npos) << "the sample's address has no query";
  query = query.substr(query.find('?'));
  std::vector<std::string> opened;
  for (int attempt = 0; attempt < 100 && opened.empty(); ++attempt) {
    std::this_thread::sleep_for(100ms);
    opened = OpenedAddresses();
  }
  EXPECT_EQ(opened,
            std::vector<std::string>{"http://www.corvantis.example/pvdx/InstScript.asp" + query});

  const UiResult closed =
      Uiauto({"close", "--title", "Pictavo 6", "--class", "Pictavo6Main", "--wait-close", "10000"});
  EXPECT_EQ(closed.exitCode, 0) << closed.err;

  // A second run over the same version: the question, Yes, and the wizard with what is stored.
  const std::string before = MachineState();
  ASSERT_NO_FATAL_FAILURE(StartSetup());
  box = WaitForBox();
  EXPECT_EQ(box.title, kCaption);
  EXPECT_EQ(box.message, kSameVersionQuestion);
  EXPECT_EQ(box.buttons, (std::vector<std::string>{"6:&Yes", "7:&No"}));
  Answer(box, kYes);
  frame_.clear();
  ASSERT_NO_FATAL_FAILURE(WaitForFrame());
  WaitForPage(Page::Welcome);
  Press(kNext);
  WaitForPage(Page::Agreement);
  Press(kNext);
  screen = WaitForPage(Page::Folder);
  EXPECT_EQ(screen.Text(1013), destinationWin);
  EXPECT_EQ(screen.Item(1002).Get("check"), "1");
  Press(kNext);
  screen = WaitForPage(Page::Group);
  EXPECT_EQ(screen.Text(1000), kGroupName);

  // Cancel, Yes: nothing changed, nothing opened, nothing started.
  Press(kCancel);
  box = WaitForBox();
  ExpectCancelQuestion(box);
  Answer(box, kYes);
  code = WaitForSetupExit();
  ASSERT_TRUE(code.has_value());
  // A cancelled run says so in its exit code, 1602, which the host sees as its low byte; and
  // it leaves the machine as it was.
  EXPECT_EQ(*code, LowByte(kExitCancelled));
  EXPECT_EQ(MachineState(), before);
  EXPECT_TRUE(
      OfKind(Uiauto({"list", "--title", "Pictavo 6", "--class", "Pictavo6Main"}).records, "window")
          .empty())
      << "the cancelled run started the product";
}

// One look at the installing page while 2,000 more files are copied: the bar's range is every
// file the manifest copies, and it is met part way; at the end it is full and goes.
TEST_F(WizardTest, ProgressBarMovesThroughTheFilesOfALargerInstallation) {
  constexpr int kMany = 2000;
  constexpr int kSampleFiles = 8;
  destination_ = HostPath(installWin_);
  const fs::path big = folder() / "big";
  WriteManyFileDistribution(dist_, big, kMany);
  setup_ = std::make_unique<WindowsProcess>(WindowsPath(big / "setup.exe"),
                                            std::vector<std::string>{}, folder());
  ASSERT_TRUE(setup_->started());
  ASSERT_NO_FATAL_FAILURE(WaitForFrame());
  for (const Page page : {Page::Welcome, Page::Agreement, Page::Folder, Page::Group}) {
    WaitForPage(page);
    Press(kNext);
  }
  Screen screen = WaitForPage(Page::Ready);
  EXPECT_EQ(screen.Item(kProgressBar).Get("visible"), "0") << "a bar before the installation";
  Press(kNext);

  UiRecord bar;
  for (int attempt = 0; attempt < 600; ++attempt) {
    screen = Look();
    bar = screen.Item(kProgressBar);
    if (bar.Get("visible") == "1" && bar.Number("pos") > 0) {
      break;
    }
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(AsciiLower(bar.Get("class")), "msctls_progress32");
  EXPECT_EQ(bar.Number("max"), kMany + kSampleFiles);
  EXPECT_GT(bar.Number("pos"), 0);
  EXPECT_LT(bar.Number("pos"), kMany + kSampleFiles) << "the installation was not met at work";
  EXPECT_EQ(screen.Item(1009).Get("visible"), "1") << "the text above the bar went";

  // The Finish label comes a moment before the page turns into the closing page.
  const auto closing = [&] {
    return screen.FrameText(kNext) == "&Finish >" && screen.Item(1012).Get("visible") == "1";
  };
  for (int attempt = 0; attempt < 1200 && !closing(); ++attempt) {
    std::this_thread::sleep_for(100ms);
    screen = Look();
  }
  ASSERT_TRUE(closing()) << "the closing page did not show";
  EXPECT_EQ(screen.Item(kProgressBar).Get("visible"), "0");
  EXPECT_EQ(screen.Item(kProgressBar).Number("pos"), kMany + kSampleFiles);
  Press(kNext);
  const std::optional<int> code = WaitForSetupExit();
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0);
}

}  // namespace
}  // namespace e2e
