#include "conformance/backend.h"
#include "platform/sim/machine.h"

namespace conformance {
namespace {

class SimBackend final : public Backend {
 public:
  platform::Platform& Get() override { return process_.GetPlatform(); }
  std::string ProgramFileName() const override { return "conformance.exe"; }

 private:
  sim::Machine machine_;
  sim::Process& process_ =
      machine_.StartProcess({"C:\\Build\\Tests\\conformance.exe", {}, "conformance.exe"});
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<SimBackend>();
}

}  // namespace conformance
