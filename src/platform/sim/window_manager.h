// The simulated machine's windows: dialogs made from the program's layouts, their controls,
// the keyboard focus, the cursor and the shell's folder browser, with the modal loops driven by
// the scripted user.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/sim/file_system.h"
#include "platform/sim/user.h"
#include "resources/resource_tables.h"

namespace sim {

// Pixels from dialog units as MapDialogRect makes them (MulDiv, rounded to the nearest) with
// the base units of 8-point MS Sans Serif at 96 dots per inch, the font of every layout: 6 by
// 13 pixels, so 1.5 pixels per horizontal and 1.625 per vertical unit.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
int HorizontalPixels(int dialogUnits);
int VerticalPixels(int dialogUnits);
// The frame around a top-level dialog's client area (the classic metrics at 96 dots per inch):
// a dialog frame of 3 pixels on each side and a caption of 19 pixels above.
inline constexpr int kDialogFrame = 3;
inline constexpr int kCaptionHeight = 19;

// Every window of every process, machine-wide. Handles are unique non-zero numbers, never used
// again. Operations on a destroyed or unknown handle change nothing and give empty values, as
// Windows does.
class WindowManager {
 public:
  WindowManager(User& user, FileSystem& files) : user_(user), files_(files) {}
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // platform::Dialogs on behalf of process `process`.
  int DoModal(unsigned process, unsigned layout, platform::WindowHandle owner,
              platform::DialogEvents& events);
  void EndDialog(platform::WindowHandle dialog, int result);
  platform::WindowHandle CreateChild(unsigned process, unsigned layout,
                                     platform::WindowHandle parent, platform::DialogEvents& events);
  bool DestroyWindow(platform::WindowHandle window);
  platform::WindowHandle GetItem(platform::WindowHandle dialog, int id) const;
  std::string GetText(platform::WindowHandle window) const;
  void SetText(platform::WindowHandle window, const std::string& text);
  void Show(platform::WindowHandle window, bool show);
  bool IsVisible(platform::WindowHandle window) const;
  void Enable(platform::WindowHandle window, bool enable);
  bool IsEnabled(platform::WindowHandle window) const;
  bool IsChecked(platform::WindowHandle button) const;
  void SetCheck(platform::WindowHandle button, bool checked);
  void SetFocus(unsigned process, platform::WindowHandle window);
  platform::WindowHandle GetFocus(unsigned process) const;
  void SetEditSelection(platform::WindowHandle edit, int start, int end);
  std::pair<int, int> GetEditSelection(platform::WindowHandle edit) const;
  void SetProgressRange(platform::WindowHandle bar, int maximum);
  void SetProgressPosition(platform::WindowHandle bar, int position);
  platform::ProgressState GetProgress(platform::WindowHandle bar) const;
  platform::Rect GetRectInParent(platform::WindowHandle window) const;
  void PlaceOnTop(platform::WindowHandle window, int x, int y);
  void SetCursor(unsigned process, platform::Cursor cursor);
  void SetBusy(unsigned process, platform::WindowHandle frame, bool busy);
  platform::BrowseResult BrowseForFolder(unsigned process, platform::WindowHandle owner,
                                         const std::string& title, std::uint32_t flags,
                                         platform::BrowseEvents& events);
  void BrowseSelect(platform::WindowHandle browser, const std::string& path);

  // What other processes read of a window (EnumWindows, GetWindowThreadProcessId, GetWindow
  // with GW_OWNER, GetWindowLongA with GWL_EXSTYLE); 0 or kNoWindow for no window. Only a
  // top-level window has an owner: a child's is its parent, which GW_OWNER does not report.
  // The top-level windows come topmost first, which here means the most recently made or shown
  // first: nothing else changes the order on the simulated screen.
  std::vector<platform::WindowHandle> TopLevelWindows() const;
  unsigned ProcessOf(platform::WindowHandle window) const;
  platform::WindowHandle OwnerOf(platform::WindowHandle window) const;
  std::uint32_t ExStyleOf(platform::WindowHandle window) const;

  // The test's side.
  bool Exists(platform::WindowHandle window) const { return windows_.count(window) > 0; }
  // A shown top-level window of another program, e.g. a product's main window: kNoWindow when
  // the owner given is not a window.
  platform::WindowHandle CreateTopLevel(unsigned process, const std::string& title,
                                        platform::WindowHandle owner, std::uint32_t exStyle);
  std::size_t Count() const { return windows_.size(); }
  platform::Cursor CursorOf(unsigned process) const;
  bool IsBusy(unsigned process) const;
  // The dialog as the user sees it now, as the records keep it.
  SeenDialog See(unsigned process, platform::WindowHandle dialog, const std::string& moment) const;

  // The machine's side: an ended process's windows go with it, as Windows destroys them; a
  // restart ends every window.
  void ProcessEnded(unsigned process);
  void Clear();

 private:
  struct Window {
    unsigned process = 0;
    unsigned layout = 0;  // dialogs only
    bool dialog = false;
    platform::WindowHandle parent = platform::kNoWindow;  // child windows
    platform::WindowHandle owner = platform::kNoWindow;   // top-level windows
    std::string windowClass;
    int id = 0;
    std::string text;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    bool checked = false;
    int selectionStart = 0;
    int selectionEnd = 0;
    platform::ProgressState progress;  // progress bars only
    platform::Rect rect;
    platform::DialogEvents* events = nullptr;
    std::vector<platform::WindowHandle> children;  // in z-order, top first: the tab order
    bool modalRunning = false;
    bool ended = false;
    int result = 0;
  };
  struct ProcessState {
    platform::WindowHandle focus = platform::kNoWindow;
    platform::Cursor cursor = platform::Cursor::Arrow;
    bool busy = false;
  };

  class OwnerHold {
   public:
    OwnerHold(WindowManager& windows, unsigned process, platform::WindowHandle owner,
              platform::WindowHandle modal);
    ~OwnerHold();
    OwnerHold(const OwnerHold&) = delete;
    OwnerHold& operator=(const OwnerHold&) = delete;

   private:
    WindowManager& windows_;
    unsigned process_;
    platform::WindowHandle owner_;
    platform::WindowHandle modal_;
    platform::WindowHandle focus_;
    bool disabled_;
  };

  Window* Find(platform::WindowHandle window);
  const Window* Find(platform::WindowHandle window) const;
  bool Contains(platform::WindowHandle ancestor, platform::WindowHandle window) const;
  bool ReachableByUser(platform::WindowHandle window) const;
  platform::WindowHandle Make(Window window);
  platform::WindowHandle MakeDialog(unsigned process, const resources::DialogLayout& layout,
                                    platform::WindowHandle parent, platform::WindowHandle owner,
                                    platform::DialogEvents& events);
  platform::WindowHandle FirstTabStop(platform::WindowHandle dialog) const;
  void GiveDefaultFocus(unsigned process, platform::WindowHandle dialog);
  void Destroy(platform::WindowHandle window);
  SeenWindow SeeWindow(const Window& window, platform::WindowHandle focus) const;
  platform::WindowHandle FindForUser(platform::WindowHandle dialog, const UserStep& step);
  void Apply(unsigned process, platform::WindowHandle dialog, const UserStep& step);
  void Click(unsigned process, platform::WindowHandle control);
  void Command(platform::WindowHandle dialog, int id);

  User& user_;
  FileSystem& files_;
  std::map<platform::WindowHandle, Window> windows_;
  std::map<unsigned, ProcessState> processes_;
  std::map<platform::WindowHandle, std::size_t> browsers_;  // index into User::Browsers()
  std::deque<platform::WindowHandle> zOrder_;               // the top-level ones, topmost first
  platform::WindowHandle nextHandle_ = 0x10010;
};

// One process's door to the machine's windows.
class DialogsFacility final : public platform::Dialogs {
 public:
  DialogsFacility(WindowManager& windows, unsigned process)
      : windows_(windows), process_(process) {}

  int DoModal(unsigned layout, platform::WindowHandle owner,
              platform::DialogEvents& events) override {
    return windows_.DoModal(process_, layout, owner, events);
  }
  void EndDialog(platform::WindowHandle dialog, int result) override {
    windows_.EndDialog(dialog, result);
  }
  platform::WindowHandle CreateChild(unsigned layout, platform::WindowHandle parent,
                                     platform::DialogEvents& events) override {
    return windows_.CreateChild(process_, layout, parent, events);
  }
  bool DestroyWindow(platform::WindowHandle window) override {
    return windows_.DestroyWindow(window);
  }
  platform::WindowHandle GetItem(platform::WindowHandle dialog, int id) override {
    return windows_.GetItem(dialog, id);
  }
  std::string GetText(platform::WindowHandle window) override { return windows_.GetText(window); }
  void SetText(platform::WindowHandle window, const std::string& text) override {
    windows_.SetText(window, text);
  }
  void Show(platform::WindowHandle window, bool show) override { windows_.Show(window, show); }
  bool IsVisible(platform::WindowHandle window) override { return windows_.IsVisible(window); }
  void Enable(platform::WindowHandle window, bool enable) override {
    windows_.Enable(window, enable);
  }
  bool IsEnabled(platform::WindowHandle window) override { return windows_.IsEnabled(window); }
  bool IsChecked(platform::WindowHandle button) override { return windows_.IsChecked(button); }
  void SetCheck(platform::WindowHandle button, bool checked) override {
    windows_.SetCheck(button, checked);
  }
  void SetFocus(platform::WindowHandle window) override { windows_.SetFocus(process_, window); }
  platform::WindowHandle GetFocus() override { return windows_.GetFocus(process_); }
  void SetEditSelection(platform::WindowHandle edit, int start, int end) override {
    windows_.SetEditSelection(edit, start, end);
  }
  void ScrollCaret(platform::WindowHandle) override {}
  std::pair<int, int> GetEditSelection(platform::WindowHandle edit) override {
    return windows_.GetEditSelection(edit);
  }
  void SetProgressRange(platform::WindowHandle bar, int maximum) override {
    windows_.SetProgressRange(bar, maximum);
  }
  void SetProgressPosition(platform::WindowHandle bar, int position) override {
    windows_.SetProgressPosition(bar, position);
  }
  platform::ProgressState GetProgress(platform::WindowHandle bar) override {
    return windows_.GetProgress(bar);
  }
  platform::Rect GetRectInParent(platform::WindowHandle window) override {
    return windows_.GetRectInParent(window);
  }
  void PlaceOnTop(platform::WindowHandle window, int x, int y) override {
    windows_.PlaceOnTop(window, x, y);
  }
  void Repaint(platform::WindowHandle) override {}
  void SetCursor(platform::Cursor cursor) override { windows_.SetCursor(process_, cursor); }
  void SetBusy(platform::WindowHandle frame, bool busy) override {
    windows_.SetBusy(process_, frame, busy);
  }
  platform::BrowseResult BrowseForFolder(platform::WindowHandle owner, const std::string& title,
                                         std::uint32_t flags,
                                         platform::BrowseEvents& events) override {
    return windows_.BrowseForFolder(process_, owner, title, flags, events);
  }
  void BrowseSelect(platform::WindowHandle browser, const std::string& path) override {
    windows_.BrowseSelect(browser, path);
  }

 private:
  WindowManager& windows_;
  unsigned process_;
};

}  // namespace sim
