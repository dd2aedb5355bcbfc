#include "instances/instance_manager.h"

namespace {

constexpr char kListName[] = "Corvantis.Pictavo-DX.v4";
constexpr char kListLockPrefix[] = "COXInstanceManager_InstanceList_Mutex_";
constexpr char kAdditionalLockPrefix[] = "COXInstanceManager_Additional_Mutex_";
constexpr char kRegionPrefix[] = "COXInstanceManager_FileMap_";
constexpr std::uint32_t kAdditionalUsedLength = 1024;
constexpr char kMainWindowTitle[] = "Pictavo";
constexpr std::size_t kTitleBuffer = 512;

using instance_list::kCountOffset;
using instance_list::kEntriesOffset;
using instance_list::kHeaderOffset;
using instance_list::kMaxEntries;
using instance_list::ReadWord;
using instance_list::WriteWord;

std::uint32_t Entry(const std::uint8_t* list, std::uint32_t index) {
  return ReadWord(list, kEntriesOffset + 4 * index);
}
void SetEntry(std::uint8_t* list, std::uint32_t index, std::uint32_t processId) {
  WriteWord(list, kEntriesOffset + 4 * index, processId);
}
// The count as the list holds it, kept within the entries there are: another program's
// damaged list must not make this one read or write beyond them.
std::uint32_t Count(const std::uint8_t* list) {
  const std::uint32_t count = ReadWord(list, kCountOffset);
  return count < kMaxEntries ? count : kMaxEntries;
}

}  // namespace

namespace instance_list {

std::uint32_t ReadWord(const std::uint8_t* bytes, std::uint32_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

void WriteWord(std::uint8_t* bytes, std::uint32_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::uint32_t RoundUp(std::uint32_t length, std::uint32_t granularity) {
  if (granularity == 0) {
    return length;
  }
  return (length + granularity - 1) / granularity * granularity;
}

}  // namespace instance_list

COXInstanceManager::COXInstanceManager(platform::Platform& platform)
    : session_(platform.session),
      listName_(kListName),
      listLength_(instance_list::kUsedLength),
      additionalLength_(kAdditionalUsedLength) {
  listLock_ = session_.CreateMutex(kListLockPrefix + listName_);
  additionalLock_ = session_.CreateMutex(kAdditionalLockPrefix + listName_);
  if (!HasLocks()) {
    return;
  }
  const std::uint32_t granularity = session_.AllocationGranularity();
  listLength_ = instance_list::RoundUp(listLength_, granularity);
  additionalLength_ = instance_list::RoundUp(additionalLength_, granularity);

  // The lock is held from the region's creation to its reset: a program that opens the new
  // region in between and lists itself would otherwise lose its entry to the reset.
  session_.WaitForMutex(listLock_);
  bool alreadyExisted = false;
  region_ = session_.CreateSharedMemory(kRegionPrefix + listName_, listLength_ + additionalLength_,
                                        alreadyExisted);
  if (region_ != platform::kNoHandle && !alreadyExisted) {
    ResetInstanceList();
  }
  session_.ReleaseMutex(listLock_);
  RegisterProcess(session_.CurrentProcessId());
}

COXInstanceManager::~COXInstanceManager() {
  if (HasLocks()) {
    UnregisterProcess(session_.CurrentProcessId());
  }
  if (additionalView_ != nullptr) {
    session_.UnmapView(additionalView_);
  }
  for (platform::KernelHandle handle : {region_, additionalLock_, listLock_}) {
    if (handle != platform::kNoHandle) {
      session_.CloseHandle(handle);
    }
  }
}

bool COXInstanceManager::HasLocks() const {
  return listLock_ != platform::kNoHandle && additionalLock_ != platform::kNoHandle;
}

template <typename Change>
bool COXInstanceManager::WithList(Change change) {
  if (region_ == platform::kNoHandle) {
    return false;
  }
  listView_ = session_.MapView(region_, 0, listLength_);
  if (listView_ == nullptr) {
    return false;
  }
  session_.WaitForMutex(listLock_);
  change(listView_);
  session_.UnmapView(listView_);
  listView_ = nullptr;
  session_.ReleaseMutex(listLock_);
  return true;
}

void COXInstanceManager::ResetInstanceList() {
  WithList([](std::uint8_t* list) {
    WriteWord(list, kHeaderOffset, 1);
    WriteWord(list, kCountOffset, 0);
    for (std::uint32_t i = 0; i < kMaxEntries; ++i) {
      SetEntry(list, i, 0);
    }
  });
}

int COXInstanceManager::CountInstances() {
  std::uint32_t count = 0;
  WithList([&](std::uint8_t* list) { count = Count(list); });
  return static_cast<int>(count);
}

bool COXInstanceManager::ListInstances(std::vector<std::uint32_t>& ids) {
  return WithList([&](std::uint8_t* list) {
    ids.resize(Count(list));
    for (std::uint32_t i = 0; i < ids.size(); ++i) {
      ids[i] = Entry(list, i);
    }
  });
}

platform::WindowHandle COXInstanceManager::FindMainWindow(unsigned processId) {
  for (platform::WindowHandle window : session_.TopLevelWindows()) {
    if (session_.WindowProcessId(window) != processId ||
        session_.WindowOwner(window) != platform::kNoWindow ||
        (session_.WindowExStyle(window) & platform::kExStyleToolWindow) != 0) {
      continue;
    }
    if (session_.WindowTitle(window, kTitleBuffer).rfind(kMainWindowTitle, 0) == 0) {
      return window;
    }
  }
  return platform::kNoWindow;
}

void COXInstanceManager::Notify(const std::uint8_t* list, unsigned message, unsigned processId) {
  // Posted, never sent, while the lock is held: a listed program that does not answer must not
  // hold up the others.
  for (std::uint32_t i = 0; i < Count(list); ++i) {
    const platform::WindowHandle window = FindMainWindow(Entry(list, i));
    if (window != platform::kNoWindow) {
      session_.PostMessage(window, message, 0, static_cast<std::intptr_t>(processId));
    }
  }
}

bool COXInstanceManager::RegisterProcess(unsigned processId) {
  bool added = false;
  WithList([&](std::uint8_t* list) {
    const std::uint32_t count = Count(list);
    if (count >= kMaxEntries) {
      return;
    }
    Notify(list, kInstanceAddedMessage, processId);
    SetEntry(list, count, processId);
    WriteWord(list, kCountOffset, count + 1);
    added = true;
  });
  return added;
}

bool COXInstanceManager::UnregisterProcess(unsigned processId) {
  bool removed = false;
  WithList([&](std::uint8_t* list) {
    const std::uint32_t count = Count(list);
    std::uint32_t found = 0;
    while (found < count && Entry(list, found) != processId) {
      ++found;
    }
    if (found == count) {
      return;
    }
    for (std::uint32_t i = found; i + 1 < count; ++i) {
      SetEntry(list, i, Entry(list, i + 1));
    }
    SetEntry(list, count - 1, 0);
    WriteWord(list, kCountOffset, count - 1);
    Notify(list, kInstanceRemovedMessage, processId);
    removed = true;
  });
  return removed;
}
