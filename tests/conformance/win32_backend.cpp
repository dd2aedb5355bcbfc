#include <windows.h>

#include <cstdio>

#include "conformance/backend.h"
#include "platform/win32/win32_platform.h"

namespace conformance {
namespace {

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

 private:
  platform::win32::Win32Platform platform_;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<Win32Backend>();
}

}  // namespace conformance
