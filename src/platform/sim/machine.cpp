#include "platform/sim/machine.h"

namespace sim {
namespace {

const std::string kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

Machine::Machine()
    : registry_([this](sim::Registry& registry, const std::string& sid) {
        LayDownProfile(registry, sid);
      }) {
  files_.SetWindowsFolderSource([this] { return system_.GetWindowsDirectory(); });
  files_.SetFaults(&faults_);
  registry_.SetFaults(&faults_);
  files_.SetLeadByteSource([this](unsigned char byte) { return system_.IsDBCSLeadByte(byte); });
  files_.SetTempFolderSource(
      [this] { return ProfileFolder(registry_.CurrentUserSid()) + "\\AppData\\Local\\Temp\\"; });
  files_.CreateFolders(system_.GetWindowsDirectory() + "\\system32");
  files_.CreateFolders("C:\\Program Files");
  registry_.SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                      "ProgramFilesDir", "C:\\Program Files");

  const std::string startMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  const std::pair<const char*, std::string> common[] = {
      {"Common Start Menu", startMenu},
      {"Common Programs", startMenu + "\\Programs"},
      {"Common Startup", startMenu + "\\Programs\\Startup"},
      {"Common Desktop", "C:\\Users\\Public\\Desktop"},
  };
  for (const auto& [name, folder] : common) {
    registry_.SetString(platform::kHkeyLocalMachine, kShellFolders, name, folder);
    files_.CreateFolders(folder);
  }
}

Machine::~Machine() = default;

// Each user's shell folders lie in a profile of their own: C:\Users\User for the first, then
// C:\Users\User2 and so on.
void Machine::LayDownProfile(sim::Registry& registry, const std::string& sid) {
  const std::size_t number = registry.UserSids().size();
  const std::string profile =
      "C:\\Users\\User" + (number > 1 ? std::to_string(number) : std::string());
  const std::string startMenu = profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  const std::pair<const char*, std::string> folders[] = {
      {"Start Menu", startMenu},
      {"Programs", startMenu + "\\Programs"},
      {"Startup", startMenu + "\\Programs\\Startup"},
      {"Desktop", profile + "\\Desktop"},
  };
  for (const auto& [name, folder] : folders) {
    registry.SetString(platform::kHkeyUsers, sid + "\\" + kShellFolders, name, folder);
    files_.CreateFolders(folder);
  }
  files_.CreateFolders(profile + "\\AppData\\Local\\Temp");
  profiles_[sid] = profile;
}

std::string Machine::ProfileFolder(const std::string& sid) const {
  const auto profile = profiles_.find(sid);
  if (profile == profiles_.end()) {
    throw ScriptError("no profile for user " + sid);
  }
  return profile->second;
}

void Machine::Reboot() {
  processes_.EndAll();
  session_.Clear();
  windows_.Clear();
  files_.Restart();
}

std::vector<std::string> Machine::Snapshot() const {
  std::vector<std::string> lines = files_.Snapshot();
  for (const DelayedOperation& operation : files_.DelayedOperations()) {
    lines.push_back("at the next start: " +
                    (operation.target ? "move " + operation.existing + " to " + *operation.target +
                                            (operation.replaceExisting ? ", replacing" : "")
                                      : "delete " + operation.existing));
  }
  const std::vector<std::string> keys = registry_.Dump();
  lines.insert(lines.end(), keys.begin(), keys.end());
  return lines;
}

}  // namespace sim
