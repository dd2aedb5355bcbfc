// The simulated machine's registry: the HKLM and HKU hives, HKCR as a view of
// HKLM\SOFTWARE\Classes and HKCU as the current user's key under HKU, with open handles that
// answer with the Win32 results.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/faults.h"

namespace sim {

class Registry final : public platform::Registry {
 public:
  inline static const std::string kDefaultUserSid = "S-1-5-21-1000-1000-1000-1001";

  // Called for each user AddUser adds (the default user included), to lay down their profile.
  using UserAdded = std::function<void(Registry&, const std::string& sid)>;

  // HKLM\SOFTWARE\Classes and the default user, who is the current user.
  explicit Registry(UserAdded userAdded = {});
  ~Registry() override;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // platform::Registry, as the program sees it.
  long OpenKey(platform::RegistryKey key, const std::string& subKey, std::uint32_t access,
               platform::RegistryKey& opened) override;
  long CreateKey(platform::RegistryKey key, const std::string& subKey,
                 platform::RegistryKey& opened) override;
  long QueryValue(platform::RegistryKey key, const std::string& name, std::size_t capacity,
                  platform::RegistryValue& value) override;
  long SetValue(platform::RegistryKey key, const std::string& name, std::uint32_t type,
                const std::string& data) override;
  long EnumKey(platform::RegistryKey key, std::uint32_t index, std::string& name) override;
  long DeleteKey(platform::RegistryKey key, const std::string& subKey) override;
  long DeleteValue(platform::RegistryKey key, const std::string& name) override;
  long CloseKey(platform::RegistryKey key) override;

  // The test's side. `root` is one of the predefined keys (kHkeyLocalMachine, ...); paths are
  // key names joined by "\". Writes create the missing keys and meet no injected fault.
  void SetString(platform::RegistryKey root, const std::string& path, const std::string& name,
                 const std::string& text);  // REG_SZ with its terminating zero
  void SetValue(platform::RegistryKey root, const std::string& path, const std::string& name,
                std::uint32_t type, std::string data);
  void CreateKey(platform::RegistryKey root, const std::string& path);
  // The text up to the first zero of a REG_SZ or REG_EXPAND_SZ value; none for a missing key
  // or value, or one of another type.
  std::optional<std::string> GetString(platform::RegistryKey root, const std::string& path,
                                       const std::string& name) const;
  // A REG_DWORD's number; none for a missing key or value, or one of another type or size.
  std::optional<std::uint32_t> GetDword(platform::RegistryKey root, const std::string& path,
                                        const std::string& name) const;
  std::optional<platform::RegistryValue> GetValue(platform::RegistryKey root,
                                                  const std::string& path,
                                                  const std::string& name) const;
  bool KeyExists(platform::RegistryKey root, const std::string& path) const;
  // Removes the key with everything below it; nothing when it is missing.
  void DeleteTree(platform::RegistryKey root, const std::string& path);

  // A user with a key of their own under HKU; does nothing for a user already known.
  void AddUser(const std::string& sid);
  // HKCU is this user's key from now on.
  void SetCurrentUser(const std::string& sid);
  const std::string& CurrentUserSid() const { return currentUserSid_; }
  std::vector<std::string> UserSids() const;

  // The machine's fault injector; none: no faults. Asked at each RegCreateKeyA, RegSetValueExA,
  // RegDeleteKeyA and RegDeleteValueA, which change the machine, and each RegOpenKeyExA, which
  // does not; the object is the hive the key lies in (kLocalMachine, or HKEY_USERS for HKCU's
  // keys). An injected kErrorAccessDenied is a want of rights: it refuses writing only, where
  // Windows checks the rights, so a key still opens for reading and RegCreateKeyA opens an
  // existing one read-only. Any other injected error fails the call at once.
  void SetFaults(FaultInjector* faults) { faults_ = faults; }

  // Every key and value, one line each, as "HKLM\SOFTWARE\Key" and
  // "HKLM\SOFTWARE\Key : Name = REG_SZ "text"" (the default value's name shows as "@"),
  // HKLM first, then HKU; keys in the order EnumKey gives them.
  std::vector<std::string> Dump() const;

  // How many handles the program has opened and not closed: a leak shows in a scenario test.
  std::size_t OpenHandles() const { return handles_.size(); }

  struct Key;

 private:
  struct Target {
    std::shared_ptr<Key> key;
    bool localMachine = false;
    std::uint32_t access = 0;
  };

  long Lookup(platform::RegistryKey key, Target& target) const;
  std::optional<Target> Root(platform::RegistryKey root) const;
  Target RootOrThrow(platform::RegistryKey root) const;
  platform::RegistryKey NewHandle(Target target);
  // What an injected fault does to this call on the target's key; none: nothing.
  std::optional<long> Injected(std::string_view call, const Target& target, bool changes = true);
  static bool Denied(const std::optional<long>& injected);

  std::shared_ptr<Key> localMachine_;
  std::shared_ptr<Key> users_;
  std::string currentUserSid_;
  UserAdded userAdded_;
  FaultInjector* faults_ = nullptr;
  std::map<platform::RegistryKey, Target> handles_;
  platform::RegistryKey nextHandle_ = 0x100;
};

}  // namespace sim
