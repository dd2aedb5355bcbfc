// The registry as the program uses it: keys that close themselves, text values read with one
// buffer rule, values written whole, the keys of every loaded user, and trees taken away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/registry.h"

// Every text value is read into a buffer of this many bytes, as a path is: a value that does
// not fit is no value at all, never one cut short.
inline constexpr std::size_t kRegistryTextCapacity = 260;

// A key opened or created here, closed when the object goes.
class OpenedKey {
 public:
  // RegOpenKeyExA with `access`.
  static OpenedKey Open(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& path, std::uint32_t access);
  // RegCreateKeyA: the key, created with every missing key on its path.
  static OpenedKey Create(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& path);

  OpenedKey(OpenedKey&& other) noexcept : registry_(other.registry_), key_(other.key_) {
    other.key_ = 0;
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  OpenedKey& operator=(OpenedKey&&) = delete;
  ~OpenedKey();

  explicit operator bool() const { return key_ != 0; }
  platform::RegistryKey Key() const { return key_; }

 private:
  OpenedKey(platform::Registry& registry, platform::RegistryKey key)
      : registry_(registry), key_(key) {}

  platform::Registry& registry_;
  platform::RegistryKey key_;
};

// A text value of an open key, up to its first zero byte, whatever its type; none when the
// value is missing or does not fit kRegistryTextCapacity.
std::optional<std::string> ReadRegistryText(platform::Registry& registry, platform::RegistryKey key,
                                            const std::string& valueName);

// The same from a key opened for reading; empty when the key or the value is missing, or the
// value does not fit.
std::string ReadRegistryString(platform::Registry& registry, platform::RegistryKey root,
                               const std::string& keyPath, const std::string& valueName);

// Sets a REG_SZ value, its terminating zero included, creating the key and every missing key on
// its path; an empty name is the key's default value. True when the value was set.
bool WriteRegistryString(platform::Registry& registry, platform::RegistryKey root,
                         const std::string& keyPath, const std::string& valueName,
                         const std::string& text);

// Sets a REG_DWORD value, its four bytes least significant first, creating the key as
// WriteRegistryString does. True when the value was set.
bool WriteRegistryDword(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& keyPath, const std::string& valueName,
                        std::uint32_t number);

// Calls `visit(key)` with the key of every user whose profile is loaded (the sub-keys of
// HKEY_USERS) that opens with `access`; one that does not is passed over.
template <typename Visit>
void ForEachLoadedUser(platform::Registry& registry, std::uint32_t access, Visit visit) {
  std::string sid;
  for (std::uint32_t index = 0;
       registry.EnumKey(platform::kHkeyUsers, index, sid) == platform::kErrorSuccess; ++index) {
    if (const OpenedKey user = OpenedKey::Open(registry, platform::kHkeyUsers, sid, access)) {
      visit(user.Key());
    }
  }
}

// Deletes the key and everything below it, deepest first. A sub-key that cannot be deleted is
// passed over, and the keys above it stay. True when the key itself was deleted.
bool DeleteRegistryTree(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& subKey);

// Deletes the key when it has no sub-keys; values alone do not keep it.
void DeleteKeyIfNoSubkeys(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& subKey);
