#include "framework/framework.h"

#include "resources/catalogue.h"

namespace framework {

platform::Icon DefaultIcon(platform::BoxStyle style) {
  if (style.icon != platform::Icon::None) {
    return style.icon;
  }
  switch (style.buttons) {
    case platform::Buttons::YesNo:
    case platform::Buttons::YesNoCancel:
      return platform::Icon::Question;
    case platform::Buttons::Ok:
    case platform::Buttons::OkCancel:
      break;
  }
  return platform::Icon::Warning;
}

platform::BoxResult Application::MessageBox(const std::string& text, platform::BoxStyle style) {
  style.icon = DefaultIcon(style);
  return platform_.ui.MessageBox(mainWindow_, text, LoadString(catalogue::kAppTitle), style);
}

platform::BoxResult Application::MessageBox(unsigned textId, platform::BoxStyle style) {
  return MessageBox(LoadString(textId), style);
}

void DataExchange::Control(int id, platform::WindowHandle& control) {
  control = dialogs_.GetItem(dialog_, id);
}

void DataExchange::Text(int id, std::string& value) {
  const platform::WindowHandle control = dialogs_.GetItem(dialog_, id);
  if (saving_) {
    value = dialogs_.GetText(control);
  } else {
    dialogs_.SetText(control, value);
  }
}

void DataExchange::Check(int id, int& value) {
  const platform::WindowHandle control = dialogs_.GetItem(dialog_, id);
  if (saving_) {
    value = dialogs_.IsChecked(control) ? 1 : 0;
  } else {
    dialogs_.SetCheck(control, value != 0);
  }
}

void DataExchange::Radio(std::initializer_list<int> ids, int& value) {
  int index = 0;
  if (saving_) {
    value = -1;
  }
  for (int id : ids) {
    const platform::WindowHandle button = dialogs_.GetItem(dialog_, id);
    if (saving_) {
      if (value < 0 && dialogs_.IsChecked(button)) {
        value = index;
      }
    } else {
      dialogs_.SetCheck(button, index == value);
    }
    ++index;
  }
}

CDialog::~CDialog() {
  if (window_ != platform::kNoWindow) {
    Dialogs().DestroyWindow(window_);
  }
}

int CDialog::DoModal() {
  const int result = Dialogs().DoModal(layout_, app_.MainWindow(), *this);
  window_ = platform::kNoWindow;  // the modal loop has destroyed the window
  return result;
}

bool CDialog::Create(platform::WindowHandle parent) {
  return Dialogs().CreateChild(layout_, parent, *this) != platform::kNoWindow;
}

bool CDialog::DestroyWindow() {
  const platform::WindowHandle window = window_;
  window_ = platform::kNoWindow;
  return window != platform::kNoWindow && Dialogs().DestroyWindow(window);
}

void CDialog::EndDialog(int result) {
  Dialogs().EndDialog(window_, result);
}

bool CDialog::UpdateData(bool save) {
  DataExchange exchange(Dialogs(), window_, save);
  DoDataExchange(exchange);
  return true;
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::DoDataExchange(DataExchange&) {}

void CDialog::OnOK() {
  if (UpdateData(true)) {
    EndDialog(platform::kIdOk);
  }
}

void CDialog::OnCancel() {
  EndDialog(platform::kIdCancel);
}

void CDialog::OnClicked(int) {}

bool CDialog::OnInitDialog(platform::WindowHandle dialog) {
  window_ = dialog;
  return OnInitDialog();
}

void CDialog::OnCommand(int id) {
  if (id == platform::kIdOk) {
    OnOK();
  } else if (id == platform::kIdCancel) {
    OnCancel();
  } else {
    OnClicked(id);
  }
}

}  // namespace framework
