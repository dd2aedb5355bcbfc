#include "engine/registry_values.h"

#include <string_view>

OpenedKey OpenedKey::Open(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& path, std::uint32_t access) {
  platform::RegistryKey key = 0;
  if (registry.OpenKey(root, path, access, key) != platform::kErrorSuccess) {
    key = 0;
  }
  return OpenedKey(registry, key);
}

OpenedKey OpenedKey::Create(platform::Registry& registry, platform::RegistryKey root,
                            const std::string& path) {
  platform::RegistryKey key = 0;
  if (registry.CreateKey(root, path, key) != platform::kErrorSuccess) {
    key = 0;
  }
  return OpenedKey(registry, key);
}

OpenedKey::~OpenedKey() {
  if (key_ != 0) {
    registry_.CloseKey(key_);
  }
}

std::optional<std::string> ReadRegistryText(platform::Registry& registry, platform::RegistryKey key,
                                            const std::string& valueName) {
  platform::RegistryValue value;
  if (registry.QueryValue(key, valueName, kRegistryTextCapacity, value) !=
      platform::kErrorSuccess) {
    return std::nullopt;
  }
  return std::string(std::string_view(value.data.c_str()));
}

std::string ReadRegistryString(platform::Registry& registry, platform::RegistryKey root,
                               const std::string& keyPath, const std::string& valueName) {
  const OpenedKey key = OpenedKey::Open(registry, root, keyPath, platform::kKeyRead);
  if (!key) {
    return {};
  }
  return ReadRegistryText(registry, key.Key(), valueName).value_or(std::string());
}

namespace {

bool WriteRegistryValue(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& keyPath, const std::string& valueName,
                        std::uint32_t type, const std::string& data) {
  const OpenedKey key = OpenedKey::Create(registry, root, keyPath);
  return key && registry.SetValue(key.Key(), valueName, type, data) == platform::kErrorSuccess;
}

}  // namespace

bool WriteRegistryString(platform::Registry& registry, platform::RegistryKey root,
                         const std::string& keyPath, const std::string& valueName,
                         const std::string& text) {
  // The data length counts the terminating zero, which is stored with the text.
  return WriteRegistryValue(registry, root, keyPath, valueName, platform::kRegSz,
                            std::string(text.c_str(), text.size() + 1));
}

bool WriteRegistryDword(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& keyPath, const std::string& valueName,
                        std::uint32_t number) {
  std::string bytes(4, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(number >> (8 * i) & 0xFF);
  }
  return WriteRegistryValue(registry, root, keyPath, valueName, platform::kRegDword, bytes);
}

bool DeleteRegistryTree(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& subKey) {
  if (const OpenedKey key = OpenedKey::Open(registry, root, subKey, platform::kKeyAllAccess)) {
    std::uint32_t index = 0;
    std::string name;
    while (registry.EnumKey(key.Key(), index, name) == platform::kErrorSuccess) {
      ++index;
      // A deleted sub-key frees its place: the next one moves into it.
      if (DeleteRegistryTree(registry, key.Key(), name)) {
        --index;
      }
    }
  }
  return registry.DeleteKey(root, subKey) == platform::kErrorSuccess;
}

void DeleteKeyIfNoSubkeys(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& subKey) {
  bool hasSubKeys = false;
  {
    const OpenedKey key = OpenedKey::Open(registry, root, subKey, platform::kKeyAllAccess);
    if (!key) {
      return;
    }
    std::string name;
    hasSubKeys = registry.EnumKey(key.Key(), 0, name) == platform::kErrorSuccess;
  }
  if (!hasSubKeys) {
    registry.DeleteKey(root, subKey);
  }
}
