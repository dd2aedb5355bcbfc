#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "conformance/backend.h"
#include "platform/win32/win32_platform.h"

namespace conformance {
namespace {

constexpr GUID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// As a probe (see kProbeExit) conformance.exe does its part before any test could start, while
// the runtime constructs the program's statics.
[[maybe_unused]] const bool kRunsAsProbe = [] {
  const char* line = ::GetCommandLineA();
  const char* exit = std::strstr(line, kProbeExit);
  if (exit == nullptr) {
    return false;
  }
  if (const char* linger = std::strstr(line, kProbeLinger)) {
    ::Sleep(std::strtoul(linger + std::strlen(kProbeLinger), nullptr, 10));
  }
  ::ExitProcess(std::strtoul(exit + std::strlen(kProbeExit), nullptr, 10));
}();

class Win32Backend final : public Backend {
 public:
  Win32Backend() = default;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;
  ~Win32Backend() override {
    for (const auto& [path, file] : held_) {
      ::CloseHandle(file);
    }
  }

  platform::Platform& Get() override { return platform_.Get(); }
  std::string ProgramFileName() const override { return "conformance.exe"; }

  bool WriteBytes(const std::string& path, const std::string& bytes) override {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
  }

  std::optional<std::string> ReadBytes(const std::string& path) override {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      bytes.append(buffer, count);
    }
    std::fclose(file);
    return bytes;
  }

  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }
  bool HoldOpen(const std::string& path) override {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      return false;
    }
    Release(path);
    held_[path] = file;
    return true;
  }
  void Release(const std::string& path) override {
    const auto held = held_.find(path);
    if (held != held_.end()) {
      ::CloseHandle(held->second);
      held_.erase(held);
    }
  }
  bool SetEnvironmentVariable(const std::string& name, const std::string& value) override {
    return ::_putenv((name + "=" + value).c_str()) == 0;
  }

  std::optional<std::string> ShortPath(const std::string& path) override {
    char buffer[MAX_PATH];
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
      return std::nullopt;
    }
    return std::string(buffer, length);
  }
  bool UseCodePage(unsigned codePage) override { return ::GetACP() == codePage; }
  std::optional<SavedShortcut> ReadShortcut(const std::string& path) override {
    ::CoInitialize(nullptr);  // the program's shell links keep it initialised anyway
    void* object = nullptr;
    if (FAILED(::CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                  &object))) {
      return std::nullopt;
    }
    auto* link = static_cast<IShellLinkA*>(object);
    void* fileObject = nullptr;
    if (FAILED(link->QueryInterface(kIidPersistFile, &fileObject))) {
      link->Release();
      return std::nullopt;
    }
    auto* file = static_cast<IPersistFile*>(fileObject);
    std::optional<SavedShortcut> shortcut;
    WCHAR wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) != 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
      // Raw: the stored path as it was set, not resolved against the disk.
      // One more than the calls are told, so that a text cut at the buffer's end stays ended.
      char target[MAX_PATH + 1] = {};
      char folder[MAX_PATH + 1] = {};
      char description[INFOTIPSIZE + 1] = {};
      if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
          SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)) &&
          SUCCEEDED(link->GetDescription(description, INFOTIPSIZE))) {
        shortcut = SavedShortcut{target, folder, description};
      }
    }
    file->Release();
    link->Release();
    return shortcut;
  }

  platform::WindowHandle MakeTopLevelWindow(const std::string& title, platform::WindowHandle owner,
                                            std::uint32_t exStyle) override {
    static const ATOM windowClass = [] {
      WNDCLASSA description = {};
      description.lpfnWndProc = ::DefWindowProcA;
      description.hInstance = ::GetModuleHandleA(nullptr);
      description.lpszClassName = "PictavoConformanceWindow";
      return ::RegisterClassA(&description);
    }();
    // A pop-up, never shown: Windows adds no extended style of its own to it, and it keeps the
    // display out of the test.
    const HWND window = ::CreateWindowExA(exStyle, MAKEINTATOM(windowClass), title.c_str(),
                                          WS_POPUP, 0, 0, 100, 100, reinterpret_cast<HWND>(owner),
                                          nullptr, ::GetModuleHandleA(nullptr), nullptr);
    return reinterpret_cast<platform::WindowHandle>(window);
  }

  void DestroyTopLevelWindow(platform::WindowHandle window) override {
    // What was posted and not taken goes with the window, as Windows drops it.
    PostedMessages(window);
    queued_.erase(window);
    ::DestroyWindow(reinterpret_cast<HWND>(window));
  }

  std::vector<QueuedMessage> PostedMessages(platform::WindowHandle window) override {
    // Taken off the queue, so that no later message loop of the test program handles them.
    std::vector<QueuedMessage>& taken = queued_[window];
    MSG message;
    while (::PeekMessageA(&message, reinterpret_cast<HWND>(window), 0, 0,
                          PM_REMOVE | PM_QS_POSTMESSAGE)) {
      taken.push_back({message.message, message.wParam, message.lParam});
    }
    return taken;
  }

 private:
  platform::win32::Win32Platform platform_;
  std::map<platform::WindowHandle, std::vector<QueuedMessage>> queued_;
  std::map<std::string, HANDLE> held_;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<Win32Backend>();
}

}  // namespace conformance

// What only the real dialog manager does: the messages that Windows turns a click, a key or the
// close box into, and which of them the dialog procedure hands on to the logic. Each test runs in
// the live modal loop: a posted step sets the scene once the frame shows, posts the input, and a
// last posted command ends the dialog after the input has gone through.
namespace {

using platform::kNoWindow;
using platform::WindowHandle;

constexpr unsigned kFrame = 103;
constexpr int kNext = 1;
constexpr int kCancel = 2;
constexpr int kBack = 3;
constexpr int kText = 1000;
constexpr int kBrowse = 1005;
constexpr int kAutoStart = 1008;
// Commands of the test itself, which no layout uses.
constexpr int kStep = 4001;
constexpr int kEnd = 4002;

HWND Window(WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

void PostCommand(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

class Recorder final : public platform::DialogEvents {
 public:
  Recorder(platform::Dialogs& dialogs, std::function<void(HWND)> step = {})
      : dialogs_(dialogs), step_(std::move(step)) {}

  bool OnInitDialog(WindowHandle dialog) override {
    handle = dialog;
    if (step_) {
      PostCommand(Window(dialog), kStep);
    }
    return false;
  }
  void OnCommand(int id) override {
    if (id == kStep) {
      step_(Window(handle));
      PostCommand(Window(handle), kEnd);
    } else if (id == kEnd) {
      // Once more round the queue: what the input posted in turn goes through first.
      if (++endings_ < 2) {
        PostCommand(Window(handle), kEnd);
      } else {
        dialogs_.EndDialog(handle, kEnd);
      }
    } else {
      commands.push_back(id);
    }
  }

  WindowHandle handle = kNoWindow;
  std::vector<int> commands;

 private:
  platform::Dialogs& dialogs_;
  std::function<void(HWND)> step_;
  int endings_ = 0;
};

class DialogRouting : public ::testing::Test {
 protected:
  // Runs `step` in the shown frame's modal loop, with the group page (107), the folder page (106)
  // and the agreement page (104) made in it; the group page shows.
  void Run(const std::function<void(HWND)>& step) {
    Recorder frame(dialogs_, [&](HWND handle) {
      // The dialog manager shows a modal dialog once its queue first runs empty, after the step.
      ::ShowWindow(handle, SW_SHOW);
      group_ = dialogs_.CreateChild(107, reinterpret_cast<WindowHandle>(handle), groupEvents_);
      folder_ = dialogs_.CreateChild(106, reinterpret_cast<WindowHandle>(handle), folderEvents_);
      agreement_ =
          dialogs_.CreateChild(104, reinterpret_cast<WindowHandle>(handle), agreementEvents_);
      dialogs_.Show(group_, true);
      step(handle);
    });
    ASSERT_EQ(dialogs_.DoModal(kFrame, kNoWindow, frame), kEnd);
    frameCommands_ = frame.commands;
  }

  HWND Item(WindowHandle dialog, int id) { return Window(dialogs_.GetItem(dialog, id)); }

  std::unique_ptr<conformance::Backend> backend_ = conformance::MakeBackend();
  platform::Dialogs& dialogs_ = backend_->Get().dialogs;
  Recorder groupEvents_{dialogs_};
  Recorder folderEvents_{dialogs_};
  Recorder agreementEvents_{dialogs_};
  WindowHandle group_ = kNoWindow;
  WindowHandle folder_ = kNoWindow;
  WindowHandle agreement_ = kNoWindow;
  std::vector<int> frameCommands_;
};

TEST_F(DialogRouting, ClicksGoToTheDialogThatHoldsTheButton) {
  Run([&](HWND frame) {
    dialogs_.Show(folder_, true);
    ::SendMessageA(Item(folder_, kBrowse), BM_CLICK, 0, 0);
    ::SendMessageA(Item(group_, kAutoStart), BM_CLICK, 0, 0);
    ::SendMessageA(::GetDlgItem(frame, kBack), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(frameCommands_, std::vector<int>{kBack});
  EXPECT_EQ(folderEvents_.commands, std::vector<int>{kBrowse});
  EXPECT_EQ(groupEvents_.commands, std::vector<int>{kAutoStart});
}

TEST_F(DialogRouting, ClickedCheckBoxTogglesAndReportsEveryClick) {
  std::vector<bool> checked;
  Run([&](HWND) {
    const HWND box = Item(group_, kAutoStart);
    for (int click = 0; click < 3; ++click) {
      ::SendMessageA(box, BM_CLICK, 0, 0);
      checked.push_back(dialogs_.IsChecked(reinterpret_cast<WindowHandle>(box)));
    }
  });
  EXPECT_EQ(checked, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(groupEvents_.commands, (std::vector<int>{kAutoStart, kAutoStart, kAutoStart}));
}

TEST_F(DialogRouting, CloseBoxSendsOneCancelAndLeavesTheDialogOpen) {
  bool openAfterClose = false;
  Run([&](HWND frame) {
    // The close box and Alt+F4 come as SC_CLOSE, which the default procedure makes WM_CLOSE.
    ::SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::SendMessageA(frame, WM_CLOSE, 0, 0);
    // Also with the Cancel button disabled, where the dialog manager itself would send nothing.
    dialogs_.Enable(dialogs_.GetItem(reinterpret_cast<WindowHandle>(frame), kCancel), false);
    ::SendMessageA(frame, WM_CLOSE, 0, 0);
    openAfterClose = ::IsWindow(frame) && ::IsWindowVisible(frame);
  });
  EXPECT_TRUE(openAfterClose);
  EXPECT_EQ(frameCommands_, (std::vector<int>{kCancel, kCancel, kCancel}));
}

TEST_F(DialogRouting, NotificationsOtherThanClicksStayInTheDialogManager) {
  Run([&](HWND frame) {
    const HWND edit = Item(group_, kText);
    // EN_SETFOCUS, EN_CHANGE, EN_UPDATE, EN_KILLFOCUS.
    ::SetFocus(edit);
    dialogs_.SetText(reinterpret_cast<WindowHandle>(edit), "Pictavo 6");
    ::SetFocus(::GetDlgItem(frame, kNext));
  });
  EXPECT_EQ(groupEvents_.commands, std::vector<int>{});
  EXPECT_EQ(frameCommands_, std::vector<int>{});
}

TEST_F(DialogRouting, KeysReachTheDialogsAsTheDialogManagerSendsThem) {
  enum Focus { GroupName, BackButton, BrowseButton, AgreementText };
  struct Case {
    const char* scene;
    Focus focus;
    bool nextEnabled;
    bool cancelEnabled;
    WPARAM key;
    std::vector<int> frame;  // the commands each dialog gets
    std::vector<int> page;   // the page that holds the focus
  };
  const std::vector<Case> cases = {
      {"Enter in the group name", GroupName, true, true, VK_RETURN, {kNext}, {}},
      // The default button disabled: Windows beeps and sends nothing.
      {"Enter, Next disabled", GroupName, false, true, VK_RETURN, {}, {}},
      {"Escape", GroupName, true, true, VK_ESCAPE, {kCancel}, {}},
      {"Escape, Cancel disabled", GroupName, true, false, VK_ESCAPE, {kCancel}, {}},
      // A push button with the focus is the default one while it has it; the dialog manager
      // sends its click to the frame, which hands a page's button to the page.
      {"Enter on Back", BackButton, true, true, VK_RETURN, {kBack}, {}},
      {"Enter on Browse", BrowseButton, true, true, VK_RETURN, {}, {kBrowse}},
      // A multi-line edit keeps Enter for itself, and turns Escape into a WM_CLOSE for its
      // parent, the page, which hands it on: Escape is the frame's Cancel there too.
      {"Enter in the agreement", AgreementText, true, true, VK_RETURN, {}, {}},
      {"Escape in the agreement", AgreementText, true, true, VK_ESCAPE, {kCancel}, {}},
  };
  for (const Case& c : cases) {
    for (Recorder* events : {&groupEvents_, &folderEvents_, &agreementEvents_}) {
      events->commands.clear();
    }
    Run([&](HWND frame) {
      const WindowHandle frameHandle = reinterpret_cast<WindowHandle>(frame);
      dialogs_.Enable(dialogs_.GetItem(frameHandle, kNext), c.nextEnabled);
      dialogs_.Enable(dialogs_.GetItem(frameHandle, kCancel), c.cancelEnabled);
      HWND focus = nullptr;
      switch (c.focus) {
        case GroupName:
          focus = Item(group_, kText);
          break;
        case BackButton:
          focus = ::GetDlgItem(frame, kBack);
          break;
        case BrowseButton:
          dialogs_.Show(group_, false);
          dialogs_.Show(folder_, true);
          focus = Item(folder_, kBrowse);
          break;
        case AgreementText:
          dialogs_.Show(group_, false);
          dialogs_.Show(agreement_, true);
          focus = Item(agreement_, kText);
          break;
      }
      ::SendMessageA(frame, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
      ::PostMessageA(focus, WM_KEYDOWN, c.key, 1);
      ::PostMessageA(focus, WM_KEYUP, c.key, 0xC0000001);
    });
    EXPECT_EQ(frameCommands_, c.frame) << c.scene;
    const Recorder& page = c.focus == BrowseButton    ? folderEvents_
                           : c.focus == AgreementText ? agreementEvents_
                                                      : groupEvents_;
    EXPECT_EQ(page.commands, c.page) << c.scene;
  }
}

TEST_F(DialogRouting, BusyFramePaintsAndThrowsInputAway) {
  platform::FileSystem& files = backend_->Get().files;
  bool paintedWhileBusy = false;
  bool paintedWhenIdle = true;
  bool inputLeft = true;
  Run([&](HWND frame) {
    const WindowHandle frameHandle = reinterpret_cast<WindowHandle>(frame);
    const HWND cancel = ::GetDlgItem(frame, kCancel);
    ::UpdateWindow(frame);
    dialogs_.SetBusy(frameHandle, true);
    ::PostMessageA(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageA(cancel, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ::PostMessageA(frame, WM_KEYDOWN, VK_ESCAPE, 1);
    ::PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::InvalidateRect(frame, nullptr, TRUE);
    // The pump runs at most every 50 ms, by a tick count that moves in steps of about 16.
    ::Sleep(100);
    files.DeleteFile("C:\\pictavo-conformance-no-such-file.txt");
    RECT update;
    paintedWhileBusy = !::GetUpdateRect(frame, &update, FALSE);
    MSG message;
    inputLeft = ::PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE) ||
                ::PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) ||
                ::PeekMessageA(&message, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE);
    dialogs_.SetBusy(frameHandle, false);

    ::InvalidateRect(frame, nullptr, TRUE);
    ::Sleep(100);
    files.DeleteFile("C:\\pictavo-conformance-no-such-file.txt");
    paintedWhenIdle = !::GetUpdateRect(frame, &update, FALSE);
  });
  EXPECT_TRUE(paintedWhileBusy);
  EXPECT_FALSE(inputLeft);
  EXPECT_FALSE(paintedWhenIdle);
  EXPECT_EQ(frameCommands_, std::vector<int>{});
}

}  // namespace
