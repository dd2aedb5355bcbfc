// The simulated log-on session: named mutexes and shared memory with per-process handle tables,
// the other processes as kernel objects, and the top-level windows and messages of every process.
#include "platform/sim/session.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/sim/kernel_objects.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

using platform::KernelHandle;
using platform::kNoHandle;
using platform::WindowHandle;

using platform::kInfinite;
// The rights to read a process's exit code: PROCESS_QUERY_INFORMATION and
// PROCESS_QUERY_LIMITED_INFORMATION.
constexpr std::uint32_t kQueryInformation = 0x0400;
constexpr std::uint32_t kQueryLimitedInformation = 0x1000;
// The most a region may commit: the simulated paging file's limit, far above what the program
// asks for, so that a wrong size fails as a commit beyond the limit does instead of exhausting
// the test's memory.
constexpr std::uint32_t kCommitLimit = 64u << 20;

}  // namespace

Session::KernelObjects::~KernelObjects() {
  for (const auto& [address, view] : views) {
    munmap(view.mapping, view.length);
  }
  for (const auto& [mapping, length] : detached) {
    munmap(mapping, length);
  }
  for (const auto& [id, object] : objects) {
    if (object.file >= 0) {
      CloseFile(object.file);
    }
  }
}

void Session::KernelObjects::CloseFile(int file) {
  close(file);
}

bool Session::KernelObjects::MakeBytes(Object& object, std::uint32_t size) {
  const int file = memfd_create("sim-region", MFD_CLOEXEC);
  if (file < 0) {
    return false;
  }
  if (ftruncate(file, size) != 0) {
    close(file);
    return false;
  }
  object.file = file;
  object.size = size;
  return true;
}

std::uint8_t* Session::KernelObjects::Map(const sim::Process& process, std::uint64_t id,
                                          std::uint32_t offset, std::uint32_t length) {
  Object& object = objects.at(id);
  // The host maps whole pages: a granularity below the page size starts the view inside one.
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t start = offset / page * page;
  const std::size_t mapped = offset - start + length;
  void* mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_SHARED, object.file,
                       static_cast<off_t>(start));
  if (mapping == MAP_FAILED) {
    return nullptr;
  }
  std::uint8_t* view = static_cast<std::uint8_t*>(mapping) + (offset - start);
  views[view] = {&process, id, mapping, mapped};
  ++object.views;
  return view;
}

void Session::KernelObjects::Unmap(std::map<std::uint8_t*, View>::iterator view) {
  const std::uint64_t id = view->second.object;
  munmap(view->second.mapping, view->second.length);
  views.erase(view);
  --objects.at(id).views;
  Release(id);
}

void Session::KernelObjects::Detach(std::map<std::uint8_t*, View>::iterator view) {
  const std::uint64_t id = view->second.object;
  void* mapping = view->second.mapping;
  const std::size_t length = view->second.length;
  std::vector<std::uint8_t> copy(length);
  std::memcpy(copy.data(), mapping, length);
  void* replaced =
      mmap(mapping, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
  if (replaced == MAP_FAILED) {
    munmap(mapping, length);
  } else {
    std::memcpy(replaced, copy.data(), length);
    detached.emplace_back(replaced, length);
  }
  views.erase(view);
  --objects.at(id).views;
  Release(id);
}

std::vector<std::uint8_t> Session::KernelObjects::Bytes(const Object& object) const {
  std::vector<std::uint8_t> bytes(object.size);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got =
        pread(object.file, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got <= 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

Session::KernelObjects& Session::Objects() {
  if (!objects_) {
    objects_ = std::make_unique<KernelObjects>();
  }
  return *objects_;
}

Session::Session(FaultInjector& faults) : faults_(faults) {}

Session::~Session() = default;

Process* Session::HeldProcess(unsigned id) {
  if (objects_) {
    for (const auto& [process, object] : objects_->processObjects) {
      if (process->Id() == id) {
        return const_cast<Process*>(process);
      }
    }
  }
  return nullptr;
}

void Session::ProcessEnded(Process& process) {
  if (!objects_) {
    return;
  }
  KernelObjects& kernel = *objects_;
  // Windows hands a mutex whose owner ended to its next waiter, as abandoned.
  for (auto& [id, object] : kernel.objects) {
    if (object.kind == KernelObjects::Kind::Mutex && object.owner == &process) {
      object.owner = nullptr;
      object.recursion = 0;
    }
  }
  for (auto view = kernel.views.begin(); view != kernel.views.end();) {
    const auto next = std::next(view);
    if (view->second.process == &process) {
      kernel.Detach(view);
    }
    view = next;
  }
  const auto table = kernel.handles.find(&process);
  if (table != kernel.handles.end()) {
    std::vector<KernelHandle> open;
    for (const auto& [handle, entry] : table->second) {
      open.push_back(handle);
    }
    for (const KernelHandle handle : open) {
      kernel.Close(process, handle);
    }
    kernel.handles.erase(&process);
  }
}

void Session::Clear() {
  if (!objects_) {
    return;
  }
  // Views that a test still holds keep a private copy until the machine goes.
  while (!objects_->views.empty()) {
    objects_->Detach(objects_->views.begin());
  }
  retired_.push_back(std::move(objects_));
}

unsigned Session::MutexOwner(const std::string& name) const {
  if (!objects_) {
    return 0;
  }
  const auto found = objects_->names.find(name);
  if (found == objects_->names.end()) {
    return 0;
  }
  const KernelObjects::Object& object = objects_->objects.at(found->second);
  return object.kind == KernelObjects::Kind::Mutex && object.owner ? object.owner->Id() : 0;
}

std::optional<std::vector<std::uint8_t>> Session::SharedMemory(const std::string& name) const {
  if (!objects_) {
    return std::nullopt;
  }
  const auto found = objects_->names.find(name);
  if (found == objects_->names.end() ||
      objects_->objects.at(found->second).kind != KernelObjects::Kind::Region) {
    return std::nullopt;
  }
  return objects_->Bytes(objects_->objects.at(found->second));
}

std::size_t Session::OpenHandles(const Process& process) const {
  if (!objects_) {
    return 0;
  }
  const auto table = objects_->handles.find(&process);
  return table == objects_->handles.end() ? 0 : table->second.size();
}

std::size_t Session::MappedViews(const Process& process) const {
  std::size_t count = 0;
  if (objects_) {
    for (const auto& [address, view] : objects_->views) {
      if (view.process == &process) {
        ++count;
      }
    }
  }
  return count;
}

void Session::SetMessageHandler(WindowHandle window,
                                std::function<void(const PostedMessage&)> handler) {
  if (handler) {
    messageHandlers_[window] = std::move(handler);
  } else {
    messageHandlers_.erase(window);
  }
}

KernelHandle Session::OpenProcessObject(const sim::Process& owner, sim::Process& target,
                                        std::uint32_t access) {
  KernelObjects& kernel = Objects();
  auto found = kernel.processObjects.find(&target);
  if (found == kernel.processObjects.end()) {
    const std::uint64_t object = kernel.nextObject++;
    kernel.objects[object].kind = KernelObjects::Kind::Process;
    kernel.objects[object].process = &target;
    found = kernel.processObjects.emplace(&target, object).first;
  }
  return kernel.Open(owner, found->second, access);
}

void Session::Post(const PostedMessage& posted) {
  posted_.push_back(posted);
  const auto handler = messageHandlers_.find(posted.window);
  if (handler != messageHandlers_.end()) {
    // A copy: the handler may destroy its window, and with it replace or drop itself.
    const std::function<void(const PostedMessage&)> handle = handler->second;
    handle(posted);
  }
}

KernelHandle Process::SessionFacility::CreateMutex(const std::string& name) {
  sim::Session& session = owner_.machine_.Session();
  if (!Live() || session.faults_.Next("CreateMutexA", name, false)) {
    return kNoHandle;
  }
  sim::Session::KernelObjects& kernel = session.Objects();
  using Kind = sim::Session::KernelObjects::Kind;
  const auto found = name.empty() ? kernel.names.end() : kernel.names.find(name);
  if (found != kernel.names.end()) {
    // ERROR_INVALID_HANDLE: the name belongs to an object of another kind.
    if (kernel.objects.at(found->second).kind != Kind::Mutex) {
      return kNoHandle;
    }
    return kernel.Open(owner_, found->second, 0);
  }
  const std::uint64_t id = kernel.nextObject++;
  kernel.objects[id].kind = Kind::Mutex;
  kernel.objects[id].name = name;
  if (!name.empty()) {
    kernel.names[name] = id;
  }
  return kernel.Open(owner_, id, 0);
}

bool Process::SessionFacility::WaitForMutex(KernelHandle mutex) {
  if (!Live()) {
    return false;
  }
  sim::Session::KernelObjects::Object* object = owner_.machine_.Session().Objects().Find(
      owner_, mutex, sim::Session::KernelObjects::Kind::Mutex);
  if (!object) {
    return false;
  }
  if (object->owner && object->owner != &owner_) {
    // One thread runs every simulated process: the owner could never release it meanwhile.
    throw ScriptError("process " + std::to_string(owner_.id_) +
                      " would wait for ever for mutex \"" + object->name + "\", owned by process " +
                      std::to_string(object->owner->id_) + ", which lives");
  }
  object->owner = &owner_;
  ++object->recursion;
  return true;
}

bool Process::SessionFacility::ReleaseMutex(KernelHandle mutex) {
  if (!Live()) {
    return false;
  }
  sim::Session::KernelObjects::Object* object = owner_.machine_.Session().Objects().Find(
      owner_, mutex, sim::Session::KernelObjects::Kind::Mutex);
  if (!object || object->owner != &owner_) {
    return false;
  }
  if (--object->recursion == 0) {
    object->owner = nullptr;
  }
  return true;
}

std::uint32_t Process::SessionFacility::AllocationGranularity() {
  return owner_.machine_.Session().granularity_;
}

KernelHandle Process::SessionFacility::CreateSharedMemory(const std::string& name,
                                                          std::uint32_t size,
                                                          bool& alreadyExisted) {
  alreadyExisted = false;
  sim::Session& session = owner_.machine_.Session();
  // A mapping of the paging file needs a size (ERROR_INVALID_PARAMETER), whether or not the
  // name exists.
  if (!Live() || session.faults_.Next("CreateFileMappingA", name, false) || size == 0) {
    return kNoHandle;
  }
  sim::Session::KernelObjects& kernel = session.Objects();
  using Kind = sim::Session::KernelObjects::Kind;
  const auto found = name.empty() ? kernel.names.end() : kernel.names.find(name);
  if (found != kernel.names.end()) {
    if (kernel.objects.at(found->second).kind != Kind::Region) {
      return kNoHandle;
    }
    // The existing region as it was made, whatever size this caller asked for.
    alreadyExisted = true;
    return kernel.Open(owner_, found->second, 0);
  }
  if (size > kCommitLimit) {
    return kNoHandle;
  }
  const std::uint64_t id = kernel.nextObject++;
  sim::Session::KernelObjects::Object& object = kernel.objects[id];
  object.kind = Kind::Region;
  object.name = name;
  if (!sim::Session::KernelObjects::MakeBytes(object, size)) {
    kernel.objects.erase(id);
    return kNoHandle;
  }
  if (!name.empty()) {
    kernel.names[name] = id;
  }
  const KernelHandle handle = kernel.Open(owner_, id, 0);
  if (session.sharedMemoryCreated_) {
    session.sharedMemoryCreated_(name, owner_.id_);
  }
  return handle;
}

std::uint8_t* Process::SessionFacility::MapView(KernelHandle region, std::uint32_t offset,
                                                std::uint32_t length) {
  sim::Session& session = owner_.machine_.Session();
  if (!Live()) {
    return nullptr;
  }
  sim::Session::KernelObjects& kernel = session.Objects();
  sim::Session::KernelObjects::Object* object =
      kernel.Find(owner_, region, sim::Session::KernelObjects::Kind::Region);
  if (session.faults_.Next("MapViewOfFile", object ? object->name : std::string(), false)) {
    return nullptr;
  }
  if (!object || session.granularity_ == 0 || offset % session.granularity_ != 0) {
    return nullptr;
  }
  const std::uint64_t size = object->size;
  // A length of 0 maps the rest of the region, as MapViewOfFile does.
  if (offset >= size || std::uint64_t{offset} + length > size) {
    return nullptr;
  }
  if (length == 0) {
    length = static_cast<std::uint32_t>(size - offset);
  }
  return kernel.Map(owner_, kernel.handles.at(&owner_).at(region).object, offset, length);
}

bool Process::SessionFacility::UnmapView(std::uint8_t* view) {
  if (!Live()) {
    return false;
  }
  sim::Session::KernelObjects& kernel = owner_.machine_.Session().Objects();
  const auto found = kernel.views.find(view);
  if (found == kernel.views.end() || found->second.process != &owner_) {
    return false;
  }
  kernel.Unmap(found);
  return true;
}

bool Process::SessionFacility::CloseHandle(KernelHandle handle) {
  return Live() && owner_.machine_.Session().Objects().Close(owner_, handle);
}

std::vector<WindowHandle> Process::SessionFacility::TopLevelWindows() {
  return Live() ? owner_.machine_.Windows().TopLevelWindows() : std::vector<WindowHandle>();
}

unsigned Process::SessionFacility::WindowProcessId(WindowHandle window) {
  return Live() ? owner_.machine_.Windows().ProcessOf(window) : 0;
}

WindowHandle Process::SessionFacility::WindowOwner(WindowHandle window) {
  return Live() ? owner_.machine_.Windows().OwnerOf(window) : platform::kNoWindow;
}

std::uint32_t Process::SessionFacility::WindowExStyle(WindowHandle window) {
  return Live() ? owner_.machine_.Windows().ExStyleOf(window) : 0;
}

std::string Process::SessionFacility::WindowTitle(WindowHandle window, std::size_t capacity) {
  if (!Live() || capacity == 0) {
    return {};
  }
  std::string title = owner_.machine_.Windows().GetText(window);
  if (title.size() > capacity - 1) {
    title.resize(capacity - 1);
  }
  return title;
}

bool Process::SessionFacility::PostMessage(WindowHandle window, unsigned message,
                                           std::uintptr_t wParam, std::intptr_t lParam) {
  WindowManager& windows = owner_.machine_.Windows();
  if (!Live() || !windows.Exists(window)) {
    return false;
  }
  owner_.machine_.Session().Post(
      {owner_.id_, window, windows.ProcessOf(window), message, wParam, lParam});
  return true;
}

unsigned Process::SessionFacility::CurrentProcessId() {
  return owner_.id_;
}

KernelHandle Process::SessionFacility::OpenProcess(unsigned id, std::uint32_t access) {
  if (!Live()) {
    return kNoHandle;
  }
  sim::Session& session = owner_.machine_.Session();
  // A process may always open itself; another may be refused, as one of another user is.
  if (id != owner_.id_ && session.faults_.Next("OpenProcess", std::to_string(id), false)) {
    return kNoHandle;
  }
  sim::Process* target = owner_.machine_.Processes().Find(id);
  if (!target) {
    return kNoHandle;
  }
  return session.OpenProcessObject(owner_, *target, access);
}

// As on Windows, the parent's handle can read its exit code besides what the caller asked for:
// its start time is read through it.
KernelHandle Process::SessionFacility::OpenParentProcess(std::uint32_t access) {
  return owner_.parentId_ == 0 ? kNoHandle
                               : OpenProcess(owner_.parentId_, access | kQueryLimitedInformation);
}

bool Process::SessionFacility::TerminateProcess(KernelHandle process, unsigned exitCode) {
  if (!Live()) {
    return false;
  }
  sim::Session& session = owner_.machine_.Session();
  std::uint32_t access = 0;
  sim::Session::KernelObjects::Object* object =
      session.Objects().Find(owner_, process, sim::Session::KernelObjects::Kind::Process, &access);
  // ERROR_ACCESS_DENIED without the right, and for a process that has ended already.
  if (!object || !(access & platform::kProcessTerminate) || object->process->ended_) {
    return false;
  }
  sim::Process& target = *object->process;
  owner_.machine_.Processes().terminations_.push_back({owner_.id_, target.id_, exitCode});
  target.Finish(exitCode);
  if (&target == &owner_ && owner_.inOwnCode_) {
    owner_.Unwind(exitCode);  // a process that terminates itself does not come back
  }
  return true;
}

bool Process::SessionFacility::WaitForProcessEnd(KernelHandle process, unsigned milliseconds) {
  if (!Live()) {
    return false;
  }
  sim::Session& session = owner_.machine_.Session();
  std::uint32_t access = 0;
  sim::Session::KernelObjects::Object* object =
      session.Objects().Find(owner_, process, sim::Session::KernelObjects::Kind::Process, &access);
  if (!object || !(access & platform::kSynchronize)) {
    return false;
  }
  sim::Process& target = *object->process;
  sim::Processes& processes = owner_.machine_.Processes();
  // A process another one started has been running on its own meanwhile on Windows: with a
  // program for it, it runs now, to its end.
  if (processes.program_ && target.startedBeside_ && !target.started_ && !target.ended_) {
    const std::function<int(platform::Platform&)> program = processes.program_;
    target.Run(program);
    if (!Live()) {
      return false;  // the child ended the waiter meanwhile
    }
  }
  if (target.ended_) {
    processes.waits_.push_back({owner_.id_, target.id_, milliseconds, true});
    return true;
  }
  if (milliseconds == kInfinite) {
    throw ScriptError("process " + std::to_string(owner_.id_) +
                      " would wait for ever for the end of process " + std::to_string(target.id_) +
                      ", which lives");
  }
  processes.waits_.push_back({owner_.id_, target.id_, milliseconds, false});
  owner_.waited_ += milliseconds;
  return false;
}

KernelHandle Process::SessionFacility::StartProcess(const std::string& application,
                                                    const std::string& commandLine) {
  if (!Live()) {
    return kNoHandle;
  }
  sim::Process* child = owner_.StartChild(application, commandLine, {});
  if (!child) {
    return kNoHandle;
  }
  return owner_.machine_.Session().OpenProcessObject(owner_, *child,
                                                     platform::kSynchronize | kQueryInformation);
}

std::optional<unsigned> Process::SessionFacility::ProcessExitCode(KernelHandle process) {
  if (!Live()) {
    return std::nullopt;
  }
  std::uint32_t access = 0;
  sim::Session::KernelObjects::Object* object = owner_.machine_.Session().Objects().Find(
      owner_, process, sim::Session::KernelObjects::Kind::Process, &access);
  // ERROR_ACCESS_DENIED without a right to query the process.
  if (!object || !(access & (kQueryInformation | kQueryLimitedInformation)) ||
      !object->process->ended_) {
    return std::nullopt;
  }
  return object->process->exitCode_;
}

}  // namespace sim
