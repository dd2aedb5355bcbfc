// One way to make any call of the simulated machine go wrong. A fault picks the calls it counts
// (by default every call that changes the machine: files, folders, registry, shortcuts,
// operations for the next start; or the calls of one name, narrowed to one object), and the
// Nth of them, or every one from the Nth on, fails with a chosen system error, or the power
// goes at it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/errors.h"

namespace sim {

// Thrown through the running programs when the power goes: nothing after it runs, and the
// machine keeps what was written before it, as a disk does.
struct PowerLoss {};

struct Fault {
  enum class Kind { Fail, PowerLoss };
  Kind kind = Kind::Fail;
  unsigned at = 1;     // the Nth counted call, from 1
  unsigned error = 0;  // Fail: the system error the call gives, where it gives one
  // The Win32 name of the calls it counts ("CreateMutexA", "RegCreateKeyA", "IShellLink::Save",
  // ...). Empty: every call that changes the machine, or, with an object, every call on that
  // object. Calls that change nothing are thus counted only by a fault that names them or their
  // object, and never move Calls().
  std::string call = {};
  // Only calls on this object count, named as the call names it (exactly): a mutex's or
  // section's name, a path as the program gave it, a process id in decimal, or the hive a
  // registry key lies in (HKEY_LOCAL_MACHINE, HKEY_USERS). Empty: any object.
  std::string object = {};
  // Every counted call from the Nth on goes wrong, not the Nth alone: a lasting condition, such
  // as a user without administrator rights or a name another program holds.
  bool lasting = false;
};

class FaultInjector {
 public:
  // In place of every fault so far (none: every call goes through); counting starts again.
  void Set(std::optional<Fault> fault) {
    faults_.clear();
    calls_ = 0;
    if (fault) {
      faults_.emplace_back(std::move(*fault), 0);
    }
  }
  // Beside the faults already set, counting its own calls from here: a lasting refusal and a
  // cut in the same run, or several calls made to fail.
  void Add(Fault fault) { faults_.emplace_back(std::move(fault), 0); }
  // The calls that changed the machine since the last Set: how far a run got.
  unsigned Calls() const { return calls_; }

  // The machine asks at each call a fault may reach, with the call's name, the object it names
  // and whether it changes the machine. None: the call goes on; else the error it fails with.
  // Throws PowerLoss when the power goes at this call.
  std::optional<unsigned> Next(std::string_view call, std::string_view object, bool changes) {
    if (changes) {
      ++calls_;
    }
    std::optional<unsigned> error;
    for (auto& [fault, counted] : faults_) {
      const bool named = fault.call.empty() ? changes || !fault.object.empty() : fault.call == call;
      if (!named || (!fault.object.empty() && fault.object != object)) {
        continue;
      }
      ++counted;
      if (counted == fault.at || (fault.lasting && counted > fault.at)) {
        if (fault.kind == Fault::Kind::PowerLoss) {
          throw PowerLoss{};
        }
        error = error.value_or(fault.error);
      }
    }
    return error;
  }

 private:
  std::vector<std::pair<Fault, unsigned>> faults_;  // each with the calls it has counted
  unsigned calls_ = 0;
};

// The object a fault names for the machine's part of the registry, HKLM with HKCR in it, where
// the operations for the next start wait too.
inline constexpr const char* kLocalMachine = "HKEY_LOCAL_MACHINE";

// A user without administrator rights, as a lasting fault: every change under HKLM and every
// operation for the next start is refused with kErrorAccessDenied; the machine's keys still
// open for reading, through RegCreateKeyA too.
inline Fault NoAdministratorRights() {
  return {.error = platform::kErrorAccessDenied, .object = kLocalMachine, .lasting = true};
}

}  // namespace sim
