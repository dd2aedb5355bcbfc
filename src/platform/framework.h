// A small dialog framework of our own, in place of the Windows one the program was designed
// around: the application object with its single entry, string loading and the application's
// message box service. It is plain logic on top of the platform, the same on both backends.
#pragma once

#include <string>

#include "platform/platform.h"

namespace platform {

class Application {
 public:
  explicit Application(Platform& platform) : platform_(platform) {}
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The program's one entry. The start-up code calls it once; the process ends after it
  // returns, whatever it returns.
  virtual bool InitInstance() = 0;

  Platform& GetPlatform() { return platform_; }

  // The whole text of catalogue entry `id`; empty when there is none.
  std::string LoadString(unsigned id) { return platform_.ui.LoadString(id); }

  // The application's message box: captioned with the application title, owned by the main
  // window while there is one, and given the default icon when the style names none (warning
  // for OK and OK/Cancel, question for Yes/No and Yes/No/Cancel).
  BoxResult MessageBox(const std::string& text, BoxStyle style);
  BoxResult MessageBox(unsigned textId, BoxStyle style);

  // The current top-level window of the application (the wizard frame while it exists).
  WindowHandle MainWindow() const { return mainWindow_; }
  void SetMainWindow(WindowHandle window) { mainWindow_ = window; }

 private:
  Platform& platform_;
  WindowHandle mainWindow_ = kNoWindow;
};

// The icon the application's message box shows for `style`.
Icon DefaultIcon(BoxStyle style);

}  // namespace platform
