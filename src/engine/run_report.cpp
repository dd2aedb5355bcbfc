#include "engine/run_report.h"

#include "engine/text.h"

namespace {

const char* NotDoneWord(Shortfall what) {
  switch (what) {
    case Shortfall::File:
      return "copy";
    case Shortfall::Folder:
      return "folder";
    case Shortfall::Shortcut:
      return "shortcut";
    case Shortfall::RegistryValue:
      return "registry";
    case Shortfall::InstalledLog:
      return "installed log";
    case Shortfall::Uninstaller:
      return "uninstaller";
    case Shortfall::Removal:
      return "remove";
  }
  return "";
}

}  // namespace

void RunReport::Step(std::string_view name) const {
  if (log_ != nullptr) {
    log_->Write("Step: " + std::string(name));
  }
}

void RunReport::NotDone(Shortfall what, const std::string& path) {
  ++counts_[static_cast<std::size_t>(what)];
  ++total_;
  if (log_ != nullptr) {
    log_->Write(std::string("Not done: ") + NotDoneWord(what) + " \"" + path + "\"");
  }
}

bool RunReport::IsSpared(const std::string& path) const {
  return !spared_.empty() && EqualsIgnoringCase(path, spared_);
}
