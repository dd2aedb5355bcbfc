// The list of the product's running programs, in named shared memory that every one of them
// (the product itself, this setup and uninstall program, any further copies) joins when it
// starts and leaves when it ends. The names, the layout, the lock and the two notifications are
// shared with the product's own programs and must not change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Posted to the main windows of the programs already listed, with the id of the one that has
// just joined or left as the second parameter.
inline constexpr unsigned kInstanceAddedMessage = 1946;
inline constexpr unsigned kInstanceRemovedMessage = 1947;

class COXInstanceManager {
 public:
  // Opens or creates the named objects and lists the calling process.
  explicit COXInstanceManager(platform::Platform& platform);
  // Unlists the calling process and lets go of the named objects. A process ended from outside,
  // or one that replaces itself, never gets here and stays listed.
  ~COXInstanceManager();
  COXInstanceManager(const COXInstanceManager&) = delete;
  COXInstanceManager& operator=(const COXInstanceManager&) = delete;

  // Whether both named locks could be had. Without them nothing may touch the list; the
  // program must end before it changes anything.
  bool HasLocks() const;

  // The listed programs, the caller included; 0 when the list is unavailable.
  int CountInstances();
  // The listed process ids in the order they joined; false (and `ids` unchanged) when the list
  // is unavailable.
  bool ListInstances(std::vector<std::uint32_t>& ids);
  // The first top-level window of the process, in the system's order, that has no owner, is no
  // tool window and whose title begins with "Pictavo"; kNoWindow when there is none.
  platform::WindowHandle FindMainWindow(unsigned processId);
  // Appends the id (again, if it is there already) after telling the listed programs; false
  // when the list is full or unavailable.
  bool RegisterProcess(unsigned processId);
  // Removes the first entry of the id, keeping the others in order, then tells the rest; false
  // when the id is not listed or the list is unavailable.
  bool UnregisterProcess(unsigned processId);

 private:
  // Runs `change` on the mapped list part while holding the list lock; false when the list
  // part cannot be mapped.
  template <typename Change>
  bool WithList(Change change);
  void ResetInstanceList();
  void Notify(const std::uint8_t* list, unsigned message, unsigned processId);

  platform::Session& session_;
  std::string listName_;
  std::uint32_t listLength_;
  std::uint32_t additionalLength_;
  platform::KernelHandle listLock_ = platform::kNoHandle;
  platform::KernelHandle additionalLock_ = platform::kNoHandle;
  platform::KernelHandle region_ = platform::kNoHandle;
  std::uint8_t* listView_ = nullptr;
  std::uint8_t* additionalView_ = nullptr;  // never mapped here: the other programs' part
};

// The shared list's layout: a header word, the count, then the entries, each a little-endian
// 32-bit word. Pure, so that the layout has one home.
namespace instance_list {

inline constexpr std::uint32_t kMaxEntries = 1000;
inline constexpr std::uint32_t kHeaderOffset = 0;
inline constexpr std::uint32_t kCountOffset = 4;
inline constexpr std::uint32_t kEntriesOffset = 8;
inline constexpr std::uint32_t kUsedLength = kEntriesOffset + 4 * kMaxEntries;  // 4008

std::uint32_t ReadWord(const std::uint8_t* bytes, std::uint32_t offset);
void WriteWord(std::uint8_t* bytes, std::uint32_t offset, std::uint32_t value);
// `length` rounded up to a whole multiple of `granularity`.
std::uint32_t RoundUp(std::uint32_t length, std::uint32_t granularity);

}  // namespace instance_list
