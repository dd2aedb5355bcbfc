// Dialogs made from the program file's dialog layouts, their controls, the cursor and the
// shell's folder browser: what the wizard needs of the Windows dialog manager, and no more.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/ui.h"

namespace platform {

// The commands the dialog manager sends for the keyboard and the close box: Enter presses the
// default button (IDOK), Escape and the close box send IDCANCEL.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class Cursor { Arrow, Wait };

// A rectangle in pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Rect&) const = default;
};

// A progress bar's position and the upper end of its range, which starts at 0.
struct ProgressState {
  int position = 0;
  int maximum = 0;
  bool operator==(const ProgressState&) const = default;
};

// The logic's side of one dialog window; the backend calls it from the dialog procedure.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  // WM_INITDIALOG: the window and its controls exist, hidden. True lets the dialog manager give
  // the keyboard focus to the first control that takes it.
  virtual bool OnInitDialog(WindowHandle dialog) = 0;
  // WM_COMMAND with BN_CLICKED: a button of this dialog was clicked (by the mouse, or by Enter
  // while it has the focus), or the keyboard or the close box sent kIdOk or kIdCancel. Those
  // two reach the top-level dialog only, wherever the focus sits: Enter only while the default
  // button is enabled, Escape and the close box always.
  virtual void OnCommand(int id) = 0;
};

// The folder browser's callback (BrowseCallbackProc).
class BrowseEvents {
 public:
  virtual ~BrowseEvents() = default;
  // BFFM_INITIALIZED: the browser is up; `browser` takes BrowseSelect.
  virtual void OnBrowserInitialized(WindowHandle browser) = 0;
  // BFFM_VALIDATEFAILEDA: the typed name is not a folder. True keeps the browser open.
  virtual bool OnValidateFailed(WindowHandle browser, const std::string& typed) = 0;
};

// SHBrowseForFolderA's options that the program uses.
inline constexpr std::uint32_t kBrowseReturnOnlyFileSystemFolders = 0x0001;  // BIF_RETURNONLYFSDIRS
inline constexpr std::uint32_t kBrowseEditBox = 0x0010;                      // BIF_EDITBOX
inline constexpr std::uint32_t kBrowseValidate = 0x0020;                     // BIF_VALIDATE
inline constexpr std::uint32_t kBrowseNewDialogStyle = 0x0040;               // BIF_NEWDIALOGSTYLE

// What the folder browser gave back.
struct BrowseResult {
  bool chosen = false;  // false: the user cancelled
  // SHGetPathFromIDListA of the chosen item (260 characters); nothing when the item has no
  // file-system path. The item list is freed with the shell's allocator either way.
  std::optional<std::string> path;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // DialogBoxParamA on layout `layout` of the program file: a modal dialog owned by `owner`,
  // shown once its initialisation returns, running the modal loop until EndDialog. Returns the
  // value given to EndDialog; -1 when the dialog could not be made.
  virtual int DoModal(unsigned layout, WindowHandle owner, DialogEvents& events) = 0;
  // EndDialog: the modal loop of `dialog` ends with `result` once the current message is done.
  virtual void EndDialog(WindowHandle dialog, int result) = 0;

  // CreateDialogParamA: a modeless child dialog of `parent` from layout `layout`, hidden unless
  // the layout says visible; kNoWindow when it could not be made.
  virtual WindowHandle CreateChild(unsigned layout, WindowHandle parent, DialogEvents& events) = 0;
  // DestroyWindow: the window and its children go; false when there is no such window.
  virtual bool DestroyWindow(WindowHandle window) = 0;

  // GetDlgItem: the control of `dialog` with this id (a direct child); kNoWindow when none.
  virtual WindowHandle GetItem(WindowHandle dialog, int id) = 0;

  // Window and control texts (GetWindowTextA, SetWindowTextA): a caption, a label, an edit
  // control's contents.
  virtual std::string GetText(WindowHandle window) = 0;
  virtual void SetText(WindowHandle window, const std::string& text) = 0;

  // ShowWindow with SW_SHOW or SW_HIDE, and IsWindowVisible (false when a parent is hidden).
  virtual void Show(WindowHandle window, bool show) = 0;
  virtual bool IsVisible(WindowHandle window) = 0;
  // EnableWindow and IsWindowEnabled.
  virtual void Enable(WindowHandle window, bool enable) = 0;
  virtual bool IsEnabled(WindowHandle window) = 0;
  // BM_GETCHECK and BM_SETCHECK of a check box or radio button.
  virtual bool IsChecked(WindowHandle button) = 0;
  virtual void SetCheck(WindowHandle button, bool checked) = 0;
  // SetFocus and GetFocus (kNoWindow when the focus is in no window of this thread).
  virtual void SetFocus(WindowHandle window) = 0;
  virtual WindowHandle GetFocus() = 0;

  // EM_SETSEL from `start` to `end` (-1, 0 removes the selection) and EM_SCROLLCARET.
  virtual void SetEditSelection(WindowHandle edit, int start, int end) = 0;
  virtual void ScrollCaret(WindowHandle edit) = 0;
  // EM_GETSEL: the selection's start and end.
  virtual std::pair<int, int> GetEditSelection(WindowHandle edit) = 0;

  // PBM_SETRANGE32 from 0 to `maximum`, and PBM_SETPOS, of a progress bar (msctls_progress32,
  // which starts at 0 of 0 to 100). A position outside the range is taken to its nearer end.
  virtual void SetProgressRange(WindowHandle bar, int maximum) = 0;
  virtual void SetProgressPosition(WindowHandle bar, int position) = 0;
  // PBM_GETPOS and PBM_GETRANGE's upper end.
  virtual ProgressState GetProgress(WindowHandle bar) = 0;

  // The window's rectangle in the client coordinates of its parent (GetWindowRect, then
  // ScreenToClient of the parent).
  virtual Rect GetRectInParent(WindowHandle window) = 0;
  // SetWindowPos to HWND_TOP at (x, y) of the parent's client area, keeping the size, shown.
  virtual void PlaceOnTop(WindowHandle window, int x, int y) = 0;
  // UpdateWindow: what is invalid is painted now.
  virtual void Repaint(WindowHandle window) = 0;

  // SetCursor with the standard arrow or hourglass.
  virtual void SetCursor(Cursor cursor) = 0;

  // While `busy`, long operations of this process (file copies above all) keep the thread's
  // windows painting; every keyboard and mouse input meanwhile is thrown away. `frame` is the
  // window that must not turn into a ghost.
  virtual void SetBusy(WindowHandle frame, bool busy) = 0;

  // SHBrowseForFolderA owned by `owner`, rooted at the desktop, with `title` as its
  // instruction line, `flags`, a display-name buffer of 260 characters, and `events` as its
  // callback. The COM library is initialised for the thread on first use.
  virtual BrowseResult BrowseForFolder(WindowHandle owner, const std::string& title,
                                       std::uint32_t flags, BrowseEvents& events) = 0;
  // BFFM_SETSELECTIONA with a path: selects that folder in the browser.
  virtual void BrowseSelect(WindowHandle browser, const std::string& path) = 0;
};

}  // namespace platform
