#include "app/run_mode.h"

#include <cstddef>

std::string ProgramFilePath(const std::string& moduleFileName) {
  constexpr std::size_t kPathCapacity = 260;
  return moduleFileName.substr(0, kPathCapacity - 1);
}
