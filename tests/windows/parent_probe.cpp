// parent_probe.exe start WAIT STAY  starts "parent_probe.exe wait WAIT" in the current folder,
//                                   lives STAY milliseconds more, and ends
// parent_probe.exe wait WAIT        waits WAIT milliseconds at most for the end of the process
//                                   that started it, as the uninstaller's copy does, and writes
//                                   "ended", "alive" or "unknown" into result.txt
// parent_probe.exe                  writes the id of the process that started it into
//                                   parent.txt, in the current folder
//
// The uninstaller's copy waits this way for the uninstaller that handed over to it.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/win32_platform.h"

namespace {

const char* WaitForParent(unsigned milliseconds) {
  platform::win32::Win32Session session;
  const platform::KernelHandle parent = session.OpenParentProcess(platform::kSynchronize);
  if (parent == platform::kNoHandle) {
    return "unknown";
  }
  const bool ended = session.WaitForProcessEnd(parent, milliseconds);
  session.CloseHandle(parent);
  return ended ? "ended" : "alive";
}

// The id of the process that started this one, as the process list records it; 0 when unknown.
DWORD ParentId() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snapshot);
  return parent;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) {
    std::FILE* file = std::fopen("parent.txt", "w");
    if (file == nullptr) {
      return 1;
    }
    std::fprintf(file, "%lu", static_cast<unsigned long>(ParentId()));
    return std::fclose(file) == 0 ? 0 : 1;
  }
  if (argc == 3 && std::string(argv[1]) == "wait") {
    const char* result = WaitForParent(static_cast<unsigned>(std::atoi(argv[2])));
    std::FILE* file = std::fopen("result.txt", "w");
    if (file == nullptr) {
      return 1;
    }
    std::fputs(result, file);
    return std::fclose(file) == 0 ? 0 : 1;
  }
  if (argc == 4 && std::string(argv[1]) == "start") {
    char program[MAX_PATH];
    if (GetModuleFileNameA(nullptr, program, MAX_PATH) == 0) {
      return 1;
    }
    std::string commandLine = std::string("\"") + program + "\" wait " + argv[2];
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    return 0;
  }
  return 2;
}
