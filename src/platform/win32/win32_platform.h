// The real Windows platform of the running process.
#pragma once

#include "platform/platform.h"

namespace platform::win32 {

class Win32Process final : public Process {
 public:
  std::string ModuleFileName() override;
  std::vector<std::string> Arguments() override;

 protected:
  void EndProcess(unsigned exitCode) override;
};

class Win32UserInterface final : public UserInterface {
 public:
  std::string LoadString(unsigned id) override;
  std::string LoadString(unsigned id, std::size_t capacity) override;
  BoxResult MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                       BoxStyle style) override;
};

// Every facility of this process, in one object that lives as long as the program runs.
class Win32Platform {
 public:
  Platform& Get() { return platform_; }

 private:
  Win32Process process_;
  Win32UserInterface ui_;
  Platform platform_{process_, ui_};
};

}  // namespace platform::win32
