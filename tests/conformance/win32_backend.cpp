#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "conformance/backend.h"
#include "platform/win32/win32_platform.h"

namespace conformance {
namespace {

constexpr GUID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class Win32Backend final : public Backend {
 public:
  platform::Platform& Get() override { return platform_.Get(); }
  std::string ProgramFileName() const override { return "conformance.exe"; }

  bool WriteBytes(const std::string& path, const std::string& bytes) override {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
  }

  std::optional<std::string> ReadBytes(const std::string& path) override {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      bytes.append(buffer, count);
    }
    std::fclose(file);
    return bytes;
  }

  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }
  bool SetEnvironmentVariable(const std::string& name, const std::string& value) override {
    return ::_putenv((name + "=" + value).c_str()) == 0;
  }

  std::optional<SavedShortcut> ReadShortcut(const std::string& path) override {
    ::CoInitialize(nullptr);  // the program's shell links keep it initialised anyway
    void* object = nullptr;
    if (FAILED(::CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                  &object))) {
      return std::nullopt;
    }
    auto* link = static_cast<IShellLinkA*>(object);
    void* fileObject = nullptr;
    if (FAILED(link->QueryInterface(kIidPersistFile, &fileObject))) {
      link->Release();
      return std::nullopt;
    }
    auto* file = static_cast<IPersistFile*>(fileObject);
    std::optional<SavedShortcut> shortcut;
    WCHAR wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) != 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
      // Raw: the stored path as it was set, not resolved against the disk.
      // One more than the calls are told, so that a text cut at the buffer's end stays ended.
      char target[MAX_PATH + 1] = {};
      char folder[MAX_PATH + 1] = {};
      char description[INFOTIPSIZE + 1] = {};
      if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
          SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)) &&
          SUCCEEDED(link->GetDescription(description, INFOTIPSIZE))) {
        shortcut = SavedShortcut{target, folder, description};
      }
    }
    file->Release();
    link->Release();
    return shortcut;
  }

 private:
  platform::win32::Win32Platform platform_;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<Win32Backend>();
}

}  // namespace conformance
