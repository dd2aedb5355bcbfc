// The window manager's entries, loaded from the system folder at the first call that needs one.
// A silent removal makes no such call; in its two processes the library's start would otherwise
// be a large part of what they cost (under Wine, tens of milliseconds each, for a connection to
// the display). An installation loads it with the shell's libraries, which need it.
#pragma once

#include <windows.h>

#include <atomic>
#include <type_traits>

#include "platform/win32/win32_platform.h"

namespace platform::win32::user32 {

// Calls the entry, looked up once; a library or entry the system lacks answers with the type's
// zero (no window, no text, nothing done) instead of a jump to nowhere.
template <typename Function, typename... Args>
auto Call(std::atomic<Function*>& cache, const char* name, Args... args) {
  Function* entry = cache.load(std::memory_order_relaxed);
  if (entry == nullptr) {
    entry = SystemEntry<Function>("user32.dll", name);
    cache.store(entry, std::memory_order_relaxed);
  }
  using Result = decltype(entry(args...));
  if (entry == nullptr) {
    if constexpr (std::is_void_v<Result>) {
      return;
    } else {
      return Result{};
    }
  }
  return entry(args...);
}

// Windows' headers map the pointer-sized forms (SetWindowLongPtrA, ...) onto these names in a
// 32-bit build, so those calls come here as well.
#define PICTAVO_USER32_ENTRY(name)                            \
  inline std::atomic<decltype(::name)*> name##Entry{nullptr}; \
  template <typename... Args>                                 \
  auto name(Args... args) {                                   \
    return Call(name##Entry, #name, args...);                 \
  }

PICTAVO_USER32_ENTRY(CreateDialogParamA)
PICTAVO_USER32_ENTRY(DestroyWindow)
PICTAVO_USER32_ENTRY(DialogBoxParamA)
PICTAVO_USER32_ENTRY(DispatchMessageA)
PICTAVO_USER32_ENTRY(EnableWindow)
PICTAVO_USER32_ENTRY(EndDialog)
PICTAVO_USER32_ENTRY(EnumWindows)
PICTAVO_USER32_ENTRY(GetAncestor)
PICTAVO_USER32_ENTRY(GetDlgCtrlID)
PICTAVO_USER32_ENTRY(GetDlgItem)
PICTAVO_USER32_ENTRY(GetFocus)
PICTAVO_USER32_ENTRY(GetParent)
PICTAVO_USER32_ENTRY(GetWindow)
PICTAVO_USER32_ENTRY(GetWindowLongA)
PICTAVO_USER32_ENTRY(GetWindowRect)
PICTAVO_USER32_ENTRY(GetWindowTextA)
PICTAVO_USER32_ENTRY(GetWindowTextLengthA)
PICTAVO_USER32_ENTRY(GetWindowThreadProcessId)
PICTAVO_USER32_ENTRY(IsChild)
PICTAVO_USER32_ENTRY(IsWindow)
PICTAVO_USER32_ENTRY(IsWindowEnabled)
PICTAVO_USER32_ENTRY(IsWindowVisible)
PICTAVO_USER32_ENTRY(LoadCursorA)
PICTAVO_USER32_ENTRY(LoadStringA)
PICTAVO_USER32_ENTRY(LoadStringW)
PICTAVO_USER32_ENTRY(MapWindowPoints)
PICTAVO_USER32_ENTRY(MessageBoxA)
PICTAVO_USER32_ENTRY(PeekMessageA)
PICTAVO_USER32_ENTRY(PostMessageA)
PICTAVO_USER32_ENTRY(PostQuitMessage)
PICTAVO_USER32_ENTRY(SendMessageA)
PICTAVO_USER32_ENTRY(SetCursor)
PICTAVO_USER32_ENTRY(SetFocus)
PICTAVO_USER32_ENTRY(SetWindowLongA)
PICTAVO_USER32_ENTRY(SetWindowPos)
PICTAVO_USER32_ENTRY(SetWindowTextA)
PICTAVO_USER32_ENTRY(ShowWindow)
PICTAVO_USER32_ENTRY(SystemParametersInfoA)
PICTAVO_USER32_ENTRY(UpdateWindow)

#undef PICTAVO_USER32_ENTRY

}  // namespace platform::win32::user32
