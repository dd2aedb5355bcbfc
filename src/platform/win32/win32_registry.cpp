#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

// The door's root constants carry the 32-bit values of the predefined keys; naming the
// header's own constants keeps them right whatever the width of a handle.
HKEY ToHkey(RegistryKey key) {
  switch (key) {
    case kHkeyClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kHkeyCurrentUser:
      return HKEY_CURRENT_USER;
    case kHkeyLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case kHkeyUsers:
      return HKEY_USERS;
    default:
      return reinterpret_cast<HKEY>(key);
  }
}

RegistryKey FromHkey(HKEY key) {
  return reinterpret_cast<RegistryKey>(key);
}

}  // namespace

long Win32Registry::OpenKey(RegistryKey key, const std::string& subKey, std::uint32_t access,
                            RegistryKey& opened) {
  HKEY result = nullptr;
  LONG status = ::RegOpenKeyExA(ToHkey(key), subKey.c_str(), 0, access, &result);
  opened = status == ERROR_SUCCESS ? FromHkey(result) : 0;
  return status;
}

long Win32Registry::CreateKey(RegistryKey key, const std::string& subKey, RegistryKey& opened) {
  HKEY result = nullptr;
  LONG status = ::RegCreateKeyA(ToHkey(key), subKey.c_str(), &result);
  opened = status == ERROR_SUCCESS ? FromHkey(result) : 0;
  return status;
}

long Win32Registry::QueryValue(RegistryKey key, const std::string& name, std::size_t capacity,
                               RegistryValue& value) {
  value = RegistryValue{};
  // Always hand over a real buffer: with none, the call would report the needed size and
  // succeed instead of answering ERROR_MORE_DATA.
  std::string buffer(capacity != 0 ? capacity : 1, '\0');
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(capacity);
  LONG status = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (status == ERROR_SUCCESS) {
    buffer.resize(size);
    value.type = type;
    value.data = std::move(buffer);
  }
  return status;
}

long Win32Registry::SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                             const std::string& data) {
  return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

long Win32Registry::EnumKey(RegistryKey key, std::uint32_t index, std::string& name) {
  // Key names are at most 255 characters.
  char buffer[256];
  LONG status = ::RegEnumKeyA(ToHkey(key), index, buffer, sizeof buffer);
  if (status == ERROR_SUCCESS) {
    name = buffer;
  } else {
    name.clear();
  }
  return status;
}

long Win32Registry::DeleteKey(RegistryKey key, const std::string& subKey) {
  return ::RegDeleteKeyA(ToHkey(key), subKey.c_str());
}

long Win32Registry::DeleteValue(RegistryKey key, const std::string& name) {
  return ::RegDeleteValueA(ToHkey(key), name.c_str());
}

long Win32Registry::CloseKey(RegistryKey key) {
  return ::RegCloseKey(ToHkey(key));
}

}  // namespace platform::win32
