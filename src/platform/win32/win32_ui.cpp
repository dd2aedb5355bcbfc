#include <windows.h>
// The platform door names its operations after the calls; keep the header's A/W macros off them.
#undef LoadString
#undef MessageBox

#include "platform/win32/user32.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

UINT StyleFlags(BoxStyle style) {
  UINT flags = 0;
  switch (style.buttons) {
    case Buttons::Ok:
      flags |= MB_OK;
      break;
    case Buttons::OkCancel:
      flags |= MB_OKCANCEL;
      break;
    case Buttons::YesNo:
      flags |= MB_YESNO;
      break;
    case Buttons::YesNoCancel:
      flags |= MB_YESNOCANCEL;
      break;
  }
  switch (style.icon) {
    case Icon::None:
      break;
    case Icon::Warning:
      flags |= MB_ICONWARNING;
      break;
    case Icon::Question:
      flags |= MB_ICONQUESTION;
      break;
    case Icon::Error:
      flags |= MB_ICONERROR;
      break;
    case Icon::Information:
      flags |= MB_ICONINFORMATION;
      break;
  }
  switch (style.defaultButton) {
    case DefaultButton::First:
      flags |= MB_DEFBUTTON1;
      break;
    case DefaultButton::Second:
      flags |= MB_DEFBUTTON2;
      break;
    case DefaultButton::Third:
      flags |= MB_DEFBUTTON3;
      break;
  }
  return flags;
}

BoxResult ResultOf(int pressed) {
  switch (pressed) {
    case IDOK:
      return BoxResult::Ok;
    case IDYES:
      return BoxResult::Yes;
    case IDNO:
      return BoxResult::No;
    case IDCANCEL:
      return BoxResult::Cancel;
    default:
      return BoxResult::Failed;
  }
}

}  // namespace

std::string Win32UserInterface::LoadString(unsigned id) {
  // With a zero capacity LoadStringW hands out the resource text in place, whatever its
  // length; it is converted as LoadStringA would convert it, through the ANSI code page.
  const wchar_t* resource = nullptr;
  int length =
      user32::LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || resource == nullptr) {
    return {};
  }
  int size = WideCharToMultiByte(CP_ACP, 0, resource, length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, resource, length, text.data(), size, nullptr, nullptr);
  return text;
}

std::string Win32UserInterface::LoadString(unsigned id, std::size_t capacity) {
  std::string buffer(capacity, '\0');
  int length =
      user32::LoadStringA(GetModuleHandleW(nullptr), id, buffer.data(), static_cast<int>(capacity));
  buffer.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return buffer;
}

BoxResult Win32UserInterface::MessageBox(WindowHandle owner, const std::string& text,
                                         const std::string& caption, BoxStyle style) {
  return ResultOf(user32::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(),
                                      StyleFlags(style)));
}

}  // namespace platform::win32
