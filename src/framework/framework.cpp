#include "framework/framework.h"

#include "resources/catalogue.h"

namespace platform {

Icon DefaultIcon(BoxStyle style) {
  if (style.icon != Icon::None) {
    return style.icon;
  }
  switch (style.buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
      return Icon::Question;
    case Buttons::Ok:
    case Buttons::OkCancel:
      break;
  }
  return Icon::Warning;
}

BoxResult Application::MessageBox(const std::string& text, BoxStyle style) {
  style.icon = DefaultIcon(style);
  return platform_.ui.MessageBox(mainWindow_, text, LoadString(catalogue::kAppTitle), style);
}

BoxResult Application::MessageBox(unsigned textId, BoxStyle style) {
  return MessageBox(LoadString(textId), style);
}

void DataExchange::Control(int id, WindowHandle& control) {
  control = dialogs_.GetItem(dialog_, id);
}

void DataExchange::Text(int id, std::string& value) {
  const WindowHandle control = dialogs_.GetItem(dialog_, id);
  if (saving_) {
    value = dialogs_.GetText(control);
  } else {
    dialogs_.SetText(control, value);
  }
}

void DataExchange::Check(int id, int& value) {
  const WindowHandle control = dialogs_.GetItem(dialog_, id);
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
    const WindowHandle button = dialogs_.GetItem(dialog_, id);
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
  if (window_ != kNoWindow) {
    Dialogs().DestroyWindow(window_);
  }
}

int CDialog::DoModal() {
  const int result = Dialogs().DoModal(layout_, app_.MainWindow(), *this);
  window_ = kNoWindow;  // the modal loop has destroyed the window
  return result;
}

bool CDialog::Create(WindowHandle parent) {
  return Dialogs().CreateChild(layout_, parent, *this) != kNoWindow;
}

bool CDialog::DestroyWindow() {
  const WindowHandle window = window_;
  window_ = kNoWindow;
  return window != kNoWindow && Dialogs().DestroyWindow(window);
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
    EndDialog(kIdOk);
  }
}

void CDialog::OnCancel() {
  EndDialog(kIdCancel);
}

void CDialog::OnClicked(int) {}

bool CDialog::OnInitDialog(WindowHandle dialog) {
  window_ = dialog;
  return OnInitDialog();
}

void CDialog::OnCommand(int id) {
  if (id == kIdOk) {
    OnOK();
  } else if (id == kIdCancel) {
    OnCancel();
  } else {
    OnClicked(id);
  }
}

}  // namespace platform
