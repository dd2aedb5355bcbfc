#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include "platform/win32/user32.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

HWND Window(WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

WindowHandle Handle(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}

// The busy frame, while there is one, and when the queue was last emptied.
HWND busyFrame = nullptr;
DWORD lastPump = 0;
bool waitCursor = false;

HCURSOR StandardCursor(bool wait) {
  return user32::LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW);
}

bool IsInput(const MSG& message) {
  const UINT id = message.message;
  return (id >= WM_KEYFIRST && id <= WM_KEYLAST) || (id >= WM_MOUSEFIRST && id <= WM_MOUSELAST) ||
         (id >= WM_NCMOUSEMOVE && id <= WM_NCXBUTTONDBLCLK) ||
         (id == WM_SYSCOMMAND && (message.wParam & 0xFFF0) == SC_CLOSE);
}

// Where a click belongs. Enter and Escape (IDOK, IDCANCEL) are the top-level dialog's wherever
// the focus sits. A push button with the focus is the default one while it has it, and the
// dialog manager sends its Enter to the top-level dialog even when the button sits in a page:
// that click is the page's, as a mouse click on it would be.
HWND CommandTarget(HWND dialog, int id, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    return user32::GetAncestor(dialog, GA_ROOT);
  }
  if (control == nullptr) {
    control = user32::GetFocus();
  }
  if (control != nullptr && user32::GetDlgCtrlID(control) == id &&
      user32::IsChild(dialog, control)) {
    return user32::GetParent(control);
  }
  return dialog;
}

// A top-level dialog's layout places it at 0, 0: the top left corner of the screen. It shows in
// the middle of the work area instead, as dialog frameworks put their modal dialogs.
void CenterInWorkArea(HWND dialog) {
  RECT area;
  RECT window;
  if (!user32::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) ||
      !user32::GetWindowRect(dialog, &window)) {
    return;
  }
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  user32::SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                       area.top + (area.bottom - area.top - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// One procedure for every dialog: the events ride in DWLP_USER from WM_INITDIALOG on. Messages
// before it (WM_SETFONT) have no events to go to and get the dialog manager's defaults.
INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    user32::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    const bool focusLeft = reinterpret_cast<DialogEvents*>(lParam)->OnInitDialog(Handle(dialog));
    if (user32::GetAncestor(dialog, GA_ROOT) == dialog) {
      CenterInWorkArea(dialog);
    }
    return focusLeft ? TRUE : FALSE;
  }
  auto* events = reinterpret_cast<DialogEvents*>(user32::GetWindowLongPtrA(dialog, DWLP_USER));
  if (events == nullptr) {
    return FALSE;
  }
  switch (message) {
    case WM_COMMAND: {
      // Enter and Escape arrive as BN_CLICKED of IDOK and IDCANCEL too. Other notifications
      // (an edit's EN_CHANGE when its text is set) are nothing the logic acts on.
      if (HIWORD(wParam) != BN_CLICKED) {
        return FALSE;
      }
      const HWND target = CommandTarget(dialog, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      if (target != dialog) {
        user32::SendMessageA(target, WM_COMMAND, wParam, lParam);
      } else {
        events->OnCommand(LOWORD(wParam));
      }
      return TRUE;
    }
    case WM_CLOSE:
      // The close box: the logic decides, never the dialog manager's own IDCANCEL, which would
      // come only while a Cancel button is there and enabled. A page gets WM_CLOSE when Escape
      // is pressed in its multi-line edit; that Escape is the top-level dialog's, like any other.
      if (user32::GetAncestor(dialog, GA_ROOT) != dialog) {
        user32::SendMessageA(user32::GetAncestor(dialog, GA_ROOT), WM_CLOSE, 0, 0);
      } else {
        events->OnCommand(kIdCancel);
      }
      return TRUE;
    case WM_SETCURSOR:
      // Moving the mouse over a window puts its class cursor back; the hourglass stays for as
      // long as the work that asked for it.
      if (busyFrame != nullptr && waitCursor) {
        user32::SetCursor(StandardCursor(true));
        user32::SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// The layouts name the common controls' progress bar, whose class the dialog manager finds
// only once the library has registered it: without it the page would not be made at all. It is
// loaded with the first dialog, never in a run that shows none.
void RegisterCommonControls() {
  static bool registered = false;
  if (registered) {
    return;
  }
  registered = true;
  if (auto* const initialise =
          SystemEntry<decltype(::InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx")) {
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    initialise(&classes);
  }
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data) {
  auto* events = reinterpret_cast<BrowseEvents*>(data);
  switch (message) {
    case BFFM_INITIALIZED:
      events->OnBrowserInitialized(Handle(browser));
      return 0;
    case BFFM_VALIDATEFAILEDA:
      return events->OnValidateFailed(Handle(browser),
                                      lParam ? reinterpret_cast<const char*>(lParam) : "")
                 ? 1
                 : 0;
    default:
      return 0;
  }
}

}  // namespace

// The wizard runs the whole installation inside the Next button's command, on the one thread
// that also owns its windows. Windows calls a window that has not taken its messages for a few
// seconds "not responding" and paints a ghost over it; so while busy, the long file operations
// call this to let paint and timer messages through. Input goes nowhere meanwhile: a click on
// Cancel in the middle of a copy must not re-enter the logic.
void KeepBusyWindowsPainting() {
  if (busyFrame == nullptr) {
    return;
  }
  const DWORD now = ::GetTickCount();
  if (now - lastPump < 50) {
    return;
  }
  lastPump = now;
  MSG message;
  while (user32::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: the loop that owns the thread ends on it.
      user32::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!IsInput(message)) {
      user32::DispatchMessageA(&message);
    }
  }
}

int Win32Dialogs::DoModal(unsigned layout, WindowHandle owner, DialogEvents& events) {
  // DialogBoxParamA gives 0, not -1, for an owner that is gone.
  if (owner != kNoWindow && !user32::IsWindow(Window(owner))) {
    return -1;
  }
  RegisterCommonControls();
  return static_cast<int>(
      user32::DialogBoxParamA(::GetModuleHandleW(nullptr), MAKEINTRESOURCEA(layout), Window(owner),
                              DialogProcedure, reinterpret_cast<LPARAM>(&events)));
}

void Win32Dialogs::EndDialog(WindowHandle dialog, int result) {
  user32::EndDialog(Window(dialog), result);
}

WindowHandle Win32Dialogs::CreateChild(unsigned layout, WindowHandle parent, DialogEvents& events) {
  RegisterCommonControls();
  return Handle(user32::CreateDialogParamA(::GetModuleHandleW(nullptr), MAKEINTRESOURCEA(layout),
                                           Window(parent), DialogProcedure,
                                           reinterpret_cast<LPARAM>(&events)));
}

bool Win32Dialogs::DestroyWindow(WindowHandle window) {
  return user32::DestroyWindow(Window(window)) != FALSE;
}

WindowHandle Win32Dialogs::GetItem(WindowHandle dialog, int id) {
  return Handle(user32::GetDlgItem(Window(dialog), id));
}

std::string Win32Dialogs::GetText(WindowHandle window) {
  const int length = user32::GetWindowTextLengthA(Window(window));
  if (length <= 0) {
    return {};
  }
  // The length may be more than the text (double-byte code pages); the copy says how much.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = user32::GetWindowTextA(Window(window), text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void Win32Dialogs::SetText(WindowHandle window, const std::string& text) {
  user32::SetWindowTextA(Window(window), text.c_str());
}

void Win32Dialogs::Show(WindowHandle window, bool show) {
  user32::ShowWindow(Window(window), show ? SW_SHOW : SW_HIDE);
}

bool Win32Dialogs::IsVisible(WindowHandle window) {
  return user32::IsWindowVisible(Window(window)) != FALSE;
}

void Win32Dialogs::Enable(WindowHandle window, bool enable) {
  user32::EnableWindow(Window(window), enable ? TRUE : FALSE);
}

bool Win32Dialogs::IsEnabled(WindowHandle window) {
  return user32::IsWindowEnabled(Window(window)) != FALSE;
}

bool Win32Dialogs::IsChecked(WindowHandle button) {
  return user32::SendMessageA(Window(button), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Dialogs::SetCheck(WindowHandle button, bool checked) {
  user32::SendMessageA(Window(button), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Dialogs::SetFocus(WindowHandle window) {
  user32::SetFocus(Window(window));
}

WindowHandle Win32Dialogs::GetFocus() {
  return Handle(user32::GetFocus());
}

void Win32Dialogs::SetEditSelection(WindowHandle edit, int start, int end) {
  user32::SendMessageA(Window(edit), EM_SETSEL, static_cast<WPARAM>(start),
                       static_cast<LPARAM>(end));
}

void Win32Dialogs::ScrollCaret(WindowHandle edit) {
  user32::SendMessageA(Window(edit), EM_SCROLLCARET, 0, 0);
}

std::pair<int, int> Win32Dialogs::GetEditSelection(WindowHandle edit) {
  DWORD start = 0;
  DWORD end = 0;
  user32::SendMessageA(Window(edit), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                       reinterpret_cast<LPARAM>(&end));
  return {static_cast<int>(start), static_cast<int>(end)};
}

void Win32Dialogs::SetProgressRange(WindowHandle bar, int maximum) {
  user32::SendMessageA(Window(bar), PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
}

void Win32Dialogs::SetProgressPosition(WindowHandle bar, int position) {
  user32::SendMessageA(Window(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

ProgressState Win32Dialogs::GetProgress(WindowHandle bar) {
  return {static_cast<int>(user32::SendMessageA(Window(bar), PBM_GETPOS, 0, 0)),
          static_cast<int>(user32::SendMessageA(Window(bar), PBM_GETRANGE, FALSE, 0))};
}

Rect Win32Dialogs::GetRectInParent(WindowHandle window) {
  RECT rect;
  if (!user32::GetWindowRect(Window(window), &rect)) {
    return {};
  }
  // Both corners at once, so that a right-to-left parent gets its mirrored coordinates right.
  user32::MapWindowPoints(HWND_DESKTOP, user32::GetAncestor(Window(window), GA_PARENT),
                          reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

void Win32Dialogs::PlaceOnTop(WindowHandle window, int x, int y) {
  user32::SetWindowPos(Window(window), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

void Win32Dialogs::Repaint(WindowHandle window) {
  user32::UpdateWindow(Window(window));
}

void Win32Dialogs::SetCursor(Cursor cursor) {
  waitCursor = cursor == Cursor::Wait;
  user32::SetCursor(StandardCursor(waitCursor));
}

void Win32Dialogs::SetBusy(WindowHandle frame, bool busy) {
  busyFrame = busy ? Window(frame) : nullptr;
  lastPump = ::GetTickCount();
}

BrowseResult Win32Dialogs::BrowseForFolder(WindowHandle owner, const std::string& title,
                                           std::uint32_t flags, BrowseEvents& events) {
  // The new dialog style's edit box and drag and drop need OLE, not COM alone.
  InitialiseOle();
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = Window(owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = flags;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&events);
  BrowseResult result;
  auto* const browse =
      SystemEntry<decltype(::SHBrowseForFolderA)>("shell32.dll", "SHBrowseForFolderA");
  auto* const pathOf =
      SystemEntry<decltype(::SHGetPathFromIDListA)>("shell32.dll", "SHGetPathFromIDListA");
  auto* const release = SystemEntry<decltype(::CoTaskMemFree)>("ole32.dll", "CoTaskMemFree");
  if (browse == nullptr || pathOf == nullptr || release == nullptr) {
    return result;
  }
  PIDLIST_ABSOLUTE item = browse(&info);
  if (item == nullptr) {
    return result;
  }
  result.chosen = true;
  char path[MAX_PATH] = {};
  if (pathOf(item, path)) {
    result.path = path;
  }
  release(item);
  return result;
}

void Win32Dialogs::BrowseSelect(WindowHandle browser, const std::string& path) {
  user32::SendMessageA(Window(browser), BFFM_SETSELECTIONA, TRUE,
                       reinterpret_cast<LPARAM>(path.c_str()));
}

}  // namespace platform::win32
