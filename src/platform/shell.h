// The Windows shell.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr std::int32_t kShellEventAssociationChanged = 0x08000000;  // SHCNE_ASSOCCHANGED
inline constexpr std::uint32_t kShellNotifyIdList = 0x0000;                // SHCNF_IDLIST

class Shell {
 public:
  virtual ~Shell() = default;

  // SHChangeNotify without items: tells the shell that something it shows has changed.
  virtual void ChangeNotify(std::int32_t event, std::uint32_t flags) = 0;
};

}  // namespace platform
