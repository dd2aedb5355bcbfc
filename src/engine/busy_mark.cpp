#include "engine/busy_mark.h"

namespace {

// A named region of the session, for its existence alone.
constexpr char kBusyMark[] = "Corvantis.Pictavo6.SetupBusy";
constexpr std::uint32_t kBusyMarkSize = 4;

}  // namespace

BusySetup::BusySetup(platform::Session& session) : session_(session) {
  bool existed = false;
  mark_ = session.CreateSharedMemory(kBusyMark, kBusyMarkSize, existed);
}

BusySetup::~BusySetup() {
  if (mark_ != platform::kNoHandle) {
    session_.CloseHandle(mark_);
  }
}

bool AnotherSetupIsBusy(platform::Session& session) {
  bool existed = false;
  const platform::KernelHandle mark = session.CreateSharedMemory(kBusyMark, kBusyMarkSize, existed);
  if (mark != platform::kNoHandle) {
    session.CloseHandle(mark);
  }
  return existed;
}
