#include <shlobj.h>
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

void Win32Shell::ChangeNotify(std::int32_t event, std::uint32_t flags) {
  ::SHChangeNotify(static_cast<LONG>(event), static_cast<UINT>(flags), nullptr, nullptr);
}

}  // namespace platform::win32
