// Which standard icon an icon static control of another process shows.
#pragma once

#include <windows.h>

#include <string_view>

namespace uiauto {

struct IconMatch {
  // "error", "question", "warning", "information", "application", "winlogo", "shield",
  // "none" (no icon set) or "unknown".
  std::string_view name;
  // "handle" (STM_GETICON returned a standard icon's handle), "pixels" (the control's pixels
  // equal a standard icon drawn the same way) or "" when nothing matched.
  std::string_view method;
};

IconMatch IdentifyIcon(HWND iconStatic);

}  // namespace uiauto
