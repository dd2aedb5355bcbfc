#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>

#include <string>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

// Spelled out here so that the program needs no import library of interface identifiers.
constexpr GUID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kClsidShellWindows = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
constexpr GUID kIidShellWindows = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
constexpr GUID kIidServiceProvider = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
constexpr GUID kSidTopLevelBrowser = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
constexpr GUID kIidShellBrowser = {
    0x000214E2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellFolderViewDual = {
    0xE7A1AF80, 0x4D96, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
constexpr GUID kIidShellDispatch2 = {
    0xA4C6892C, 0x3BA9, 0x11D2, {0x9D, 0xEA, 0x00, 0xC0, 0x4F, 0xB1, 0x61, 0x62}};

// An interface pointer released when it goes.
template <typename Interface>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (pointer_ != nullptr) {
      pointer_->Release();
    }
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  Interface** Put() { return &pointer_; }
  void** PutVoid() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

// An automation string of ANSI text, freed when it goes; null when the text cannot be had.
class AutomationString {
 public:
  explicit AutomationString(const std::string& text) {
    auto* const allocate =
        SystemEntry<decltype(::SysAllocStringLen)>("oleaut32.dll", "SysAllocStringLen");
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (allocate == nullptr || (length == 0 && !text.empty())) {
      return;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    string_ = allocate(wide.data(), static_cast<UINT>(length));
  }
  ~AutomationString() {
    if (string_ != nullptr) {
      if (auto* const release =
              SystemEntry<decltype(::SysFreeString)>("oleaut32.dll", "SysFreeString")) {
        release(string_);
      }
    }
  }
  AutomationString(const AutomationString&) = delete;
  AutomationString& operator=(const AutomationString&) = delete;

  BSTR Get() const { return string_; }

  // The string as an argument of an automation call; an empty text as no argument at all.
  VARIANT AsArgument() const {
    VARIANT argument = {};
    if (string_ != nullptr && string_[0] != L'\0') {
      argument.vt = VT_BSTR;
      argument.bstrVal = string_;
    }
    return argument;
  }

 private:
  BSTR string_ = nullptr;
};

// The shell's automation object of the desktop's folder view, whose ShellExecute the desktop's
// process (Explorer) carries out; false when there is no desktop or a step refuses.
bool DesktopShellDispatch(Held<IShellDispatch2>& dispatch) {
  auto* const createInstance =
      SystemEntry<decltype(::CoCreateInstance)>("ole32.dll", "CoCreateInstance");
  Held<IShellWindows> windows;
  if (createInstance == nullptr ||
      FAILED(createInstance(kClsidShellWindows, nullptr, CLSCTX_LOCAL_SERVER, kIidShellWindows,
                            windows.PutVoid())) ||
      !windows) {
    return false;
  }
  VARIANT desktop = {};
  desktop.vt = VT_I4;
  desktop.lVal = CSIDL_DESKTOP;
  VARIANT noRoot = {};
  long window = 0;
  Held<IDispatch> browserObject;
  // S_FALSE, a success code, says that no desktop window was found.
  if (windows->FindWindowSW(&desktop, &noRoot, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                            browserObject.Put()) != S_OK ||
      !browserObject) {
    return false;
  }
  Held<IServiceProvider> services;
  Held<IShellBrowser> browser;
  Held<IShellView> view;
  Held<IDispatch> background;
  Held<IShellFolderViewDual> folderView;
  Held<IDispatch> application;
  return SUCCEEDED(browserObject->QueryInterface(kIidServiceProvider, services.PutVoid())) &&
         services &&
         SUCCEEDED(
             services->QueryService(kSidTopLevelBrowser, kIidShellBrowser, browser.PutVoid())) &&
         browser && SUCCEEDED(browser->QueryActiveShellView(view.Put())) && view &&
         SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, kIidDispatch, background.PutVoid())) &&
         background &&
         SUCCEEDED(background->QueryInterface(kIidShellFolderViewDual, folderView.PutVoid())) &&
         folderView && SUCCEEDED(folderView->get_Application(application.Put())) && application &&
         SUCCEEDED(application->QueryInterface(kIidShellDispatch2, dispatch.PutVoid())) && dispatch;
}

class Win32ShellLink final : public ShellLink {
 public:
  Win32ShellLink(IShellLinkA* link, IPersistFile* file) : link_(link), file_(file) {}
  ~Win32ShellLink() override {
    file_->Release();
    link_->Release();
  }
  Win32ShellLink(const Win32ShellLink&) = delete;
  Win32ShellLink& operator=(const Win32ShellLink&) = delete;

  // S_FALSE, the answer for a target that does not exist (yet), is no failure: the link keeps
  // the path all the same.
  bool SetPath(const std::string& target) override {
    return SUCCEEDED(link_->SetPath(target.c_str()));
  }
  bool SetDescription(const std::string& description) override {
    return SUCCEEDED(link_->SetDescription(description.c_str()));
  }
  bool SetWorkingDirectory(const std::string& folder) override {
    return SUCCEEDED(link_->SetWorkingDirectory(folder.c_str()));
  }
  // A failure leaves its HRESULT as the thread's last error, set after the painting, which
  // may change it.
  bool Save(const std::string& path) override {
    WCHAR wide[MAX_PATH];
    // -1 converts the terminator too, so a path that does not fit with it fails here.
    if (::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) {
      ::SetLastError(HresultFromWin32(static_cast<long>(::GetLastError())));
      return false;
    }
    KeepBusyWindowsPainting();
    const HRESULT result = file_->Save(wide, TRUE);
    KeepBusyWindowsPainting();
    if (FAILED(result)) {
      ::SetLastError(static_cast<DWORD>(result));
      return false;
    }
    return true;
  }

 private:
  IShellLinkA* link_;
  IPersistFile* file_;
};

}  // namespace

void InitialiseOle() {
  // Links and browsers may come at any time, and undoing it at exit buys nothing. One call per
  // thread: OleInitialize initialises COM itself.
  static bool initialised = false;
  if (!initialised) {
    initialised = true;
    if (auto* oleInitialize =
            SystemEntry<decltype(::OleInitialize)>("ole32.dll", "OleInitialize")) {
      oleInitialize(nullptr);
    }
  }
}

std::unique_ptr<ShellLink> Win32Shell::CreateShellLink() {
  InitialiseOle();
  auto* const createInstance =
      SystemEntry<decltype(::CoCreateInstance)>("ole32.dll", "CoCreateInstance");
  void* link = nullptr;
  if (createInstance == nullptr ||
      FAILED(
          createInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, &link)) ||
      link == nullptr) {
    return nullptr;
  }
  auto* shellLink = static_cast<IShellLinkA*>(link);
  void* file = nullptr;
  if (FAILED(shellLink->QueryInterface(kIidPersistFile, &file)) || file == nullptr) {
    shellLink->Release();
    return nullptr;
  }
  return std::make_unique<Win32ShellLink>(shellLink, static_cast<IPersistFile*>(file));
}

bool Win32Shell::Open(const std::string& file) {
  auto* const shellExecute = SystemEntry<decltype(::ShellExecuteA)>("shell32.dll", "ShellExecuteA");
  // ShellExecuteA reports success with a value above 32.
  return shellExecute != nullptr &&
         reinterpret_cast<INT_PTR>(
             shellExecute(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool Win32Shell::OpenFromDesktop(const std::string& file, const std::string& folder) {
  InitialiseOle();
  Held<IShellDispatch2> dispatch;
  if (!DesktopShellDispatch(dispatch)) {
    return false;
  }
  const AutomationString path(file);
  const AutomationString directory(folder);
  const AutomationString verb("open");
  if (path.Get() == nullptr || verb.Get() == nullptr) {
    return false;
  }
  VARIANT show = {};
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(dispatch->ShellExecute(path.Get(), VARIANT{}, directory.AsArgument(),
                                          verb.AsArgument(), show));
}

void Win32Shell::ChangeNotify(std::int32_t event, std::uint32_t flags) {
  auto* const changeNotify =
      SystemEntry<decltype(::SHChangeNotify)>("shell32.dll", "SHChangeNotify");
  if (changeNotify != nullptr) {
    changeNotify(static_cast<LONG>(event), static_cast<UINT>(flags), nullptr, nullptr);
  }
}

}  // namespace platform::win32
