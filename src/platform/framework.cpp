#include "platform/framework.h"

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

}  // namespace platform
