// The Windows build's program files as bytes, for the checks that read them on the host.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "bench.h"
#include "pe_file.h"

namespace e2e {

// The Windows build's program file; a missing one fails in CI and skips elsewhere.
inline std::optional<std::string> BuiltProgram(const std::string& name) {
  const std::string path = std::string(E2E_WIN32_BUILD_DIR) + "/" + name;
  std::optional<std::string> image = pe::ReadFile(path);
  if (!image) {
    if (InCi()) {
      ADD_FAILURE() << path << " is missing: build the win32 preset first";
    } else {
      [&] { GTEST_SKIP() << path << " is missing: build the win32 preset first"; }();
    }
  }
  return image;
}

}  // namespace e2e
