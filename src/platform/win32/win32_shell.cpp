#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <shellapi.h>

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

void Win32Shell::ChangeNotify(std::int32_t event, std::uint32_t flags) {
  auto* const changeNotify =
      SystemEntry<decltype(::SHChangeNotify)>("shell32.dll", "SHChangeNotify");
  if (changeNotify != nullptr) {
    changeNotify(static_cast<LONG>(event), static_cast<UINT>(flags), nullptr, nullptr);
  }
}

}  // namespace platform::win32
