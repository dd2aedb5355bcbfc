// The simulated log-on session's shared objects: named mutexes and shared memory with the handle
// table of each process and its mapped views, the process objects that handles hold, and the
// messages posted to windows. Names compare exactly, as the object manager compares them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/faults.h"

namespace sim {

class Process;

// A PostMessage call that reached a window: who sent it, to which window of which process.
struct PostedMessage {
  unsigned fromProcess = 0;
  platform::WindowHandle window = platform::kNoWindow;
  unsigned toProcess = 0;
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  bool operator==(const PostedMessage&) const = default;
};

class Session {
 public:
  explicit Session(FaultInjector& faults);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // GetSystemInfo's allocation granularity, 65536 unless a test sets another.
  void SetAllocationGranularity(std::uint32_t granularity) { granularity_ = granularity; }
  std::uint32_t AllocationGranularity() const { return granularity_; }
  // Called right after a region is made new, with its name and the id of the process that made
  // it, before CreateSharedMemory returns; none: nothing is called.
  void OnSharedMemoryCreated(std::function<void(const std::string&, unsigned)> hook) {
    sharedMemoryCreated_ = std::move(hook);
  }
  // The id of the process that owns the mutex of that name; 0 when none owns it or there is no
  // such mutex.
  unsigned MutexOwner(const std::string& name) const;
  // A copy of the bytes of the region of that name; none when there is no such region.
  std::optional<std::vector<std::uint8_t>> SharedMemory(const std::string& name) const;
  // What a process holds: its open handles and mapped views (a view mapped twice counts twice).
  std::size_t OpenHandles(const Process& process) const;
  std::size_t MappedViews(const Process& process) const;

  // Runs `handler` right after each message posted to the window is recorded, as that window's
  // program would take it from its queue; it may destroy the window and End the process.
  void SetMessageHandler(platform::WindowHandle window,
                         std::function<void(const PostedMessage&)> handler);
  // Every message posted to an existing window, by every process, in order.
  const std::vector<PostedMessage>& PostedMessages() const { return posted_; }

  // The machine's side. An ended process that a handle still holds keeps its id; nullptr when
  // no handle holds one of that id.
  Process* HeldProcess(unsigned id);
  // An ended process gives up its handles, its views (made private to it) and its mutexes.
  void ProcessEnded(Process& process);
  // A restart ends the session: views a test still holds keep a private copy until the
  // machine goes.
  void Clear();

 private:
  friend class Process;
  struct KernelObjects;
  KernelObjects& Objects();
  // A new handle of `owner`'s to the process object of `target`.
  platform::KernelHandle OpenProcessObject(const Process& owner, Process& target,
                                           std::uint32_t access);
  // A message posted to an existing window: recorded, then handed to the window's handler.
  void Post(const PostedMessage& posted);

  FaultInjector& faults_;
  std::unique_ptr<KernelObjects> objects_;
  std::vector<std::unique_ptr<KernelObjects>> retired_;  // a restart's, with detached views
  std::uint32_t granularity_ = 65536;
  std::function<void(const std::string&, unsigned)> sharedMemoryCreated_;
  std::map<platform::WindowHandle, std::function<void(const PostedMessage&)>> messageHandlers_;
  std::vector<PostedMessage> posted_;
};

}  // namespace sim
