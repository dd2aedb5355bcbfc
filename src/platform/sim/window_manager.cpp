#include "platform/sim/window_manager.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace sim {
namespace {

using platform::kNoWindow;
using platform::WindowHandle;

// The Win32 style bits the dialog manager and the user look at.
constexpr std::uint32_t kChild = 0x40000000;
constexpr std::uint32_t kVisible = 0x10000000;
constexpr std::uint32_t kDisabled = 0x08000000;
constexpr std::uint32_t kGroup = 0x00020000;
constexpr std::uint32_t kTabStop = 0x00010000;
constexpr std::uint32_t kPopup = 0x80000000;
constexpr std::uint32_t kCaption = 0x00C00000;
constexpr std::uint32_t kSysMenu = 0x00080000;
constexpr std::uint32_t kDsControl = 0x0400;
constexpr std::uint32_t kExControlParent = 0x00010000;
constexpr std::uint32_t kEditReadOnly = 0x0800;
constexpr std::uint32_t kButtonType = 0x000F;
constexpr std::uint32_t kDefPushButton = 0x1;
constexpr std::uint32_t kCheckBox = 0x2;
constexpr std::uint32_t kAutoCheckBox = 0x3;
constexpr std::uint32_t kRadioButton = 0x4;
constexpr std::uint32_t k3State = 0x5;
constexpr std::uint32_t kAuto3State = 0x6;
constexpr std::uint32_t kGroupBox = 0x7;
constexpr std::uint32_t kAutoRadioButton = 0x9;

constexpr char kDialogClass[] = "#32770";
constexpr char kProgressClass[] = "msctls_progress32";
// Where a new progress bar stands: 0 of 0 to 100.
constexpr platform::ProgressState kNewProgress{0, 100};

bool SameClass(const std::string& windowClass, const char* name) {
  return std::equal(windowClass.begin(), windowClass.end(), name, name + std::strlen(name),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

// MulDiv: the product divided, rounded to the nearest, halves away from zero.
int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : -((-product + half) / denominator));
}

// A template's text "#101" names a resource (a picture control's bitmap): the control shows
// the picture and has no text.
std::string ControlText(std::string_view text) {
  if (text.size() > 1 && text[0] == '#' && std::all_of(text.begin() + 1, text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      })) {
    return {};
  }
  return std::string(text);
}

}  // namespace

int HorizontalPixels(int dialogUnits) {
  return MulDiv(dialogUnits, kBaseUnitX, 4);
}

int VerticalPixels(int dialogUnits) {
  return MulDiv(dialogUnits, kBaseUnitY, 8);
}

WindowManager::Window* WindowManager::Find(WindowHandle window) {
  const auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : &found->second;
}

const WindowManager::Window* WindowManager::Find(WindowHandle window) const {
  const auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : &found->second;
}

// Whether `window` is `ancestor` or lies inside it.
bool WindowManager::Contains(WindowHandle ancestor, WindowHandle window) const {
  while (window != kNoWindow) {
    if (window == ancestor) {
      return true;
    }
    const Window* current = Find(window);
    if (!current) {
      return false;
    }
    window = current->parent;
  }
  return false;
}

// What the user can click: shown on the screen, and neither it nor a window it lies in
// disabled (a disabled parent takes the mouse away from its children).
bool WindowManager::ReachableByUser(WindowHandle window) const {
  if (!IsVisible(window)) {
    return false;
  }
  for (const Window* current = Find(window); current; current = Find(current->parent)) {
    if (current->style & kDisabled) {
      return false;
    }
  }
  return true;
}

WindowHandle WindowManager::Make(Window window) {
  const WindowHandle handle = nextHandle_;
  nextHandle_ += 4;
  const WindowHandle parent = window.parent;
  windows_.emplace(handle, std::move(window));
  if (Window* parentWindow = Find(parent)) {
    // A new child goes to the bottom of its siblings, so the tab order is the template's.
    parentWindow->children.push_back(handle);
  } else {
    zOrder_.push_front(handle);
  }
  return handle;
}

WindowHandle WindowManager::MakeDialog(unsigned process, const resources::DialogLayout& layout,
                                       WindowHandle parent, WindowHandle owner,
                                       platform::DialogEvents& events) {
  Window dialog;
  dialog.process = process;
  dialog.layout = layout.id;
  dialog.dialog = true;
  dialog.windowClass = kDialogClass;
  dialog.text = std::string(layout.caption);
  // The dialog manager makes the window hidden and shows it once WM_INITDIALOG is done.
  dialog.style = layout.style & ~kVisible;
  dialog.exStyle = layout.exStyle;
  dialog.events = &events;
  const int width = HorizontalPixels(layout.cx);
  const int height = VerticalPixels(layout.cy);
  const int left = HorizontalPixels(layout.x);
  const int top = VerticalPixels(layout.y);
  if (layout.style & kChild) {
    dialog.parent = parent;
    dialog.rect = {left, top, left + width, top + height};
  } else {
    dialog.owner = owner;
    const int frame = (layout.style & (kCaption | kPopup)) ? kDialogFrame : 0;
    const int caption = (layout.style & kCaption) == kCaption ? kCaptionHeight : 0;
    dialog.rect = {left, top, left + width + 2 * frame, top + height + 2 * frame + caption};
  }
  const WindowHandle handle = Make(std::move(dialog));
  for (const resources::ControlLayout& control : layout.controls) {
    Window window;
    window.process = process;
    window.parent = handle;
    window.windowClass = std::string(control.windowClass);
    window.id = control.id;
    window.text = ControlText(control.text);
    if (SameClass(window.windowClass, kProgressClass)) {
      window.progress = kNewProgress;
    }
    window.style = control.style;
    window.exStyle = control.exStyle;
    const int x = HorizontalPixels(control.x);
    const int y = VerticalPixels(control.y);
    window.rect = {x, y, x + HorizontalPixels(control.cx), y + VerticalPixels(control.cy)};
    Make(std::move(window));
  }
  return handle;
}

// GetNextDlgTabItem from the start: the first control that is visible by its own style,
// enabled and a tab stop, looking into child dialogs that hold controls of their own.
WindowHandle WindowManager::FirstTabStop(WindowHandle dialog) const {
  const Window* window = Find(dialog);
  if (!window) {
    return kNoWindow;
  }
  for (const WindowHandle child : window->children) {
    const Window& control = windows_.at(child);
    if ((control.style & (kVisible | kDisabled)) != kVisible) {
      continue;
    }
    if (control.exStyle & kExControlParent) {
      if (const WindowHandle inner = FirstTabStop(child)) {
        return inner;
      }
    } else if (control.style & kTabStop) {
      return child;
    }
  }
  return kNoWindow;
}

// The focus that WM_INITDIALOG's true asks for. The dialog manager sets it as keyboard
// navigation does, which selects an edit control's whole text.
void WindowManager::GiveDefaultFocus(unsigned process, WindowHandle dialog) {
  const WindowHandle control = FirstTabStop(dialog);
  SetFocus(process, control);
  Window* edit = Find(control);
  if (edit && GetFocus(process) == control && SameClass(edit->windowClass, "Edit")) {
    edit->selectionStart = 0;
    edit->selectionEnd = static_cast<int>(edit->text.size());
  }
}

// The owner takes no input while a modal window runs, and gets it back however the window ends,
// with the focus where it was: the owner is activated again and a dialog restores its focus.
// The modal window goes with its loop.
WindowManager::OwnerHold::OwnerHold(WindowManager& windows, unsigned process, WindowHandle owner,
                                    WindowHandle modal)
    : windows_(windows),
      process_(process),
      owner_(owner),
      modal_(modal),
      focus_(windows.GetFocus(process)),
      disabled_(owner != kNoWindow && windows.IsEnabled(owner)) {
  if (disabled_) {
    windows_.Enable(owner_, false);
  }
}

WindowManager::OwnerHold::~OwnerHold() {
  if (disabled_) {
    windows_.Enable(owner_, true);
  }
  windows_.Destroy(modal_);
  if (windows_.GetFocus(process_) == kNoWindow && windows_.Exists(focus_)) {
    windows_.SetFocus(process_, focus_);
  }
}

int WindowManager::DoModal(unsigned process, unsigned layout, WindowHandle owner,
                           platform::DialogEvents& events) {
  const resources::DialogLayout* found =
      layout <= 0xFFFF ? resources::FindDialog(static_cast<std::uint16_t>(layout)) : nullptr;
  if (!found || (owner != kNoWindow && !Exists(owner))) {
    return -1;
  }
  // The owner of a dialog is always a top-level window.
  while (const Window* ownerWindow = Find(owner)) {
    if (ownerWindow->parent == kNoWindow) {
      break;
    }
    owner = ownerWindow->parent;
  }
  const WindowHandle dialog = MakeDialog(process, *found, kNoWindow, owner, events);
  Find(dialog)->modalRunning = true;

  const OwnerHold hold(*this, process, owner, dialog);

  const bool defaultFocus = events.OnInitDialog(dialog);
  if (!Exists(dialog)) {
    return 0;  // as the dialog manager's loop ends when its window is gone
  }
  if (defaultFocus) {
    GiveDefaultFocus(process, dialog);
  }
  if (!Find(dialog)->ended) {
    Show(dialog, true);
  }
  while (Exists(dialog) && !Find(dialog)->ended) {
    const UserStep step = user_.TakeDialogStep(See(process, dialog, "waits"));
    Apply(process, dialog, step);
  }
  const Window* window = Find(dialog);
  return window ? window->result : 0;
}

void WindowManager::EndDialog(WindowHandle dialog, int result) {
  Window* window = Find(dialog);
  if (!window || !window->modalRunning) {
    return;
  }
  window->ended = true;
  window->result = result;
}

WindowHandle WindowManager::CreateChild(unsigned process, unsigned layout, WindowHandle parent,
                                        platform::DialogEvents& events) {
  const resources::DialogLayout* found =
      layout <= 0xFFFF ? resources::FindDialog(static_cast<std::uint16_t>(layout)) : nullptr;
  if (!found || (parent != kNoWindow && !Exists(parent))) {
    return kNoWindow;
  }
  // A child window needs a parent (ERROR_TLW_WITH_WSCHILD).
  if ((found->style & kChild) && parent == kNoWindow) {
    return kNoWindow;
  }
  const WindowHandle dialog = MakeDialog(process, *found, parent, parent, events);
  const bool defaultFocus = events.OnInitDialog(dialog);
  if (!Exists(dialog)) {
    return kNoWindow;
  }
  // The dialog manager gives the focus for an embedded dialog only when it shows at once.
  if (defaultFocus && (!(found->style & kDsControl) || (found->style & kVisible))) {
    GiveDefaultFocus(process, dialog);
  }
  if (found->style & kVisible) {
    Show(dialog, true);
  }
  return dialog;
}

void WindowManager::Destroy(WindowHandle window) {
  Window* found = Find(window);
  if (!found) {
    return;
  }
  // DestroyWindow hides the window first, which hands the focus to the parent.
  Show(window, false);
  const std::vector<WindowHandle> children = found->children;
  for (const WindowHandle child : children) {
    Destroy(child);
  }
  std::vector<WindowHandle> owned;
  for (const auto& [handle, other] : windows_) {
    if (other.owner == window && other.parent == kNoWindow) {
      owned.push_back(handle);
    }
  }
  for (const WindowHandle handle : owned) {
    Destroy(handle);
  }
  found = Find(window);
  if (Window* parent = found ? Find(found->parent) : nullptr) {
    std::erase(parent->children, window);
  }
  for (auto& [process, state] : processes_) {
    if (state.focus == window) {
      state.focus = kNoWindow;
    }
  }
  browsers_.erase(window);
  std::erase(zOrder_, window);
  windows_.erase(window);
}

bool WindowManager::DestroyWindow(WindowHandle window) {
  if (!Exists(window)) {
    return false;
  }
  Destroy(window);
  return true;
}

WindowHandle WindowManager::GetItem(WindowHandle dialog, int id) const {
  const Window* window = Find(dialog);
  if (!window) {
    return kNoWindow;
  }
  for (const WindowHandle child : window->children) {
    if (windows_.at(child).id == id) {
      return child;
    }
  }
  return kNoWindow;
}

std::string WindowManager::GetText(WindowHandle window) const {
  const Window* found = Find(window);
  return found ? found->text : std::string();
}

void WindowManager::SetText(WindowHandle window, const std::string& text) {
  Window* found = Find(window);
  if (!found) {
    return;
  }
  found->text = text;
  // An edit control's new text starts with the caret at its start, nothing selected.
  found->selectionStart = 0;
  found->selectionEnd = 0;
}

void WindowManager::Show(WindowHandle window, bool show) {
  Window* found = Find(window);
  if (!found) {
    return;
  }
  if (show) {
    found->style |= kVisible;
    if (found->parent == kNoWindow) {
      std::erase(zOrder_, window);
      zOrder_.push_front(window);
    }
    return;
  }
  found->style &= ~kVisible;
  // Hiding the window that has the focus, or one it lies in, hands the focus to the parent.
  const WindowHandle parent = found->parent;
  for (auto& [process, state] : processes_) {
    if (state.focus != kNoWindow && Contains(window, state.focus)) {
      state.focus = parent;
    }
  }
}

bool WindowManager::IsVisible(WindowHandle window) const {
  const Window* found = Find(window);
  if (!found) {
    return false;
  }
  for (; found; found = Find(found->parent)) {
    if (!(found->style & kVisible)) {
      return false;
    }
  }
  return true;
}

void WindowManager::Enable(WindowHandle window, bool enable) {
  Window* found = Find(window);
  if (!found) {
    return;
  }
  if (enable) {
    found->style &= ~kDisabled;
    return;
  }
  found->style |= kDisabled;
  // A disabled window loses the keyboard focus, also when it lies inside it.
  for (auto& [process, state] : processes_) {
    if (state.focus != kNoWindow && Contains(window, state.focus)) {
      state.focus = kNoWindow;
    }
  }
}

bool WindowManager::IsEnabled(WindowHandle window) const {
  const Window* found = Find(window);
  return found && !(found->style & kDisabled);
}

namespace {

bool Checkable(const std::string& windowClass, std::uint32_t style) {
  if (!SameClass(windowClass, "Button")) {
    return false;
  }
  switch (style & kButtonType) {
    case kCheckBox:
    case kAutoCheckBox:
    case kRadioButton:
    case k3State:
    case kAuto3State:
    case kAutoRadioButton:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool WindowManager::IsChecked(WindowHandle button) const {
  const Window* found = Find(button);
  return found && found->checked;
}

void WindowManager::SetCheck(WindowHandle button, bool checked) {
  Window* found = Find(button);
  // Push buttons and other controls keep no check state.
  if (found && Checkable(found->windowClass, found->style)) {
    found->checked = checked;
  }
}

void WindowManager::SetProgressRange(WindowHandle bar, int maximum) {
  Window* found = Find(bar);
  if (found && SameClass(found->windowClass, kProgressClass)) {
    found->progress.maximum = maximum;
    found->progress.position = std::clamp(found->progress.position, 0, std::max(maximum, 0));
  }
}

void WindowManager::SetProgressPosition(WindowHandle bar, int position) {
  Window* found = Find(bar);
  if (found && SameClass(found->windowClass, kProgressClass)) {
    found->progress.position = std::clamp(position, 0, std::max(found->progress.maximum, 0));
  }
}

platform::ProgressState WindowManager::GetProgress(WindowHandle bar) const {
  const Window* found = Find(bar);
  return found ? found->progress : platform::ProgressState{};
}

// SetFocus fails for another thread's window and for one that is disabled or lies in a
// disabled window; SetFocus(nullptr) takes the focus away.
void WindowManager::SetFocus(unsigned process, WindowHandle window) {
  if (window == kNoWindow) {
    processes_[process].focus = kNoWindow;
    return;
  }
  const Window* found = Find(window);
  if (!found || found->process != process) {
    return;
  }
  for (const Window* current = found; current; current = Find(current->parent)) {
    if (current->style & kDisabled) {
      return;
    }
  }
  processes_[process].focus = window;
}

WindowHandle WindowManager::GetFocus(unsigned process) const {
  const auto found = processes_.find(process);
  return found == processes_.end() ? kNoWindow : found->second.focus;
}

// EM_SETSEL as the edit control takes it: positions beyond the text (and any negative end)
// mean its end, a start of -1 removes the selection and leaves the caret where it was.
void WindowManager::SetEditSelection(WindowHandle edit, int start, int end) {
  Window* found = Find(edit);
  if (!found || !SameClass(found->windowClass, "Edit")) {
    return;
  }
  const int length = static_cast<int>(found->text.size());
  if (start == -1) {
    found->selectionStart = found->selectionEnd;
    return;
  }
  const auto clamp = [length](int position) {
    return position < 0 || position > length ? length : position;
  };
  found->selectionStart = clamp(start);
  found->selectionEnd = clamp(end);
}

std::pair<int, int> WindowManager::GetEditSelection(WindowHandle edit) const {
  const Window* found = Find(edit);
  if (!found || !SameClass(found->windowClass, "Edit")) {
    return {0, 0};
  }
  return {std::min(found->selectionStart, found->selectionEnd),
          std::max(found->selectionStart, found->selectionEnd)};
}

platform::Rect WindowManager::GetRectInParent(WindowHandle window) const {
  const Window* found = Find(window);
  return found ? found->rect : platform::Rect{};
}

void WindowManager::PlaceOnTop(WindowHandle window, int x, int y) {
  Window* found = Find(window);
  if (!found) {
    return;
  }
  found->rect = {x, y, x + found->rect.right - found->rect.left,
                 y + found->rect.bottom - found->rect.top};
  found->style |= kVisible;
  if (Window* parent = Find(found->parent)) {
    std::erase(parent->children, window);
    parent->children.insert(parent->children.begin(), window);
  }
}

void WindowManager::SetCursor(unsigned process, platform::Cursor cursor) {
  processes_[process].cursor = cursor;
}

void WindowManager::SetBusy(unsigned process, WindowHandle frame, bool busy) {
  processes_[process].busy = busy;
  if (busy && Exists(frame)) {
    user_.Record(See(process, frame, "busy"));
  }
}

platform::Cursor WindowManager::CursorOf(unsigned process) const {
  const auto found = processes_.find(process);
  return found == processes_.end() ? platform::Cursor::Arrow : found->second.cursor;
}

bool WindowManager::IsBusy(unsigned process) const {
  const auto found = processes_.find(process);
  return found != processes_.end() && found->second.busy;
}

SeenWindow WindowManager::SeeWindow(const Window& window, WindowHandle focus) const {
  SeenWindow seen{window.layout, window.text, (window.style & kVisible) != 0, window.rect, {}};
  for (const WindowHandle child : window.children) {
    const Window& control = windows_.at(child);
    if (control.dialog) {
      continue;
    }
    seen.controls.push_back({control.id, control.windowClass, control.text,
                             (control.style & kVisible) != 0, !(control.style & kDisabled),
                             control.checked, child == focus, control.rect, control.progress});
  }
  return seen;
}

SeenDialog WindowManager::See(unsigned process, WindowHandle dialog,
                              const std::string& moment) const {
  SeenDialog seen;
  seen.processId = process;
  seen.moment = moment;
  seen.cursor = CursorOf(process);
  seen.busy = IsBusy(process);
  const Window* window = Find(dialog);
  if (!window) {
    return seen;
  }
  const WindowHandle focus = GetFocus(process);
  seen.frame = SeeWindow(*window, focus);
  for (const WindowHandle child : window->children) {
    const Window& page = windows_.at(child);
    if (page.dialog) {
      seen.pages.push_back(SeeWindow(page, focus));
    }
  }
  return seen;
}

// The control a step aims at: the topmost one with the id, in the modal dialog's visible child
// dialogs first, then in the dialog itself, of a kind the step can use and reachable by the
// user.
WindowHandle WindowManager::FindForUser(WindowHandle dialog, const UserStep& step) {
  const auto fits = [&](const Window& control) {
    if (step.kind == UserStep::Kind::Type) {
      return SameClass(control.windowClass, "Edit");
    }
    if (!SameClass(control.windowClass, "Button") || (control.style & kButtonType) == kGroupBox) {
      return false;
    }
    return step.kind != UserStep::Kind::Tick || Checkable(control.windowClass, control.style);
  };
  std::vector<WindowHandle> places;
  for (const WindowHandle child : Find(dialog)->children) {
    if (windows_.at(child).dialog && IsVisible(child)) {
      places.push_back(child);
    }
  }
  places.push_back(dialog);
  std::string refused;
  for (const WindowHandle place : places) {
    for (const WindowHandle child : windows_.at(place).children) {
      const Window& control = windows_.at(child);
      if (control.dialog || control.id != step.id) {
        continue;
      }
      std::string why;
      if (!fits(control)) {
        why = "control " + std::to_string(step.id) + " is a " + control.windowClass +
              " the step cannot use";
      } else if (!IsVisible(child)) {
        why = "control " + std::to_string(step.id) + " \"" + control.text + "\" is hidden";
      } else if (!ReachableByUser(child)) {
        why = "control " + std::to_string(step.id) + " \"" + control.text + "\" is disabled";
      } else if (step.kind == UserStep::Kind::Type && (control.style & kEditReadOnly)) {
        why = "edit control " + std::to_string(step.id) + " is read-only";
      } else {
        return child;
      }
      if (refused.empty()) {
        refused = why;
      }
    }
  }
  if (refused.empty()) {
    refused = "there is no control " + std::to_string(step.id) + " on the visible pages";
  }
  throw ScriptError("the user cannot do " + Describe(step) + " in dialog " +
                    std::to_string(windows_.at(dialog).layout) + ": " + refused + "\n" +
                    Describe(See(windows_.at(dialog).process, dialog, "waits")));
}

// WM_COMMAND with BN_CLICKED to the dialog's procedure.
void WindowManager::Command(WindowHandle dialog, int id) {
  const Window* window = Find(dialog);
  if (window && window->events) {
    window->events->OnCommand(id);
  }
}

// A mouse click on a button: it takes the focus, an automatic check box or radio button
// changes its state, and its dialog hears of it.
void WindowManager::Click(unsigned process, WindowHandle control) {
  SetFocus(process, control);
  Window& button = windows_.at(control);
  switch (button.style & kButtonType) {
    case kAutoCheckBox:
    case kAuto3State:
      button.checked = !button.checked;
      break;
    case kAutoRadioButton: {
      // The group runs from the nearest control at or before it that starts one (WS_GROUP)
      // up to the next that starts another.
      const std::vector<WindowHandle>& siblings = windows_.at(button.parent).children;
      const auto at = std::find(siblings.begin(), siblings.end(), control);
      auto first = at;
      while (first != siblings.begin() && !(windows_.at(*first).style & kGroup)) {
        --first;
      }
      for (auto member = first; member != siblings.end(); ++member) {
        Window& other = windows_.at(*member);
        if (member != first && (other.style & kGroup)) {
          break;
        }
        if (SameClass(other.windowClass, "Button") &&
            (other.style & kButtonType) == kAutoRadioButton) {
          other.checked = *member == control;
        }
      }
      break;
    }
    default:
      break;
  }
  Command(button.parent, button.id);
}

void WindowManager::Apply(unsigned process, WindowHandle dialog, const UserStep& step) {
  switch (step.kind) {
    case UserStep::Kind::Press:
    case UserStep::Kind::Tick:
      Click(process, FindForUser(dialog, step));
      return;
    case UserStep::Kind::Type: {
      const WindowHandle edit = FindForUser(dialog, step);
      SetFocus(process, edit);
      Window& window = windows_.at(edit);
      window.text = step.text;
      window.selectionStart = window.selectionEnd = static_cast<int>(step.text.size());
      return;
    }
    case UserStep::Kind::PressKey:
      if (step.key == Key::Enter) {
        // Enter goes to the default button when it is enabled; with none, IDOK is sent.
        int id = platform::kIdOk;
        for (const WindowHandle child : windows_.at(dialog).children) {
          const Window& control = windows_.at(child);
          if (SameClass(control.windowClass, "Button") &&
              (control.style & kButtonType) == kDefPushButton) {
            if (control.style & kDisabled) {
              return;  // Windows beeps
            }
            id = control.id;
            break;
          }
        }
        Command(dialog, id);
      } else {
        Command(dialog, platform::kIdCancel);
      }
      return;
    case UserStep::Kind::CloseBox:
      Command(dialog, platform::kIdCancel);
      return;
    case UserStep::Kind::Do:
      step.check();
      return;
    default:
      return;  // TakeDialogStep gives dialog steps only
  }
}

platform::BrowseResult WindowManager::BrowseForFolder(unsigned process, WindowHandle owner,
                                                      const std::string& title, std::uint32_t flags,
                                                      platform::BrowseEvents& events) {
  Window window;
  window.process = process;
  window.dialog = true;
  window.windowClass = kDialogClass;
  window.text = "Browse for Folder";
  window.style = kPopup | kCaption | kSysMenu | kVisible;
  window.owner = Exists(owner) ? owner : kNoWindow;
  const WindowHandle browser = Make(std::move(window));
  browsers_[browser] = user_.Record(ShownBrowser{process, owner, title, flags, {}});

  const OwnerHold hold(*this, process, owner, browser);

  events.OnBrowserInitialized(browser);
  const std::string waiting =
      "the folder browser \"" + title + "\" of process " + std::to_string(process);
  const FileSystem::Acting acting(files_, process);
  while (true) {
    const UserStep step = user_.TakeBrowseStep(waiting);
    const auto refuse = [&](const std::string& why) {
      return ScriptError(waiting + " cannot take " + Describe(step) + ": " + why);
    };
    const auto isFolder = [&](const std::string& path) {
      const std::uint32_t attributes = files_.GetFileAttributes(path);
      return attributes != platform::kInvalidFileAttributes &&
             (attributes & platform::kAttributeDirectory);
    };
    switch (step.kind) {
      case UserStep::Kind::BrowseChoose:
      case UserStep::Kind::BrowseMakeFolder: {
        if (step.kind == UserStep::Kind::BrowseMakeFolder) {
          if (!(flags & platform::kBrowseNewDialogStyle)) {
            throw refuse("only the new dialog style has a \"Make New Folder\" button");
          }
          const std::string full = files_.FullPath(step.text);
          const std::size_t slash = full.find_last_of('\\');
          if (slash == std::string::npos || slash + 1 == full.size() ||
              !isFolder(full.substr(0, slash == 2 ? 3 : slash))) {
            throw refuse("no folder to make it in");
          }
          if (files_.Exists(full)) {
            throw refuse("something of that name is there already");
          }
          files_.CreateFolders(full);
        }
        if (!isFolder(step.text)) {
          throw refuse("there is no such folder on the disk");
        }
        std::optional<std::string> path = files_.SpelledPath(step.text);
        // SHGetPathFromIDListA fills a buffer of MAX_PATH characters and fails beyond it.
        if (path && path->size() >= 260) {
          path.reset();
        }
        return {true, path};
      }
      case UserStep::Kind::BrowseTypeInvalid:
        if (!(flags & platform::kBrowseEditBox)) {
          throw refuse("the browser has no edit box");
        }
        if (!(flags & platform::kBrowseValidate)) {
          throw refuse("the browser does not validate typed names");
        }
        if (isFolder(step.text)) {
          throw refuse("that name is a folder");
        }
        if (!events.OnValidateFailed(browser, step.text)) {
          return {false, std::nullopt};
        }
        break;
      case UserStep::Kind::BrowseCancel:
        return {false, std::nullopt};
      default:
        throw refuse("not a browse answer");  // TakeBrowseStep gives browse answers only
    }
  }
}

void WindowManager::BrowseSelect(WindowHandle browser, const std::string& path) {
  const auto found = browsers_.find(browser);
  if (found != browsers_.end()) {
    user_.RecordSelection(found->second, path);
  }
}

std::vector<WindowHandle> WindowManager::TopLevelWindows() const {
  return {zOrder_.begin(), zOrder_.end()};
}

unsigned WindowManager::ProcessOf(WindowHandle window) const {
  const Window* found = Find(window);
  return found ? found->process : 0;
}

WindowHandle WindowManager::OwnerOf(WindowHandle window) const {
  const Window* found = Find(window);
  return found && found->parent == kNoWindow ? found->owner : kNoWindow;
}

std::uint32_t WindowManager::ExStyleOf(WindowHandle window) const {
  const Window* found = Find(window);
  return found ? found->exStyle : 0;
}

WindowHandle WindowManager::CreateTopLevel(unsigned process, const std::string& title,
                                           WindowHandle owner, std::uint32_t exStyle) {
  if (owner != kNoWindow && !Exists(owner)) {
    return kNoWindow;
  }
  // As with dialogs, an owner is always a top-level window.
  while (const Window* ownerWindow = Find(owner)) {
    if (ownerWindow->parent == kNoWindow) {
      break;
    }
    owner = ownerWindow->parent;
  }
  Window window;
  window.process = process;
  window.windowClass = "SimMainWindow";
  window.text = title;
  window.style = kPopup | kCaption | kSysMenu | kVisible;
  window.exStyle = exStyle;
  window.owner = owner;
  window.rect = {0, 0, 640, 480};
  return Make(std::move(window));
}

void WindowManager::ProcessEnded(unsigned process) {
  std::vector<WindowHandle> ended;
  for (const auto& [handle, window] : windows_) {
    if (window.process == process && window.parent == kNoWindow) {
      ended.push_back(handle);
    }
  }
  for (const WindowHandle handle : ended) {
    Destroy(handle);
  }
  // A child of another process's window goes with its own process too.
  ended.clear();
  for (const auto& [handle, window] : windows_) {
    if (window.process == process) {
      ended.push_back(handle);
    }
  }
  for (const WindowHandle handle : ended) {
    Destroy(handle);
  }
  processes_.erase(process);
}

void WindowManager::Clear() {
  windows_.clear();
  zOrder_.clear();
  processes_.clear();
  browsers_.clear();
}

}  // namespace sim
