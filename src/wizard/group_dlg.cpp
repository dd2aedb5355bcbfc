#include "wizard/group_dlg.h"

#include <vector>

#include "engine/paths.h"
#include "engine/shell_folders.h"
#include "engine/text.h"
#include "resources/catalogue.h"

namespace {

constexpr std::size_t kShortestGroupName = 3;
constexpr char kStartup[] = "Startup";

}  // namespace

std::string GroupAsUsed(platform::System& system, const std::string& name) {
  std::string text = name;
  NormalizeFolderText(system, text);
  std::vector<std::string> parts;
  std::size_t start = 0;
  const auto take = [&](std::size_t end) {
    std::string part = text.substr(start, end - start);
    if (part == "..") {
      parts.empty() ? parts.push_back(part) : parts.pop_back();
      return;
    }
    // Windows drops a name's final dots and blanks: "Startup." is the folder Startup.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
      part.pop_back();
    }
    if (!part.empty()) {
      parts.push_back(part);
    }
  };
  ForEachCharacter(system, text, [&](std::size_t at, std::size_t length) {
    if (length == 1 && text[at] == '\\') {
      take(at);
      start = at + 1;
    }
  });
  take(text.size());
  std::string used;
  for (const std::string& part : parts) {
    used += (used.empty() ? "" : "\\") + part;
  }
  return used;
}

void CGroupDlg::DoDataExchange(framework::DataExchange& exchange) {
  exchange.Control(layout::kGroupName, nameBox_);
  exchange.Check(layout::kAutostart, autostart_);
  exchange.Check(layout::kDesktopIcon, desktopIcon_);
  exchange.Text(layout::kGroupName, groupName_);
}

bool CGroupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  autostart_ = options_.Autostart ? 1 : 0;
  desktopIcon_ = options_.DesktopIcon ? 1 : 0;
  groupName_ = options_.GroupName;
  UpdateData(false);
  return true;
}

bool CGroupDlg::DestroyWindow() {
  if (!UpdateData(true)) {
    return false;
  }
  platform::Platform& platform = App().GetPlatform();
  groupName_ = TrimSpaces(platform.system, groupName_);
  if (groupName_.size() < kShortestGroupName) {
    App().MessageBox(catalogue::kGroupNameTooShort,
                     {platform::Buttons::Ok, platform::Icon::Warning});
    return false;
  }
  // Judged as the shortcuts will use it, not as typed: "Startup.", ".\\Startup" and
  // "Startup\\." are the Startup folder, and a name of dots alone is the program list itself.
  const std::string name = LowerCase(GroupAsUsed(platform.system, groupName_));
  const std::string userStartup =
      LowerCase(LastComponent(platform.system, ShellFolder(platform.registry, false, kStartup)));
  const std::string commonStartup =
      LowerCase(LastComponent(platform.system, ShellFolder(platform.registry, true, kStartup)));
  // The group is a folder below the program list: a name that is absolute, names a drive or
  // climbs out with ".." would put the shortcuts, and later their removal, somewhere else.
  if (name.empty() || name == userStartup || name == commonStartup ||
      !StaysInsideFolder(groupName_) || !StaysInsideFolder(name)) {
    App().MessageBox(catalogue::kGroupIsStartup, {platform::Buttons::Ok, platform::Icon::Warning});
    return false;
  }
  options_.Autostart = autostart_ != 0;
  options_.DesktopIcon = desktopIcon_ != 0;
  options_.GroupName = groupName_;
  return CDialog::DestroyWindow();
}
