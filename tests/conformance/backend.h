// The platform under test: the simulated machine on the host, the real Windows calls in
// conformance.exe. Each test gets a fresh backend.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace conformance {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual platform::Platform& Get() = 0;
  // The file name of the program that runs the tests, as it lies on disk.
  virtual std::string ProgramFileName() const = 0;
};

std::unique_ptr<Backend> MakeBackend();

}  // namespace conformance
