#include "fuzz_input.h"

namespace fuzz {

FuzzInput SplitFuzzInput(std::string_view bytes) {
  FuzzInput input;
  if (bytes.empty()) {
    return input;
  }
  input.switches = static_cast<std::uint8_t>(bytes.front());
  bytes.remove_prefix(1);
  if (!bytes.empty()) {
    input.moreSwitches = static_cast<std::uint8_t>(bytes.front());
    bytes.remove_prefix(1);
  }

  std::vector<std::string_view> sections;
  while (sections.size() < 3) {
    const std::size_t marker = bytes.find(kSectionMarker);
    if (marker == std::string_view::npos) {
      break;
    }
    sections.push_back(bytes.substr(0, marker));
    bytes.remove_prefix(marker + kSectionMarker.size());
  }
  sections.push_back(bytes);

  input.manifest = std::string(sections[0]);
  if (sections.size() > 1) {
    input.installedLog = std::string(sections[1]);
  }
  if (sections.size() > 2) {
    input.olderLog = std::string(sections[2]);
  }
  if (sections.size() > 3) {
    std::string_view names = sections[3];
    while (!names.empty()) {
      const std::size_t end = names.find('\n');
      std::string_view name = names.substr(0, end);
      if (!name.empty() && name.back() == '\r') {
        name.remove_suffix(1);
      }
      if (!name.empty()) {
        input.extraFiles.emplace_back(name);
      }
      if (end == std::string_view::npos) {
        break;
      }
      names.remove_prefix(end + 1);
    }
  }
  return input;
}

}  // namespace fuzz
