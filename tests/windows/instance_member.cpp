// One program of the product for the instance list's load test: it joins the shared list
// through the program's own class when the parent opens the start gate, and leaves it again.
//
//   instance_member.exe hold <gate prefix>    joins, signals "<prefix>.joined", leaves once
//                                            "<prefix>.leave" is set
//   instance_member.exe churn <gate prefix>   joins, stays a moment, leaves
//
// Exit codes: 0 done, 2 the list's locks could not be had, 3 not in the list after joining,
// 4 a gate is missing, 5 wrong arguments.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "instances/instance_manager.h"
#include "platform/win32/win32_platform.h"

namespace {

constexpr DWORD kGateTimeout = 60000;

HANDLE OpenGate(const std::string& name) {
  return ::OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
}

int Run(bool hold, const std::string& prefix) {
  const HANDLE start = OpenGate(prefix + ".start");
  const HANDLE leave = hold ? OpenGate(prefix + ".leave") : nullptr;
  const HANDLE joined =
      hold ? ::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, (prefix + ".joined").c_str())
           : nullptr;
  if (start == nullptr || (hold && (leave == nullptr || joined == nullptr)) ||
      ::WaitForSingleObject(start, kGateTimeout) != WAIT_OBJECT_0) {
    return 4;
  }
  platform::win32::Win32Platform windows;
  int result = 0;
  {
    COXInstanceManager instances(windows.Get());
    std::vector<std::uint32_t> ids;
    if (!instances.HasLocks()) {
      result = 2;
    } else if (!instances.ListInstances(ids) ||
               std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()) == ids.end()) {
      result = 3;
    }
    if (hold) {
      ::ReleaseSemaphore(joined, 1, nullptr);
      if (::WaitForSingleObject(leave, kGateTimeout) != WAIT_OBJECT_0) {
        result = 4;
      }
    } else {
      // Spread the leaving out a little, so that joins and leaves cross.
      ::Sleep(::GetCurrentProcessId() % 23);
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "hold") != 0 && std::strcmp(argv[1], "churn") != 0)) {
    return 5;
  }
  return Run(std::strcmp(argv[1], "hold") == 0, argv[2]);
}
