// One way to make any change to the machine go wrong: the Nth call that changes the machine
// (files, folders, registry, shortcuts, operations for the next start), counted from the moment
// the fault is set, fails with a chosen system error, or the power goes at it.
#pragma once

#include <optional>

namespace sim {

// Thrown through the running programs when the power goes: nothing after it runs, and the
// machine keeps what was written before it, as a disk does.
struct PowerLoss {};

struct Fault {
  enum class Kind { Fail, PowerLoss };
  Kind kind = Kind::PowerLoss;
  unsigned at = 0;     // the Nth changing call, from 1
  unsigned error = 0;  // Fail: the system error the call gives
};

class FaultInjector {
 public:
  // Counting starts again from here; none: every call goes through.
  void Set(std::optional<Fault> fault) {
    fault_ = fault;
    calls_ = 0;
  }
  // The changing calls since the fault was last set.
  unsigned Calls() const { return calls_; }

  // At the start of each changing call: 0 to go on, or the error the call fails with. Throws
  // PowerLoss when the power goes at this call.
  unsigned Next() {
    ++calls_;
    if (!fault_ || calls_ != fault_->at) {
      return 0;
    }
    if (fault_->kind == Fault::Kind::PowerLoss) {
      throw PowerLoss{};
    }
    return fault_->error;
  }

 private:
  std::optional<Fault> fault_;
  unsigned calls_ = 0;
};

}  // namespace sim
