#include "engine/helpers.h"

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/text.h"

namespace {

constexpr std::size_t kValueBuffer = 260;

bool IsFolderPadding(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\\';
}

}  // namespace

std::string ReadRegistryString(platform::Registry& registry, platform::RegistryKey root,
                               const std::string& keyPath, const std::string& valueName) {
  platform::RegistryKey key = 0;
  if (registry.OpenKey(root, keyPath, platform::kKeyRead, key) != platform::kErrorSuccess) {
    return {};
  }
  platform::RegistryValue value;
  const long status = registry.QueryValue(key, valueName, kValueBuffer, value);
  registry.CloseKey(key);
  if (status != platform::kErrorSuccess) {
    return {};
  }
  return std::string(std::string_view(value.data.c_str()));
}

namespace {

bool WriteRegistryValue(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& keyPath, const std::string& valueName,
                        std::uint32_t type, const std::string& data) {
  platform::RegistryKey key = 0;
  if (registry.CreateKey(root, keyPath, key) != platform::kErrorSuccess) {
    return false;
  }
  const long status = registry.SetValue(key, valueName, type, data);
  registry.CloseKey(key);
  return status == platform::kErrorSuccess;
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

void NormalizeFolderText(platform::System& system, std::string& text) {
  // Where each character starts; a double-byte character is one character.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    starts.push_back(i);
    if (system.IsDBCSLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (text[i] == '/') {
      text[i] = '\\';
    }
  }
  auto isPadding = [&](std::size_t index) {
    const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : text.size();
    return end - starts[index] == 1 && IsFolderPadding(text[starts[index]]);
  };
  std::size_t first = 0;
  while (first < starts.size() && isPadding(first)) {
    ++first;
  }
  std::size_t last = starts.size();
  while (last > first && isPadding(last - 1)) {
    --last;
  }
  const std::size_t begin = first < starts.size() ? starts[first] : text.size();
  const std::size_t end = last < starts.size() ? starts[last] : text.size();
  text = text.substr(begin, end - begin);
}

std::string CompleteFolder(platform::System& system, const std::string& folder) {
  if (EndsWithCharacter(system, folder, kSeparators)) {
    return folder;
  }
  return folder + "\\";
}

std::string ParentFolder(platform::System& system, const std::optional<std::string>& path) {
  if (!path) {
    return {};
  }
  std::string text = *path;
  if (EndsWithCharacter(system, text, "\\")) {
    text.pop_back();
  }
  const std::size_t lastSlash = FindLastCharacter(system, text, "\\");
  if (lastSlash == std::string::npos || lastSlash == 0) {
    return {};
  }
  return text.substr(0, lastSlash);
}
