#include "platform/sim/shell.h"

#include <algorithm>
#include <cctype>

namespace sim {
namespace {

// A saved shell link: the format's own first bytes (a header size of 0x4C), then a mark of the
// simulation and the three texts, each ended by a zero, which no text can contain.
const std::string kShortcutMagic = std::string("L\0\0\0", 4) + "sim-shortcut" + '\0';

std::string EncodeShortcut(const Shortcut& shortcut) {
  return kShortcutMagic + shortcut.target + '\0' + shortcut.workingFolder + '\0' +
         shortcut.description + '\0';
}

std::optional<Shortcut> DecodeShortcut(const std::string& bytes) {
  if (bytes.compare(0, kShortcutMagic.size(), kShortcutMagic) != 0) {
    return std::nullopt;
  }
  std::vector<std::string> texts;
  std::size_t start = kShortcutMagic.size();
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos) {
      return std::nullopt;
    }
    texts.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  if (texts.size() != 3) {
    return std::nullopt;
  }
  return Shortcut{texts[0], texts[1], texts[2]};
}

// IShellLinkA with its IPersistFile, as the simulated shell makes it for one process.
class SimShellLink final : public platform::ShellLink {
 public:
  SimShellLink(FileSystem& files, System& system, FaultInjector& faults, unsigned processId)
      : files_(files), system_(system), faults_(faults), processId_(processId) {}

  // The link keeps the target made full against the current folder even when nothing lies
  // there; Windows then answers S_FALSE, which is no failure.
  bool SetPath(const std::string& target) override {
    if (faults_.Next("IShellLink::SetPath", target, false)) {
      return false;
    }
    if (target.empty()) {
      shortcut_.target.clear();
    } else {
      const FileSystem::Acting acting(files_, processId_);
      shortcut_.target = files_.FullPath(target);
    }
    return true;
  }
  bool SetDescription(const std::string& description) override {
    return Set("IShellLink::SetDescription", shortcut_.description, description);
  }
  bool SetWorkingDirectory(const std::string& folder) override {
    return Set("IShellLink::SetWorkingDirectory", shortcut_.workingFolder, folder);
  }

  // The folder must be there; the link file itself may be replaced unless it is a folder,
  // read-only or in use. A failure leaves its HRESULT as the last error: the file system's
  // error made one, or an injected fault's error, made one unless it is one (E_FAIL...).
  bool Save(const std::string& path) override {
    const FileSystem::Acting acting(files_, processId_);
    if (const std::optional<unsigned> error = faults_.Next("IShellLink::Save", path, true)) {
      const bool hresult = (*error & 0x80000000u) != 0;
      files_.SetLastError(hresult ? *error : platform::HresultFromWin32(static_cast<long>(*error)));
      return false;
    }
    if (!FitsWidePath(path)) {
      files_.SetLastError(platform::HresultFromWin32(platform::kErrorInsufficientBuffer));
      return false;
    }
    if (!files_.SaveFile(path, EncodeShortcut(shortcut_))) {
      files_.SetLastError(platform::HresultFromWin32(static_cast<long>(files_.LastError())));
      return false;
    }
    return true;
  }

 private:
  bool Set(std::string_view call, std::string& field, const std::string& value) {
    if (faults_.Next(call, value, false)) {
      return false;
    }
    field = value;
    return true;
  }

  // The path made wide through the ANSI code page must fit 260 characters with its terminator;
  // a double-byte character is one wide character.
  bool FitsWidePath(const std::string& path) {
    std::size_t wide = 0;
    for (std::size_t i = 0; i < path.size(); ++i, ++wide) {
      if (system_.IsDBCSLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
        ++i;
      }
    }
    return wide + 1 <= 260;
  }

  FileSystem& files_;
  System& system_;
  FaultInjector& faults_;
  unsigned processId_;
  Shortcut shortcut_;
};

}  // namespace

std::optional<Shortcut> Shell::ReadShortcut(const std::string& path) const {
  const std::optional<std::string> bytes = files_.ReadFile(path);
  return bytes ? DecodeShortcut(*bytes) : std::nullopt;
}

std::unique_ptr<platform::ShellLink> Shell::CreateShellLink(unsigned processId) {
  if (faults_.Next("CoCreateInstance", "ShellLink", false)) {
    return nullptr;
  }
  return std::make_unique<SimShellLink>(files_, system_, faults_, processId);
}

bool Shell::Open(unsigned processId, const std::string& file) {
  bool opened = false;
  if (!faults_.Next("ShellExecuteA", file, false)) {
    const std::size_t colon = file.find(':');
    const bool address =
        colon != std::string::npos && colon >= 2 &&
        std::all_of(file.begin(), file.begin() + static_cast<long>(colon),
                    [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    if (address) {
      opened = true;
    } else {
      const FileSystem::Acting acting(files_, processId);
      const std::uint32_t attributes = files_.GetFileAttributes(file);
      opened = attributes != platform::kInvalidFileAttributes &&
               !(attributes & platform::kAttributeDirectory);
    }
  }
  if (opened) {
    opened_.push_back(file);
  }
  return opened;
}

bool Shell::OpenFromDesktop(unsigned processId, const std::string& file,
                            const std::string& folder) {
  if (!desktopShell_ || faults_.Next("IShellDispatch2::ShellExecute", file, false)) {
    return false;
  }
  desktopOpens_.push_back({processId, file, folder});
  return true;
}

void Shell::ChangeNotify(unsigned processId, std::int32_t event, std::uint32_t flags) {
  notifications_.push_back({processId, event, flags});
}

}  // namespace sim
