#include "conformance/backend.h"
#include "platform/win32/win32_platform.h"

namespace conformance {
namespace {

class Win32Backend final : public Backend {
 public:
  platform::Platform& Get() override { return platform_.Get(); }
  std::string ProgramFileName() const override { return "conformance.exe"; }

 private:
  platform::win32::Win32Platform platform_;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<Win32Backend>();
}

}  // namespace conformance
