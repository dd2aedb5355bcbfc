// Window commands: find top-level windows, describe them with their controls, and act on them
// as a user would (press a button, type a text, close).

#include <windows.h>
// commctrl.h and tlhelp32.h need the types of windows.h.
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "commands.h"
#include "icons.h"
#include "output.h"

namespace uiauto {
namespace {

// Windows of other processes may hang; a describe must not hang with them.
constexpr UINT kMessageTimeoutMs = 2000;
constexpr DWORD kPollIntervalMs = 50;

unsigned long long HandleValue(const void* handle) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle));
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256];
  const int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

// WM_GETTEXT rather than GetWindowText: for another process's control GetWindowText returns
// the text stored at creation, not what an edit control holds now.
std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                          &length)) {
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
      text.resize(copied);
      return text;
    }
  }
  wchar_t buffer[1024];
  const int stored = InternalGetWindowText(window, buffer, 1024);
  return std::wstring(buffer, stored > 0 ? static_cast<size_t>(stored) : 0);
}

std::wstring ProcessImage(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) {
    return {};
  }
  wchar_t buffer[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  std::wstring image;
  if (QueryFullProcessImageNameW(process, 0, buffer, &size)) {
    image.assign(buffer, size);
  }
  CloseHandle(process);
  return image;
}

bool ImageMatches(const std::wstring& image, const std::wstring& wanted) {
  if (EqualIgnoringCase(image, wanted)) {
    return true;
  }
  const size_t slash = image.find_last_of(L"\\/");
  return slash != std::wstring::npos &&
         EqualIgnoringCase(std::wstring_view(image).substr(slash + 1), wanted);
}

bool Matches(HWND window, const WindowFilter& filter) {
  if (filter.hwnd != nullptr && window != filter.hwnd) {
    return false;
  }
  if (!filter.includeHidden && !IsWindowVisible(window)) {
    return false;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (filter.pid && *filter.pid != pid) {
    return false;
  }
  if (filter.windowClass && !EqualIgnoringCase(ClassName(window), *filter.windowClass)) {
    return false;
  }
  if (filter.title && WindowText(window) != *filter.title) {
    return false;
  }
  return !filter.image || ImageMatches(ProcessImage(pid), *filter.image);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Every descendant, each before its own children (the order EnumChildWindows yields).
std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

std::vector<HWND> FindWindows(const WindowFilter& filter) {
  std::vector<HWND> found;
  if (filter.hwnd != nullptr) {
    if (IsWindow(filter.hwnd) && Matches(filter.hwnd, filter)) {
      found.push_back(filter.hwnd);
    }
    return found;
  }
  for (HWND window : TopLevelWindows()) {
    if (Matches(window, filter)) {
      found.push_back(window);
    }
  }
  return found;
}

HWND WaitForWindow(const WindowFilter& filter, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::vector<HWND> found = FindWindows(filter);
    if (!found.empty()) {
      return found.front();
    }
    if (GetTickCount() - start >= timeoutMs) {
      return nullptr;
    }
    Sleep(kPollIntervalMs);
  }
}

HWND FindTarget(const Options& options) {
  HWND window = WaitForWindow(options.filter, options.timeoutMs);
  if (window == nullptr) {
    ReportError("no window matches");
  }
  return window;
}

Record WindowRecord(HWND window) {
  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(window, &pid);
  Record record("window");
  record.Hex("hwnd", HandleValue(window))
      .Number("pid", pid)
      .Number("tid", tid)
      .Text("class", ClassName(window))
      .Text("title", WindowText(window))
      .Number("visible", IsWindowVisible(window) ? 1 : 0)
      .Number("enabled", IsWindowEnabled(window) ? 1 : 0)
      .Hex("owner", HandleValue(GetWindow(window, GW_OWNER)))
      .Hex("style", static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)))
      .Hex("exstyle", static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)))
      .Text("image", ProcessImage(pid));
  RECT rect{};
  GetWindowRect(window, &rect);
  record.Number("x", rect.left)
      .Number("y", rect.top)
      .Number("cx", rect.right - rect.left)
      .Number("cy", rect.bottom - rect.top);
  return record;
}

bool IsCheckable(HWND control) {
  if (!EqualIgnoringCase(ClassName(control), L"Button")) {
    return false;
  }
  switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return true;
    default:
      return false;
  }
}

Record ControlRecord(HWND top, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&rect), 2);
  Record record("control");
  record.Hex("hwnd", HandleValue(control))
      .Hex("parent", HandleValue(GetParent(control)))
      .Number("id", GetDlgCtrlID(control))
      .Text("class", ClassName(control))
      .Text("text", WindowText(control))
      .Hex("style", static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)))
      .Hex("exstyle", static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE)))
      .Number("visible", IsWindowVisible(control) ? 1 : 0)
      .Number("enabled", IsWindowEnabled(control) ? 1 : 0)
      .Number("x", rect.left)
      .Number("y", rect.top)
      .Number("cx", rect.right - rect.left)
      .Number("cy", rect.bottom - rect.top);
  if (EqualIgnoringCase(ClassName(control), L"Edit")) {
    // Both answers are plain numbers, so they cross the process boundary as they are.
    DWORD_PTR selection = 0;
    DWORD_PTR firstLine = 0;
    SendMessageTimeoutW(control, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &selection);
    SendMessageTimeoutW(control, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &firstLine);
    record.Number("sel_start", LOWORD(selection))
        .Number("sel_end", HIWORD(selection))
        .Number("first_line", static_cast<long long>(firstLine));
  }
  if (EqualIgnoringCase(ClassName(control), PROGRESS_CLASSW)) {
    DWORD_PTR position = 0;
    DWORD_PTR maximum = 0;
    SendMessageTimeoutW(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &position);
    SendMessageTimeoutW(control, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &maximum);
    record.Number("pos", static_cast<long long>(static_cast<int>(position)))
        .Number("max", static_cast<long long>(static_cast<int>(maximum)));
  }
  if (IsCheckable(control)) {
    DWORD_PTR check = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &check);
    record.Number("check", static_cast<long long>(check));
  }
  return record;
}

// The window with the keyboard focus in the thread that owns this window.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
    return nullptr;
  }
  return info.hwndFocus;
}

// Which button Enter presses, decided as IsDialogMessage decides it: the focused control if it
// is a default push button, else the dialog's DM_GETDEFID answer. The inputs are printed too:
// under Wine a message box answers DM_GETDEFID with IDOK (1) although it has no such button,
// and only the focus and the BS_DEFPUSHBUTTON style tell the truth.
Record DefaultButtonRecord(HWND dialog, const std::vector<HWND>& controls) {
  Record record("default");
  std::optional<int> fromDialog;
  DWORD_PTR result = 0;
  // DM_GETDEFID is WM_USER: only a dialog may be asked, any other class could take it for a
  // message of its own.
  if (SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                          &result) &&
      HIWORD(result) == DC_HASDEFID) {
    fromDialog = LOWORD(result);
  }
  std::optional<int> defPushButton;
  for (HWND control : controls) {
    if (IsWindowVisible(control) && EqualIgnoringCase(ClassName(control), L"Button") &&
        (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      defPushButton = GetDlgCtrlID(control);
      break;
    }
  }
  HWND focus = FocusOf(dialog);
  std::optional<int> focusId;
  std::optional<int> enter = fromDialog;
  if (focus != nullptr && IsChild(dialog, focus)) {
    focusId = GetDlgCtrlID(focus);
    DWORD_PTR code = 0;
    if (SendMessageTimeoutW(focus, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                            &code) &&
        (code & DLGC_DEFPUSHBUTTON)) {
      enter = focusId;
    }
  }
  const auto add = [&record](std::string_view key, std::optional<int> value) {
    if (value) {
      record.Number(key, *value);
    } else {
      record.Text(key, std::string_view());
    }
  };
  add("id", enter);
  add("dm_getdefid", fromDialog);
  add("defpushbutton", defPushButton);
  add("focus", focusId);
  return record;
}

// "&Yes" is pressed as "Yes" too: the access-key marker is not part of what a user reads.
std::wstring WithoutAccessKeys(std::wstring_view text) {
  std::wstring plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) {
      ++i;
    }
    plain += text[i];
  }
  return plain;
}

bool ControlMatches(HWND control, const Options& options) {
  if (options.controlId && GetDlgCtrlID(control) != *options.controlId) {
    return false;
  }
  if (options.controlText) {
    const std::wstring text = WindowText(control);
    return text == *options.controlText ||
           WithoutAccessKeys(text) == WithoutAccessKeys(*options.controlText);
  }
  return true;
}

// A visible match first: wizard pages reuse ids, and the hidden pages keep their controls.
HWND FindControl(HWND top, const Options& options) {
  HWND firstMatch = nullptr;
  for (HWND control : Descendants(top)) {
    if (ControlMatches(control, options)) {
      if (IsWindowVisible(control)) {
        return control;
      }
      if (firstMatch == nullptr) {
        firstMatch = control;
      }
    }
  }
  return firstMatch;
}

HWND FindTargetControl(const Options& options, HWND* top) {
  if (!options.controlId && !options.controlText) {
    ReportError("--id or --text is required");
    return nullptr;
  }
  *top = FindTarget(options);
  if (*top == nullptr) {
    return nullptr;
  }
  HWND control = FindControl(*top, options);
  if (control == nullptr) {
    ReportError("no control matches");
  }
  return control;
}

// Until the check box or radio button shows `wanted`; BM_GETCHECK answers BST_CHECKED (1).
bool WaitForCheck(HWND control, bool wanted, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD_PTR check = 0;
    if (SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                            &check) &&
        (check == BST_CHECKED) == wanted) {
      return true;
    }
    if (GetTickCount() - start >= timeoutMs) {
      return false;
    }
    Sleep(kPollIntervalMs);
  }
}

// A tree view of another process answers TVM_GETITEMW only with an item structure and a text
// buffer in its own address space: both live in a page allocated there. The target must be a
// 32-bit process like this one, as TVITEMW holds pointers.
class RemoteTree {
 public:
  explicit RemoteTree(HWND tree) : tree_(tree) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr) {
      page_ =
          VirtualAllocEx(process_, nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteTree() {
    if (page_ != nullptr) {
      VirtualFreeEx(process_, page_, 0, MEM_RELEASE);
    }
    if (process_ != nullptr) {
      CloseHandle(process_);
    }
  }
  RemoteTree(const RemoteTree&) = delete;
  RemoteTree& operator=(const RemoteTree&) = delete;

  bool usable() const { return page_ != nullptr; }

  HTREEITEM Next(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(
        Send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }

  std::wstring Text(HTREEITEM item) const {
    constexpr size_t kTextChars = (kPageSize - sizeof(TVITEMW)) / sizeof(wchar_t);
    auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(page_) + sizeof(TVITEMW));
    TVITEMW request{};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = remoteText;
    request.cchTextMax = static_cast<int>(kTextChars);
    wchar_t text[kTextChars] = {};
    if (!WriteProcessMemory(process_, page_, &request, sizeof request, nullptr) ||
        !Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(page_))) {
      return {};
    }
    // The tree may answer with a pointer to its own copy of the text instead of filling ours.
    TVITEMW answer{};
    if (!ReadProcessMemory(process_, page_, &answer, sizeof answer, nullptr) ||
        !ReadProcessMemory(process_, answer.pszText, text, sizeof text - sizeof(wchar_t),
                           nullptr)) {
      return {};
    }
    return text;
  }

  // Children appear once the item is expanded: the browser fills them on TVN_ITEMEXPANDING.
  std::vector<HTREEITEM> Children(HTREEITEM item) const {
    Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = Next(item, TVGN_CHILD); child != nullptr;
         child = Next(child, TVGN_NEXT)) {
      children.push_back(child);
    }
    return children;
  }

  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(tree_, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &result);
    return static_cast<LRESULT>(result);
  }

 private:
  static constexpr size_t kPageSize = 4096;
  HWND tree_;
  HANDLE process_ = nullptr;
  void* page_ = nullptr;
};

std::vector<std::wstring> PathParts(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'\\' || c == L'/') {
      if (!part.empty()) {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) {
    parts.push_back(part);
  }
  return parts;
}

// A drive shows in the shell's namespace as "C:", "C:\\" or with its label, "System (C:)".
bool IsDriveItem(const std::wstring& text, const std::wstring& drive) {
  return EqualIgnoringCase(text, drive) || EqualIgnoringCase(text, drive + L"\\") ||
         (text.size() > drive.size() + 2 &&
          EqualIgnoringCase(std::wstring_view(text).substr(text.size() - drive.size() - 2),
                            L"(" + drive + L")"));
}

// The drive's item: a child of the root (the desktop) or of one of its children (the
// computer), searched in that order.
HTREEITEM FindDriveItem(const RemoteTree& tree, HTREEITEM root, const std::wstring& drive) {
  const std::vector<HTREEITEM> top = tree.Children(root);
  for (HTREEITEM item : top) {
    if (IsDriveItem(tree.Text(item), drive)) {
      return item;
    }
  }
  for (HTREEITEM parent : top) {
    for (HTREEITEM item : tree.Children(parent)) {
      if (IsDriveItem(tree.Text(item), drive)) {
        return item;
      }
    }
    // What was opened only to look inside is closed again, as a user would leave it.
    tree.Send(TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(parent));
  }
  return nullptr;
}

HWND FindChildOfClass(HWND top, std::wstring_view windowClass) {
  for (HWND control : Descendants(top)) {
    if (IsWindowVisible(control) && EqualIgnoringCase(ClassName(control), windowClass)) {
      return control;
    }
  }
  return nullptr;
}

bool WaitUntilDestroyed(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeoutMs) {
      return false;
    }
    Sleep(kPollIntervalMs);
  }
  return true;
}

}  // namespace

int ListWindows(const Options& options) {
  for (HWND window : FindWindows(options.filter)) {
    WindowRecord(window).Print();
  }
  return kExitOk;
}

int WaitWindow(const Options& options) {
  if (options.gone) {
    const DWORD start = GetTickCount();
    while (!FindWindows(options.filter).empty()) {
      if (GetTickCount() - start >= options.timeoutMs) {
        ReportError("a matching window is still there");
        return kExitTimeout;
      }
      Sleep(kPollIntervalMs);
    }
    return kExitOk;
  }
  HWND window = FindTarget(options);
  if (window == nullptr) {
    return kExitTimeout;
  }
  WindowRecord(window).Print();
  return kExitOk;
}

int DescribeWindow(const Options& options) {
  HWND window = FindTarget(options);
  if (window == nullptr) {
    return kExitTimeout;
  }
  WindowRecord(window).Print();
  const std::vector<HWND> controls = Descendants(window);
  for (HWND control : controls) {
    ControlRecord(window, control).Print();
  }
  if (EqualIgnoringCase(ClassName(window), L"#32770")) {
    DefaultButtonRecord(window, controls).Print();
  }
  for (HWND control : controls) {
    const bool isStatic = EqualIgnoringCase(ClassName(control), L"Static");
    if (!isStatic) {
      continue;
    }
    // A message box's text is the static control with id 0xFFFF, in Windows and in Wine.
    if (GetDlgCtrlID(control) == 0xFFFF) {
      Record("message").Text("text", WindowText(control)).Print();
    }
    if ((GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      const IconMatch match = IdentifyIcon(control);
      Record("icon")
          .Number("id", GetDlgCtrlID(control))
          .Hex("hwnd", HandleValue(control))
          .Text("name", match.name)
          .Text("method", match.method)
          .Number("visible", IsWindowVisible(control) ? 1 : 0)
          .Print();
    }
  }
  return kExitOk;
}

int PressButton(const Options& options) {
  HWND top = nullptr;
  HWND control = FindTargetControl(options, &top);
  if (control == nullptr) {
    return top == nullptr ? kExitTimeout : kExitFailed;
  }
  // A user cannot press what is hidden or disabled; a test that tries wants to know.
  if (!options.force && (!IsWindowVisible(control) || !IsWindowEnabled(control))) {
    ReportError("the control is hidden or disabled");
    return kExitFailed;
  }
  // Posted, not sent: the press may open a modal box in the target, and a sent message would
  // wait for that box to close.
  BOOL posted = FALSE;
  if (options.method == L"click") {
    posted = PostMessageW(control, BM_CLICK, 0, 0);
  } else if (options.method == L"command") {
    posted =
        PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
  } else {
    ReportError("--method is click or command");
    return kExitFailed;
  }
  if (!posted) {
    ReportError("posting the press failed", GetLastError());
    return kExitFailed;
  }
  Record("pressed").Hex("hwnd", HandleValue(control)).Number("id", GetDlgCtrlID(control)).Print();
  if (options.waitCloseMs > 0 && !WaitUntilDestroyed(top, options.waitCloseMs)) {
    ReportError("the window is still open");
    return kExitTimeout;
  }
  return kExitOk;
}

int PressKey(const Options& options) {
  UINT key = 0;
  if (options.key == L"enter") {
    key = VK_RETURN;
  } else if (options.key == L"escape") {
    key = VK_ESCAPE;
  } else if (options.key == L"space") {
    key = VK_SPACE;
  } else if (options.key == L"tab") {
    key = VK_TAB;
  } else {
    ReportError("--key is enter, escape, space or tab");
    return kExitFailed;
  }
  HWND window = FindTarget(options);
  if (window == nullptr) {
    return kExitTimeout;
  }
  // Keys go to the focused control, through the target's message loop, so that its
  // IsDialogMessage sees them as it sees a typed key.
  HWND focus = FocusOf(window);
  HWND target = focus != nullptr ? focus : window;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  if (!PostMessageW(target, WM_KEYDOWN, key, scan | 1) ||
      !PostMessageW(target, WM_KEYUP, key, scan | 1 | (LPARAM{3} << 30))) {
    ReportError("posting the key failed", GetLastError());
    return kExitFailed;
  }
  Record("key").Hex("hwnd", HandleValue(target)).Number("id", GetDlgCtrlID(target)).Print();
  if (options.waitCloseMs > 0 && !WaitUntilDestroyed(window, options.waitCloseMs)) {
    ReportError("the window is still open");
    return kExitTimeout;
  }
  return kExitOk;
}

int SetControlText(const Options& options) {
  if (!options.newText) {
    ReportError("--set is required");
    return kExitFailed;
  }
  HWND top = nullptr;
  HWND control = FindTargetControl(options, &top);
  if (control == nullptr) {
    return top == nullptr ? kExitTimeout : kExitFailed;
  }
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control, WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(options.newText->c_str()), SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &result) ||
      result == FALSE) {
    ReportError("WM_SETTEXT failed", GetLastError());
    return kExitFailed;
  }
  return kExitOk;
}

int CheckButton(const Options& options) {
  HWND top = nullptr;
  HWND control = FindTargetControl(options, &top);
  if (control == nullptr) {
    return top == nullptr ? kExitTimeout : kExitFailed;
  }
  if (!IsCheckable(control)) {
    ReportError("the control is not a check box or radio button");
    return kExitFailed;
  }
  if (!IsWindowVisible(control) || !IsWindowEnabled(control)) {
    ReportError("the control is hidden or disabled");
    return kExitFailed;
  }
  const bool wanted = !options.uncheck;
  DWORD_PTR check = 0;
  SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &check);
  // Clicked only when the state must change: a click on a ticked automatic check box would
  // clear it. BM_CLICK is a click as the mouse makes it, BN_CLICKED to the dialog included.
  if ((check == BST_CHECKED) != wanted && !PostMessageW(control, BM_CLICK, 0, 0)) {
    ReportError("posting the click failed", GetLastError());
    return kExitFailed;
  }
  if (!WaitForCheck(control, wanted, std::max<DWORD>(options.timeoutMs, 2000))) {
    ReportError("the control did not take the new state");
    return kExitFailed;
  }
  Record("checked")
      .Hex("hwnd", HandleValue(control))
      .Number("id", GetDlgCtrlID(control))
      .Number("check", wanted ? 1 : 0)
      .Print();
  return kExitOk;
}

int SelectFolder(const Options& options) {
  if (!options.path) {
    ReportError("--path is required");
    return kExitFailed;
  }
  const std::vector<std::wstring> parts = PathParts(*options.path);
  if (parts.empty() || parts[0].size() != 2 || parts[0][1] != L':') {
    ReportError("--path must be a full path with a drive letter");
    return kExitFailed;
  }
  HWND top = FindTarget(options);
  if (top == nullptr) {
    return kExitTimeout;
  }
  HWND treeWindow = FindChildOfClass(top, WC_TREEVIEWW);
  if (treeWindow == nullptr) {
    ReportError("the window has no tree of folders");
    return kExitFailed;
  }
  RemoteTree tree(treeWindow);
  if (!tree.usable()) {
    ReportError("cannot reach the memory of the tree's process", GetLastError());
    return kExitFailed;
  }
  HTREEITEM item = FindDriveItem(tree, tree.Next(nullptr, TVGN_ROOT), parts[0]);
  if (item == nullptr) {
    ReportError("the drive " + ToUtf8(parts[0]) + " is not in the tree");
    return kExitFailed;
  }
  std::wstring shown = tree.Text(item);
  for (size_t i = 1; i < parts.size(); ++i) {
    HTREEITEM found = nullptr;
    std::wstring seen;
    for (HTREEITEM child : tree.Children(item)) {
      const std::wstring text = tree.Text(child);
      if (EqualIgnoringCase(text, parts[i])) {
        found = child;
        break;
      }
      seen += (seen.empty() ? L"" : L", ") + text;
    }
    if (found == nullptr) {
      ReportError("no folder " + ToUtf8(parts[i]) + " under " + ToUtf8(shown) + " (it has " +
                  ToUtf8(seen) + ")");
      return kExitFailed;
    }
    item = found;
    shown += L"\\" + tree.Text(item);
  }
  // The click on the item: TVN_SELCHANGED tells the browser, whose OK then returns it.
  tree.Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  tree.Send(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  if (tree.Next(nullptr, TVGN_CARET) != item) {
    ReportError("the tree did not select the folder");
    return kExitFailed;
  }
  // Typed as well: Windows takes the edit box's name when OK is pressed, Wine the tree's
  // selection; with both the same, the browser returns this folder on either.
  HWND edit = FindChildOfClass(top, L"Edit");
  if (edit != nullptr) {
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(options.path->c_str()),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, nullptr);
  }
  Record("selected")
      .Hex("hwnd", HandleValue(treeWindow))
      .Text("item", shown)
      .Number("typed", edit != nullptr ? 1 : 0)
      .Print();
  return kExitOk;
}

int RequestClose(const Options& options) {
  HWND window = FindTarget(options);
  if (window == nullptr) {
    return kExitTimeout;
  }
  if (!PostMessageW(window, WM_CLOSE, 0, 0)) {
    ReportError("posting WM_CLOSE failed", GetLastError());
    return kExitFailed;
  }
  if (options.waitCloseMs > 0 && !WaitUntilDestroyed(window, options.waitCloseMs)) {
    ReportError("the window is still open");
    return kExitTimeout;
  }
  return kExitOk;
}

int ListProcesses(const Options& options) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    ReportError("CreateToolhelp32Snapshot failed", GetLastError());
    return kExitFailed;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (options.filter.pid && *options.filter.pid != entry.th32ProcessID) {
      continue;
    }
    const std::wstring image = ProcessImage(entry.th32ProcessID);
    if (options.filter.image && !ImageMatches(image, *options.filter.image) &&
        !EqualIgnoringCase(entry.szExeFile, *options.filter.image)) {
      continue;
    }
    Record("process")
        .Number("pid", entry.th32ProcessID)
        .Number("ppid", entry.th32ParentProcessID)
        .Text("exe", entry.szExeFile)
        .Text("image", image)
        .Print();
  }
  CloseHandle(snapshot);
  return kExitOk;
}

int WaitProcessExit(const Options& options) {
  if (!options.filter.pid) {
    ReportError("--pid is required");
    return kExitFailed;
  }
  HANDLE process =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, *options.filter.pid);
  if (process == nullptr) {
    ReportError("cannot open the process", GetLastError());
    return kExitFailed;
  }
  int result = kExitOk;
  if (WaitForSingleObject(process, options.timeoutMs) != WAIT_OBJECT_0) {
    ReportError("the process is still running");
    result = kExitTimeout;
  } else {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    Record("exit")
        .Number("pid", *options.filter.pid)
        .Number("code", code)
        .Hex("code_hex", code)
        .Print();
  }
  CloseHandle(process);
  return result;
}

}  // namespace uiauto
