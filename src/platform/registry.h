// The registry, handle based, with the Win32 results of each call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/errors.h"

namespace platform {

// An open key, or one of the predefined roots.
using RegistryKey = std::uintptr_t;
inline constexpr RegistryKey kHkeyClassesRoot = 0x80000000;
inline constexpr RegistryKey kHkeyCurrentUser = 0x80000001;
inline constexpr RegistryKey kHkeyLocalMachine = 0x80000002;
inline constexpr RegistryKey kHkeyUsers = 0x80000003;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

struct RegistryValue {
  std::uint32_t type = kRegNone;
  std::string data;  // the bytes as stored; a REG_SZ carries its terminating zero
};

// An empty value name stands for the key's default value. Keys opened here are in the view of
// a 32-bit program, as the program itself sees the registry.
class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA.
  virtual long OpenKey(RegistryKey key, const std::string& subKey, std::uint32_t access,
                       RegistryKey& opened) = 0;
  // RegCreateKeyA: opens the key, creating it and every missing key on its path.
  virtual long CreateKey(RegistryKey key, const std::string& subKey, RegistryKey& opened) = 0;
  // RegQueryValueExA into a buffer of `capacity` bytes: kErrorMoreData when the data do not
  // fit, and then `value` holds nothing.
  virtual long QueryValue(RegistryKey key, const std::string& name, std::size_t capacity,
                          RegistryValue& value) = 0;
  // RegSetValueExA: stores `data` as given (a REG_SZ caller includes the terminating zero).
  virtual long SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                        const std::string& data) = 0;
  // RegEnumKeyA: the name of sub-key number `index`; kErrorNoMoreItems past the last.
  virtual long EnumKey(RegistryKey key, std::uint32_t index, std::string& name) = 0;
  // RegDeleteKeyA: deletes a key without sub-keys; a key with sub-keys stays and the call fails.
  virtual long DeleteKey(RegistryKey key, const std::string& subKey) = 0;
  // RegDeleteValueA.
  virtual long DeleteValue(RegistryKey key, const std::string& name) = 0;
  // RegCloseKey.
  virtual long CloseKey(RegistryKey key) = 0;
};

}  // namespace platform
