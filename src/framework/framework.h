// A small dialog framework of our own, in place of the Windows one the program was designed
// around: the application object with its single entry, string loading, the application's
// message box service, and dialogs made from layouts with their fields bound to controls. It is
// plain logic on top of the platform, the same on both backends.
#pragma once

#include <initializer_list>
#include <string>

#include "platform/platform.h"

namespace framework {

class Application {
 public:
  explicit Application(platform::Platform& platform) : platform_(platform) {}
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The program's one entry. The start-up code calls it once; the process ends after it
  // returns, whatever it returns.
  virtual bool InitInstance() = 0;

  platform::Platform& GetPlatform() { return platform_; }

  // The whole text of catalogue entry `id`; empty when there is none.
  std::string LoadString(unsigned id) { return platform_.ui.LoadString(id); }

  // The application's message box: captioned with the application title, owned by the main
  // window while there is one, and given the default icon when the style names none (warning
  // for OK and OK/Cancel, question for Yes/No and Yes/No/Cancel).
  platform::BoxResult MessageBox(const std::string& text, platform::BoxStyle style);
  platform::BoxResult MessageBox(unsigned textId, platform::BoxStyle style);

  // The current top-level window of the application (the wizard frame while it exists).
  platform::WindowHandle MainWindow() const { return mainWindow_; }
  void SetMainWindow(platform::WindowHandle window) { mainWindow_ = window; }

 private:
  platform::Platform& platform_;
  platform::WindowHandle mainWindow_ = platform::kNoWindow;
};

// The icon the application's message box shows for `style`.
platform::Icon DefaultIcon(platform::BoxStyle style);

// One transfer between a dialog's fields and its controls: into the controls when the dialog
// shows its fields, out of them when it takes the user's input.
class DataExchange {
 public:
  DataExchange(platform::Dialogs& dialogs, platform::WindowHandle dialog, bool saving)
      : dialogs_(dialogs), dialog_(dialog), saving_(saving) {}

  bool Saving() const { return saving_; }

  // A field that stands for the control itself.
  void Control(int id, platform::WindowHandle& control);
  void Text(int id, std::string& value);
  // A check box: 1 checked, 0 not.
  void Check(int id, int& value);
  // A group of radio buttons: the index of the checked one in `ids`; -1 when none is.
  void Radio(std::initializer_list<int> ids, int& value);

 private:
  platform::Dialogs& dialogs_;
  platform::WindowHandle dialog_;
  bool saving_;
};

// A dialog made from a layout of the program file: modal (DoModal) or a child of another
// window (Create). The window lives from its initialisation until DestroyWindow, EndDialog's
// loop end or the object's end, whichever comes first.
class CDialog : private platform::DialogEvents {
 public:
  CDialog(Application& app, unsigned layout) : app_(app), layout_(layout) {}
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Shows the dialog modally, owned by the application's main window; returns what ended it,
  // -1 when it could not be made.
  int DoModal();
  // Makes the dialog as a hidden child of `parent`; false when it could not be made.
  bool Create(platform::WindowHandle parent);
  // Destroys the window. A dialog whose leave depends on its fields overrides this to check
  // and store them first, and refuses (false) to keep the window.
  virtual bool DestroyWindow();
  void EndDialog(int result);

  platform::WindowHandle Handle() const { return window_; }
  platform::WindowHandle Item(int id) { return Dialogs().GetItem(window_, id); }
  // Runs the data exchange: out of the controls into the fields when `save`, else the other
  // way. False when a transfer failed.
  bool UpdateData(bool save);

 protected:
  // The framework's initialisation: shows the fields in the controls. True leaves the keyboard
  // focus to the dialog manager.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(DataExchange& exchange);
  // Enter and the default button; Escape, the close box and the Cancel button. By default both
  // end a modal dialog, OK after taking the fields.
  virtual void OnOK();
  virtual void OnCancel();
  // A click on any other button.
  virtual void OnClicked(int id);

  Application& App() { return app_; }
  platform::Dialogs& Dialogs() { return app_.GetPlatform().dialogs; }

 private:
  bool OnInitDialog(platform::WindowHandle dialog) final;
  void OnCommand(int id) final;

  Application& app_;
  unsigned layout_;
  platform::WindowHandle window_ = platform::kNoWindow;
};

}  // namespace framework
