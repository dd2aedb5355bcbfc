#include "platform/sim/registry.h"

#include <cctype>
#include <cstdio>
#include <functional>
#include <iterator>

#include "platform/sim/user.h"

namespace sim {

using platform::RegistryKey;
using platform::RegistryValue;

namespace {

// ERROR_KEY_DELETED: the key behind an open handle was deleted meanwhile.
constexpr long kErrorKeyDeleted = 1018;

// Access rights each operation needs on the handle it is given.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;

// Registry names compare by their upper-case form, which also gives EnumKey its order.
std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return folded;
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> names;
  std::size_t position = 0;
  while (position <= path.size()) {
    std::size_t end = path.find('\\', position);
    if (end == std::string::npos) {
      end = path.size();
    }
    if (end > position) {
      names.push_back(path.substr(position, end - position));
    }
    position = end + 1;
  }
  return names;
}

bool IsPredefined(RegistryKey key) {
  return key >= platform::kHkeyClassesRoot && key <= 0x80000006;
}

// A REG_DWORD's number, its four bytes least significant first.
std::optional<std::uint32_t> DwordOf(const RegistryValue& value) {
  if (value.type != platform::kRegDword || value.data.size() != 4) {
    return std::nullopt;
  }
  std::uint32_t number = 0;
  for (int i = 3; i >= 0; --i) {
    number = number << 8 | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
  }
  return number;
}

std::string DescribeValue(const RegistryValue& value) {
  const std::string& data = value.data;
  const bool text = value.type == platform::kRegSz || value.type == platform::kRegExpandSz;
  if (text && !data.empty() && data.find('\0') == data.size() - 1) {
    return std::string(value.type == platform::kRegSz ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" +
           data.substr(0, data.size() - 1) + "\"";
  }
  if (const std::optional<std::uint32_t> number = DwordOf(value)) {
    return "REG_DWORD " + std::to_string(*number);
  }
  std::string hex = "type " + std::to_string(value.type) + " hex:";
  for (char c : data) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

}  // namespace

struct Registry::Key {
  std::string name;  // as written when it was created
  std::weak_ptr<Key> parent;
  bool hive = false;  // a root, or a user's key under HKU: never deleted
  bool deleted = false;
  std::map<std::string, std::shared_ptr<Key>> subKeys;  // by folded name
  struct NamedValue {
    std::string name;
    RegistryValue value;
  };
  std::map<std::string, NamedValue> values;  // by folded name

  std::shared_ptr<Key> Find(const std::vector<std::string>& path) {
    std::shared_ptr<Key> key = Self();
    for (const std::string& name : path) {
      const auto found = key->subKeys.find(Fold(name));
      if (found == key->subKeys.end()) {
        return nullptr;
      }
      key = found->second;
    }
    return key;
  }

  // Creates every key on the path that is missing.
  std::shared_ptr<Key> Create(const std::vector<std::string>& path) {
    std::shared_ptr<Key> key = Self();
    for (const std::string& name : path) {
      auto& slot = key->subKeys[Fold(name)];
      if (!slot) {
        slot = std::make_shared<Key>();
        slot->name = name;
        slot->parent = key;
        slot->self = slot;
      }
      key = slot;
    }
    return key;
  }

  void MarkDeleted() {
    deleted = true;
    for (auto& [folded, subKey] : subKeys) {
      subKey->MarkDeleted();
    }
  }

  std::weak_ptr<Key> self;  // lets a key hand out owning pointers to itself
  std::shared_ptr<Key> Self() { return self.lock(); }
};

namespace {

std::shared_ptr<Registry::Key> NewRoot(const std::string& name) {
  auto key = std::make_shared<Registry::Key>();
  key->name = name;
  key->self = key;
  key->hive = true;
  return key;
}

}  // namespace

Registry::Registry(UserAdded userAdded)
    : localMachine_(NewRoot("HKLM")), users_(NewRoot("HKU")), userAdded_(std::move(userAdded)) {
  localMachine_->Create({"SOFTWARE", "Classes"});
  currentUserSid_ = kDefaultUserSid;
  AddUser(kDefaultUserSid);
}

Registry::~Registry() = default;

std::optional<Registry::Target> Registry::Root(RegistryKey root) const {
  switch (root) {
    case platform::kHkeyLocalMachine:
      return Target{localMachine_, true, platform::kKeyAllAccess};
    case platform::kHkeyUsers:
      return Target{users_, false, platform::kKeyAllAccess};
    case platform::kHkeyClassesRoot:
      if (auto classes = localMachine_->Find({"SOFTWARE", "Classes"})) {
        return Target{classes, true, platform::kKeyAllAccess};
      }
      return std::nullopt;
    case platform::kHkeyCurrentUser:
      if (auto user = users_->Find({currentUserSid_})) {
        return Target{user, false, platform::kKeyAllAccess};
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

Registry::Target Registry::RootOrThrow(RegistryKey root) const {
  std::optional<Target> target = Root(root);
  if (!target) {
    throw ScriptError("not a registry root: " + std::to_string(root));
  }
  return *target;
}

long Registry::Lookup(RegistryKey key, Target& target) const {
  if (std::optional<Target> root = Root(key)) {
    target = *root;
  } else if (const auto found = handles_.find(key); found != handles_.end()) {
    target = found->second;
  } else {
    return platform::kErrorInvalidHandle;
  }
  return target.key->deleted ? kErrorKeyDeleted : platform::kErrorSuccess;
}

RegistryKey Registry::NewHandle(Target target) {
  const RegistryKey handle = nextHandle_;
  nextHandle_ += 4;  // handles come in steps of four, as on Windows
  handles_.emplace(handle, std::move(target));
  return handle;
}

std::optional<long> Registry::Injected(std::string_view call, const Target& target, bool changes) {
  if (faults_ == nullptr) {
    return std::nullopt;
  }
  const std::string_view hive = !target.key           ? std::string_view()
                                : target.localMachine ? kLocalMachine
                                                      : std::string_view("HKEY_USERS");
  const std::optional<unsigned> error = faults_->Next(call, hive, changes);
  return error ? std::optional<long>(static_cast<long>(*error)) : std::nullopt;
}

bool Registry::Denied(const std::optional<long>& injected) {
  return injected == platform::kErrorAccessDenied;
}

long Registry::OpenKey(RegistryKey key, const std::string& subKey, std::uint32_t access,
                       RegistryKey& opened) {
  opened = 0;
  Target target;
  const long status = Lookup(key, target);
  const std::optional<long> injected = Injected("RegOpenKeyExA", target, false);
  if (injected && !Denied(injected)) {
    return *injected;
  }
  if (status != platform::kErrorSuccess) {
    return status;
  }
  std::shared_ptr<Key> found = target.key->Find(Split(subKey));
  if (!found) {
    return platform::kErrorFileNotFound;
  }
  // A user without administrator rights may read the machine's keys but gets no more.
  if (Denied(injected) && (access & platform::kKeyAllAccess & ~platform::kKeyRead) != 0) {
    return platform::kErrorAccessDenied;
  }
  opened = NewHandle({found, target.localMachine, access});
  return platform::kErrorSuccess;
}

long Registry::CreateKey(RegistryKey key, const std::string& subKey, RegistryKey& opened) {
  Target target;
  const long status = Lookup(key, target);
  const std::optional<long> injected = Injected("RegCreateKeyA", target);
  if (injected && !Denied(injected)) {
    return *injected;
  }
  opened = 0;
  if (status != platform::kErrorSuccess) {
    return status;
  }
  const std::vector<std::string> path = Split(subKey);
  std::shared_ptr<Key> found = target.key->Find(path);
  if (!found) {
    if (Denied(injected)) {
      return platform::kErrorAccessDenied;
    }
    found = target.key->Create(path);
  }
  // RegCreateKey asks for the most it may have.
  const std::uint32_t access = Denied(injected) ? platform::kKeyRead : platform::kKeyAllAccess;
  opened = NewHandle({found, target.localMachine, access});
  return platform::kErrorSuccess;
}

long Registry::QueryValue(RegistryKey key, const std::string& name, std::size_t capacity,
                          RegistryValue& value) {
  value = RegistryValue{};
  Target target;
  if (const long status = Lookup(key, target); status != platform::kErrorSuccess) {
    return status;
  }
  if ((target.access & kKeyQueryValue) == 0) {
    return platform::kErrorAccessDenied;
  }
  const auto found = target.key->values.find(Fold(name));
  if (found == target.key->values.end()) {
    return platform::kErrorFileNotFound;
  }
  if (found->second.value.data.size() > capacity) {
    return platform::kErrorMoreData;
  }
  value = found->second.value;
  return platform::kErrorSuccess;
}

long Registry::SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                        const std::string& data) {
  Target target;
  const long status = Lookup(key, target);
  const std::optional<long> injected = Injected("RegSetValueExA", target);
  if (injected && !Denied(injected)) {
    return *injected;
  }
  if (status != platform::kErrorSuccess) {
    return status;
  }
  if ((target.access & kKeySetValue) == 0 || Denied(injected)) {
    return platform::kErrorAccessDenied;
  }
  auto& slot = target.key->values[Fold(name)];
  if (slot.name.empty()) {
    slot.name = name;  // a value keeps the name it was first written with
  }
  slot.value = {type, data};
  return platform::kErrorSuccess;
}

long Registry::EnumKey(RegistryKey key, std::uint32_t index, std::string& name) {
  name.clear();
  Target target;
  if (const long status = Lookup(key, target); status != platform::kErrorSuccess) {
    return status;
  }
  if ((target.access & kKeyEnumerateSubKeys) == 0) {
    return platform::kErrorAccessDenied;
  }
  if (index >= target.key->subKeys.size()) {
    return platform::kErrorNoMoreItems;
  }
  name = std::next(target.key->subKeys.begin(), index)->second->name;
  return platform::kErrorSuccess;
}

long Registry::DeleteKey(RegistryKey key, const std::string& subKey) {
  Target target;
  const long status = Lookup(key, target);
  const std::optional<long> injected = Injected("RegDeleteKeyA", target);
  if (injected && !Denied(injected)) {
    return *injected;
  }
  if (status != platform::kErrorSuccess) {
    return status;
  }
  std::shared_ptr<Key> found = target.key->Find(Split(subKey));
  if (!found) {
    return platform::kErrorFileNotFound;
  }
  std::shared_ptr<Key> parent = found->parent.lock();
  // Windows refuses to delete a key that still has sub-keys, and the hives themselves.
  if (!parent || found->hive || !found->subKeys.empty() || Denied(injected)) {
    return platform::kErrorAccessDenied;
  }
  found->MarkDeleted();
  parent->subKeys.erase(Fold(found->name));
  return platform::kErrorSuccess;
}

long Registry::DeleteValue(RegistryKey key, const std::string& name) {
  Target target;
  const long status = Lookup(key, target);
  const std::optional<long> injected = Injected("RegDeleteValueA", target);
  if (injected && !Denied(injected)) {
    return *injected;
  }
  if (status != platform::kErrorSuccess) {
    return status;
  }
  if ((target.access & kKeySetValue) == 0 || Denied(injected)) {
    return platform::kErrorAccessDenied;
  }
  return target.key->values.erase(Fold(name)) != 0 ? platform::kErrorSuccess
                                                   : platform::kErrorFileNotFound;
}

long Registry::CloseKey(RegistryKey key) {
  if (IsPredefined(key)) {
    return platform::kErrorSuccess;
  }
  return handles_.erase(key) != 0 ? platform::kErrorSuccess : platform::kErrorInvalidHandle;
}

void Registry::SetString(RegistryKey root, const std::string& path, const std::string& name,
                         const std::string& text) {
  SetValue(root, path, name, platform::kRegSz, text + '\0');
}

void Registry::SetValue(RegistryKey root, const std::string& path, const std::string& name,
                        std::uint32_t type, std::string data) {
  std::shared_ptr<Key> key = RootOrThrow(root).key->Create(Split(path));
  auto& slot = key->values[Fold(name)];
  if (slot.name.empty()) {
    slot.name = name;
  }
  slot.value = {type, std::move(data)};
}

void Registry::CreateKey(RegistryKey root, const std::string& path) {
  RootOrThrow(root).key->Create(Split(path));
}

std::optional<RegistryValue> Registry::GetValue(RegistryKey root, const std::string& path,
                                                const std::string& name) const {
  std::shared_ptr<Key> key = RootOrThrow(root).key->Find(Split(path));
  if (!key) {
    return std::nullopt;
  }
  const auto found = key->values.find(Fold(name));
  if (found == key->values.end()) {
    return std::nullopt;
  }
  return found->second.value;
}

std::optional<std::string> Registry::GetString(RegistryKey root, const std::string& path,
                                               const std::string& name) const {
  std::optional<RegistryValue> value = GetValue(root, path, name);
  if (!value || (value->type != platform::kRegSz && value->type != platform::kRegExpandSz)) {
    return std::nullopt;
  }
  return value->data.substr(0, value->data.find('\0'));
}

std::optional<std::uint32_t> Registry::GetDword(RegistryKey root, const std::string& path,
                                                const std::string& name) const {
  const std::optional<RegistryValue> value = GetValue(root, path, name);
  return value ? DwordOf(*value) : std::nullopt;
}

bool Registry::KeyExists(RegistryKey root, const std::string& path) const {
  return RootOrThrow(root).key->Find(Split(path)) != nullptr;
}

void Registry::DeleteTree(RegistryKey root, const std::string& path) {
  std::shared_ptr<Key> key = RootOrThrow(root).key->Find(Split(path));
  if (!key) {
    return;
  }
  std::shared_ptr<Key> parent = key->parent.lock();
  if (!parent || key->hive) {
    throw ScriptError("a hive cannot be deleted: " + path);
  }
  key->MarkDeleted();
  parent->subKeys.erase(Fold(key->name));
}

void Registry::AddUser(const std::string& sid) {
  if (users_->Find({sid})) {
    return;
  }
  users_->Create({sid, "Software"});
  users_->Find({sid})->hive = true;
  if (userAdded_) {
    userAdded_(*this, sid);
  }
}

void Registry::SetCurrentUser(const std::string& sid) {
  if (!users_->Find({sid})) {
    throw ScriptError("no such user: " + sid);
  }
  currentUserSid_ = sid;
}

std::vector<std::string> Registry::UserSids() const {
  std::vector<std::string> sids;
  for (const auto& [folded, key] : users_->subKeys) {
    sids.push_back(key->name);
  }
  return sids;
}

std::vector<std::string> Registry::Dump() const {
  std::vector<std::string> lines;
  std::function<void(const Key&, const std::string&)> walk = [&](const Key& key,
                                                                 const std::string& path) {
    lines.push_back(path);
    for (const auto& [folded, value] : key.values) {
      lines.push_back(path + " : " + (value.name.empty() ? "@" : value.name) + " = " +
                      DescribeValue(value.value));
    }
    for (const auto& [folded, subKey] : key.subKeys) {
      walk(*subKey, path + "\\" + subKey->name);
    }
  };
  walk(*localMachine_, "HKLM");
  walk(*users_, "HKU");
  return lines;
}

}  // namespace sim
