// The instance list on the real calls, under load: twenty programs of the product join and
// leave the shared list at the same moment, each in a process of its own (instance_member.exe),
// and the list, read through the same class, loses no entry and keeps no stale one.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "instances/instance_manager.h"
#include "platform/win32/win32_platform.h"
#include "windows_test_support.h"

namespace windows_tests {
namespace {

constexpr int kMembers = 20;
constexpr DWORD kTimeout = 60000;

// The members of one round: the gates they wait at, their processes, and the end of them all,
// whatever the test saw.
class Members {
 public:
  explicit Members(const std::string& mode) {
    prefix_ = "PictavoInstanceLoad." + mode + "." + std::to_string(::GetCurrentProcessId());
    start_ = ::CreateEventA(nullptr, TRUE, FALSE, (prefix_ + ".start").c_str());
    leave_ = ::CreateEventA(nullptr, TRUE, FALSE, (prefix_ + ".leave").c_str());
    joined_ = ::CreateSemaphoreA(nullptr, 0, kMembers, (prefix_ + ".joined").c_str());
    // A program folder with blanks or accents must reach the members whole.
    const std::string program = ProgramFolder() + "\\instance_member.exe";
    for (int i = 0; i < kMembers; ++i) {
      std::string line = "\"" + program + "\" " + mode + " " + prefix_;
      STARTUPINFOA startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION started = {};
      if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started)) {
        continue;
      }
      ::CloseHandle(started.hThread);
      processes_.push_back(started.hProcess);
      ids_.push_back(started.dwProcessId);
    }
  }

  ~Members() {
    if (leave_ != nullptr) {
      ::SetEvent(leave_);
    }
    if (start_ != nullptr) {
      ::SetEvent(start_);
    }
    for (HANDLE process : processes_) {
      if (::WaitForSingleObject(process, kTimeout) != WAIT_OBJECT_0) {
        ::TerminateProcess(process, 99);
      }
      ::CloseHandle(process);
    }
    for (HANDLE gate : {start_, leave_, joined_}) {
      if (gate != nullptr) {
        ::CloseHandle(gate);
      }
    }
  }
  Members(const Members&) = delete;
  Members& operator=(const Members&) = delete;

  bool Ready() const {
    return start_ != nullptr && leave_ != nullptr && joined_ != nullptr &&
           processes_.size() == static_cast<std::size_t>(kMembers);
  }
  const std::vector<std::uint32_t>& Ids() const { return ids_; }

  void Start() { ::SetEvent(start_); }
  void Leave() { ::SetEvent(leave_); }

  // Whether every member has joined (in hold mode).
  bool AllJoined() {
    // One time limit for all: a member that ended early must not cost a limit each.
    const DWORD started = ::GetTickCount();
    for (int i = 0; i < kMembers; ++i) {
      const DWORD spent = ::GetTickCount() - started;
      if (spent >= kTimeout || ::WaitForSingleObject(joined_, kTimeout - spent) != WAIT_OBJECT_0) {
        return false;
      }
    }
    return true;
  }

  // The exit codes once all have ended; empty when one is still running at the time limit.
  std::vector<DWORD> ExitCodes() {
    if (::WaitForMultipleObjects(static_cast<DWORD>(processes_.size()), processes_.data(), TRUE,
                                 kTimeout) == WAIT_TIMEOUT) {
      return {};
    }
    std::vector<DWORD> codes;
    for (HANDLE process : processes_) {
      DWORD code = 0xDEAD;
      ::GetExitCodeProcess(process, &code);
      codes.push_back(code);
    }
    return codes;
  }

 private:
  std::string prefix_;
  HANDLE start_ = nullptr;
  HANDLE leave_ = nullptr;
  HANDLE joined_ = nullptr;
  std::vector<HANDLE> processes_;
  std::vector<std::uint32_t> ids_;
};

class InstanceLoadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(instances_.HasLocks());
    ASSERT_TRUE(instances_.ListInstances(before_));
    ASSERT_EQ(std::count(before_.begin(), before_.end(), ::GetCurrentProcessId()), 1);
  }

  std::vector<std::uint32_t> Listed() {
    std::vector<std::uint32_t> ids;
    EXPECT_TRUE(instances_.ListInstances(ids));
    return ids;
  }

  static std::vector<std::uint32_t> Sorted(std::vector<std::uint32_t> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  platform::win32::Win32Platform windows_;
  // The test program is listed too, as every program that opens the list is.
  COXInstanceManager instances_{windows_.Get()};
  std::vector<std::uint32_t> before_;
};

TEST_F(InstanceLoadTest, TwentyJoiningAtOnceAreAllListedOnceAndAllLeave) {
  Members members("hold");
  ASSERT_TRUE(members.Ready());
  members.Start();
  ASSERT_TRUE(members.AllJoined());

  std::vector<std::uint32_t> expected = before_;
  expected.insert(expected.end(), members.Ids().begin(), members.Ids().end());
  const std::vector<std::uint32_t> joined = Listed();
  EXPECT_EQ(Sorted(joined), Sorted(expected));
  EXPECT_EQ(instances_.CountInstances(), static_cast<int>(expected.size()));
  // Those that were there before keep their places at the front.
  ASSERT_GE(joined.size(), before_.size());
  EXPECT_TRUE(std::equal(before_.begin(), before_.end(), joined.begin()));

  members.Leave();
  EXPECT_EQ(members.ExitCodes(), std::vector<DWORD>(kMembers, 0));
  EXPECT_EQ(Listed(), before_);
  EXPECT_EQ(instances_.CountInstances(), static_cast<int>(before_.size()));
}

TEST_F(InstanceLoadTest, TwentyJoiningAndLeavingAtOnceLeaveTheListAsItWas) {
  Members members("churn");
  ASSERT_TRUE(members.Ready());
  members.Start();
  EXPECT_EQ(members.ExitCodes(), std::vector<DWORD>(kMembers, 0));
  EXPECT_EQ(Listed(), before_);
  EXPECT_EQ(instances_.CountInstances(), static_cast<int>(before_.size()));
}

}  // namespace
}  // namespace windows_tests
