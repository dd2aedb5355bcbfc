// What the Windows-side tests share: their own folder, scratch folders in the user's temp
// folder, and the registry keys the product's registration writes.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "engine/setup_options.h"
#include "platform/registry.h"

// Readable versions in the tests' failure messages.
inline void PrintTo(const FileVersion& version, std::ostream* out) {
  *out << version.major << '.' << version.minor << '.' << version.build << '.' << version.revision;
}

namespace windows_tests {

// The folder of the running test program, where the Windows build puts its other outputs.
std::string ProgramFolder();

// "6.30.2.0" as a FileVersion; 0.0.0.0 for anything else.
FileVersion ParseVersion(std::string_view text);

// A new empty folder under the temp folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool created() const { return created_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool created_ = false;
};

// Whether HKEY_LOCAL_MACHINE\subKey opens, with KEY_READ and `extraAccess` (a view flag).
bool MachineKeyExists(platform::Registry& registry, const std::string& subKey,
                      std::uint32_t extraAccess = 0);

// Takes away the keys RegisterProduct writes, and the maker's key when nothing else is in it.
void RemoveRegistration(platform::Registry& registry);

}  // namespace windows_tests
