// Reading a shortcut file back through the shell's own link object, as the setup program wrote
// it: the ANSI interface, so that the texts come back exactly as an ANSI program stored them
// (the working folder "%APPDATA%" unexpanded).

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "commands.h"
#include "output.h"

namespace uiauto {
namespace {

std::wstring FromAnsi(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) {
    return std::wstring();
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

template <typename Interface>
struct Released {
  Interface* p = nullptr;
  ~Released() {
    if (p != nullptr) {
      p->Release();
    }
  }
};

}  // namespace

int ReadShortcut(const Options& options) {
  if (FAILED(CoInitialize(nullptr))) {
    ReportError("CoInitialize failed");
    return kExitFailed;
  }
  int result = kExitFailed;
  {
    Released<IShellLinkA> link;
    Released<IPersistFile> file;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, reinterpret_cast<void**>(&link.p));
    if (SUCCEEDED(status)) {
      status = link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p));
    }
    if (SUCCEEDED(status)) {
      status = file.p->Load(options.module.c_str(), STGM_READ);
    }
    if (FAILED(status)) {
      ReportError("the shortcut cannot be loaded", static_cast<unsigned long>(status));
    } else {
      // Raw: the stored path, not one the shell looked up again for a moved target.
      char target[MAX_PATH * 2] = {};
      char folder[MAX_PATH * 2] = {};
      char arguments[MAX_PATH * 2] = {};
      char description[MAX_PATH * 2] = {};
      link.p->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
      link.p->GetWorkingDirectory(folder, sizeof folder);
      link.p->GetArguments(arguments, sizeof arguments);
      link.p->GetDescription(description, sizeof description);
      Record("shortcut")
          .Text("path", std::wstring_view(options.module))
          .Text("target", std::wstring_view(FromAnsi(target)))
          .Text("workdir", std::wstring_view(FromAnsi(folder)))
          .Text("arguments", std::wstring_view(FromAnsi(arguments)))
          .Text("description", std::wstring_view(FromAnsi(description)))
          .Print();
      result = kExitOk;
    }
  }
  CoUninitialize();
  return result;
}

}  // namespace uiauto
