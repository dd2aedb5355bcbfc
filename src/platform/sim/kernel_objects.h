// The session's kernel objects behind sim::Session: named mutexes and regions, process objects,
// the handle table of each process and its mapped views.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/session.h"

namespace sim {

struct Session::KernelObjects {
  enum class Kind { Mutex, Region, Process };
  struct Object {
    Kind kind = Kind::Mutex;
    std::string name;
    std::size_t handles = 0;
    std::size_t views = 0;
    sim::Process* owner = nullptr;  // a mutex's owner; an ended owner gives it up at once
    unsigned recursion = 0;
    // A region's bytes: an anonymous shared file of the host, so that each view can be a
    // mapping of its own at its own address over the same pages, as on Windows.
    int file = -1;
    std::uint32_t size = 0;
    sim::Process* process = nullptr;  // a process object's process
  };
  struct Handle {
    std::uint64_t object = 0;
    std::uint32_t access = 0;
  };

  std::map<std::uint64_t, Object> objects;
  std::map<std::string, std::uint64_t> names;
  std::map<const sim::Process*, std::uint64_t> processObjects;
  std::map<const sim::Process*, std::map<platform::KernelHandle, Handle>> handles;
  struct View {
    const sim::Process* process = nullptr;
    std::uint64_t object = 0;
    void* mapping = nullptr;  // page aligned; the view may start inside it
    std::size_t length = 0;
  };
  std::map<std::uint8_t*, View> views;
  // The views of processes that ended, made private: whatever a dead program's leftover
  // objects still write through them reaches no other process. Freed with the session.
  std::vector<std::pair<void*, std::size_t>> detached;
  std::uint64_t nextObject = 1;
  platform::KernelHandle nextHandle = 0x40;

  KernelObjects() = default;
  KernelObjects(const KernelObjects&) = delete;
  KernelObjects& operator=(const KernelObjects&) = delete;
  ~KernelObjects();

  // Makes a region's zeroed bytes; false when the host cannot.
  static bool MakeBytes(Object& object, std::uint32_t size);
  // A new mapping of `length` bytes from `offset`; nullptr when the host cannot.
  std::uint8_t* Map(const sim::Process& process, std::uint64_t id, std::uint32_t offset,
                    std::uint32_t length);
  void Unmap(std::map<std::uint8_t*, View>::iterator view);
  // The view stays where it is with a private copy of its bytes.
  void Detach(std::map<std::uint8_t*, View>::iterator view);
  std::vector<std::uint8_t> Bytes(const Object& object) const;

  Object* Find(const sim::Process& process, platform::KernelHandle handle, Kind kind,
               std::uint32_t* access = nullptr) {
    const auto table = handles.find(&process);
    if (table == handles.end()) {
      return nullptr;
    }
    const auto entry = table->second.find(handle);
    if (entry == table->second.end()) {
      return nullptr;
    }
    Object& object = objects.at(entry->second.object);
    if (object.kind != kind) {
      return nullptr;
    }
    if (access) {
      *access = entry->second.access;
    }
    return &object;
  }

  platform::KernelHandle Open(const sim::Process& process, std::uint64_t object,
                              std::uint32_t access) {
    const platform::KernelHandle handle = nextHandle;
    nextHandle += 4;
    handles[&process][handle] = {object, access};
    ++objects.at(object).handles;
    return handle;
  }

  // The object goes with its last handle and view; its name is free again.
  void Release(std::uint64_t id) {
    const Object& object = objects.at(id);
    if (object.handles > 0 || object.views > 0) {
      return;
    }
    if (!object.name.empty()) {
      names.erase(object.name);
    }
    if (object.process) {
      processObjects.erase(object.process);
    }
    if (object.file >= 0) {
      CloseFile(object.file);
    }
    objects.erase(id);
  }

  static void CloseFile(int file);

  bool Close(const sim::Process& process, platform::KernelHandle handle) {
    const auto table = handles.find(&process);
    if (table == handles.end()) {
      return false;
    }
    const auto entry = table->second.find(handle);
    if (entry == table->second.end()) {
      return false;
    }
    const std::uint64_t id = entry->second.object;
    table->second.erase(entry);
    --objects.at(id).handles;
    Release(id);
    return true;
  }
};

}  // namespace sim
