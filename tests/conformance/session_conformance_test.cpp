// What one process can see of the session's shared objects on its own: named mutexes, named
// shared memory, its own top-level windows and messages, and itself as a process. The instance
// list is built on exactly these behaviours. Names carry the test's name and the process id, so
// that runs side by side never meet.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "conformance/backend.h"

namespace {

using platform::KernelHandle;
using platform::kNoHandle;
using platform::kNoWindow;
using platform::WindowHandle;

// A message number of the program's own range (WM_APP and above).
constexpr unsigned kOwnMessage = 0x8000 + 17;

class SessionConformance : public ::testing::Test {
 protected:
  void TearDown() override {
    for (WindowHandle window : windows_) {
      backend_->DestroyTopLevelWindow(window);
    }
    for (std::uint8_t* view : views_) {
      session_.UnmapView(view);
    }
    for (KernelHandle handle : handles_) {
      session_.CloseHandle(handle);
    }
  }

  std::string Name(const std::string& what) {
    return std::string("PictavoConformance.") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "." + what + "." +
           std::to_string(session_.CurrentProcessId());
  }

  // The calls, with what they give kept for the end of the test.
  KernelHandle Mutex(const std::string& name) { return Keep(session_.CreateMutex(name)); }
  KernelHandle Region(const std::string& name, std::uint32_t size, bool& existed) {
    return Keep(session_.CreateSharedMemory(name, size, existed));
  }
  KernelHandle Region(const std::string& name, std::uint32_t size) {
    bool existed = false;
    return Region(name, size, existed);
  }
  std::uint8_t* View(KernelHandle region, std::uint32_t offset, std::uint32_t length) {
    std::uint8_t* view = session_.MapView(region, offset, length);
    if (view != nullptr) {
      views_.push_back(view);
    }
    return view;
  }
  bool Close(KernelHandle handle) {
    handles_.erase(std::remove(handles_.begin(), handles_.end(), handle), handles_.end());
    return session_.CloseHandle(handle);
  }
  bool Unmap(std::uint8_t* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    return session_.UnmapView(view);
  }
  WindowHandle Window(const std::string& title, WindowHandle owner = kNoWindow,
                      std::uint32_t exStyle = 0) {
    const WindowHandle window = backend_->MakeTopLevelWindow(title, owner, exStyle);
    if (window != kNoWindow) {
      windows_.push_back(window);
    }
    return window;
  }
  void Destroy(WindowHandle window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    backend_->DestroyTopLevelWindow(window);
  }

  bool Listed(WindowHandle window) {
    const std::vector<WindowHandle> windows = session_.TopLevelWindows();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
  }

  std::unique_ptr<conformance::Backend> backend_ = conformance::MakeBackend();
  platform::Session& session_ = backend_->Get().session;

 private:
  KernelHandle Keep(KernelHandle handle) {
    if (handle != kNoHandle) {
      handles_.push_back(handle);
    }
    return handle;
  }

  std::vector<KernelHandle> handles_;
  std::vector<std::uint8_t*> views_;
  std::vector<WindowHandle> windows_;
};

// --- Named mutexes ---

TEST_F(SessionConformance, MutexMadeTwiceIsOneObjectBehindTwoHandles) {
  // Blanks and bytes beyond ASCII go through the ANSI code page like any other name.
  for (const char* what : {"plain", "with blanks", "accents \xE9\xFC\xDF"}) {
    const std::string name = Name(what);
    const KernelHandle first = Mutex(name);
    const KernelHandle second = Mutex(name);
    ASSERT_NE(first, kNoHandle) << name;
    ASSERT_NE(second, kNoHandle) << name;
    EXPECT_NE(first, second) << name;
    // Owned through one handle, released through the other: one object.
    ASSERT_TRUE(session_.WaitForMutex(first)) << name;
    EXPECT_TRUE(session_.ReleaseMutex(second)) << name;
    EXPECT_FALSE(session_.ReleaseMutex(first)) << name;
  }
}

TEST_F(SessionConformance, MutexNamesDifferingInCaseAreTwoObjects) {
  // The object manager compares names exactly, unlike the file system.
  const KernelHandle lower = Mutex(Name("instance lock"));
  const KernelHandle upper = Mutex(Name("INSTANCE LOCK"));
  ASSERT_NE(lower, kNoHandle);
  ASSERT_NE(upper, kNoHandle);
  ASSERT_TRUE(session_.WaitForMutex(lower));
  EXPECT_FALSE(session_.ReleaseMutex(upper));
  EXPECT_TRUE(session_.ReleaseMutex(lower));
}

TEST_F(SessionConformance, MutexIsOwnedAsOftenAsItWasWaitedFor) {
  struct Case {
    int waits;
    std::vector<bool> releases;  // what each release in turn gives
  };
  const std::vector<Case> cases = {
      {0, {false}},
      {1, {true, false}},
      {3, {true, true, true, false}},
  };
  int round = 0;
  for (const Case& c : cases) {
    const KernelHandle mutex = Mutex(Name("recursive " + std::to_string(round++)));
    ASSERT_NE(mutex, kNoHandle);
    for (int i = 0; i < c.waits; ++i) {
      ASSERT_TRUE(session_.WaitForMutex(mutex)) << c.waits;
    }
    std::vector<bool> released;
    for (std::size_t i = 0; i < c.releases.size(); ++i) {
      released.push_back(session_.ReleaseMutex(mutex));
    }
    EXPECT_EQ(released, c.releases) << c.waits << " waits";
    // Free again afterwards: owned once more at once.
    ASSERT_TRUE(session_.WaitForMutex(mutex));
    EXPECT_TRUE(session_.ReleaseMutex(mutex));
  }
}

// --- Named shared memory ---

TEST_F(SessionConformance, RegionIsMadeZeroedAndFoundAgainByName) {
  const std::uint32_t size = 2 * session_.AllocationGranularity();
  bool existed = true;
  const KernelHandle first = Region(Name("list"), size, existed);
  ASSERT_NE(first, kNoHandle);
  EXPECT_FALSE(existed);
  std::uint8_t* view = View(first, 0, size);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::count(view, view + size, 0), static_cast<long>(size));

  view[0] = 0x5A;
  const KernelHandle second = Region(Name("list"), size, existed);
  ASSERT_NE(second, kNoHandle);
  EXPECT_TRUE(existed);
  EXPECT_NE(second, first);
  std::uint8_t* again = View(second, 0, size);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again[0], 0x5A);
}

TEST_F(SessionConformance, ViewsOfOneRegionSeeEachOthersWrites) {
  const std::uint32_t granularity = session_.AllocationGranularity();
  const std::uint32_t size = 2 * granularity;
  const KernelHandle first = Region(Name("list"), size);
  const KernelHandle second = Region(Name("list"), size);
  ASSERT_NE(first, kNoHandle);
  ASSERT_NE(second, kNoHandle);
  std::uint8_t* whole = View(first, 0, size);
  std::uint8_t* sameHandle = View(first, 0, size);
  std::uint8_t* otherHandle = View(second, 0, size);
  std::uint8_t* secondPart = View(second, granularity, granularity);
  ASSERT_NE(whole, nullptr);
  ASSERT_NE(sameHandle, nullptr);
  ASSERT_NE(otherHandle, nullptr);
  ASSERT_NE(secondPart, nullptr);
  // Each view is a place of its own in the process, over the same bytes.
  EXPECT_NE(whole, sameHandle);
  EXPECT_NE(whole, otherHandle);

  whole[4] = 1;
  sameHandle[5] = 2;
  otherHandle[size - 1] = 3;
  secondPart[0] = 4;
  for (const std::uint8_t* view : {whole, sameHandle, otherHandle}) {
    EXPECT_EQ(view[4], 1);
    EXPECT_EQ(view[5], 2);
    EXPECT_EQ(view[size - 1], 3);
    EXPECT_EQ(view[granularity], 4);
  }
  EXPECT_EQ(secondPart[granularity - 1], 3);
}

TEST_F(SessionConformance, ViewsMustLieInsideTheRegionAtAGranularityBoundary) {
  const std::uint32_t g = session_.AllocationGranularity();
  const KernelHandle region = Region(Name("list"), 2 * g);
  ASSERT_NE(region, kNoHandle);
  struct Case {
    std::uint32_t offset;
    std::uint32_t length;
    bool mapped;
  };
  const std::vector<Case> cases = {
      {0, 1, true},      {0, 2 * g, true},
      {g, g, true},      {0, 0, true},  // no length: the rest of the region
      {g, 0, true},      {0, 2 * g + 1, false},
      {g, g + 1, false}, {2 * g, 1, false},
      {3 * g, g, false}, {4096, 4096, false},  // a page boundary, not a granularity one
      {g / 2, 1, false},
  };
  for (const Case& c : cases) {
    std::uint8_t* view = View(region, c.offset, c.length);
    EXPECT_EQ(view != nullptr, c.mapped) << "offset " << c.offset << ", length " << c.length;
  }
}

TEST_F(SessionConformance, ExistingRegionKeepsTheSizeItWasMadeWith) {
  const std::uint32_t g = session_.AllocationGranularity();
  const KernelHandle small = Region(Name("list"), g);
  ASSERT_NE(small, kNoHandle);
  bool existed = false;
  const KernelHandle asked = Region(Name("list"), 2 * g, existed);
  ASSERT_NE(asked, kNoHandle);
  EXPECT_TRUE(existed);
  EXPECT_EQ(View(asked, 0, 2 * g), nullptr);
  EXPECT_EQ(View(asked, g, 1), nullptr);
  EXPECT_NE(View(asked, 0, g), nullptr);
}

TEST_F(SessionConformance, RegionGoesWithItsLastHandle) {
  const std::uint32_t size = session_.AllocationGranularity();
  const KernelHandle first = Region(Name("list"), size);
  const KernelHandle second = Region(Name("list"), size);
  ASSERT_NE(first, kNoHandle);
  ASSERT_NE(second, kNoHandle);
  std::uint8_t* view = View(first, 0, size);
  ASSERT_NE(view, nullptr);
  view[7] = 0x77;
  ASSERT_TRUE(Unmap(view));

  // One handle left: the bytes stay.
  ASSERT_TRUE(Close(first));
  bool existed = false;
  const KernelHandle third = Region(Name("list"), size, existed);
  ASSERT_NE(third, kNoHandle);
  EXPECT_TRUE(existed);
  std::uint8_t* kept = View(third, 0, size);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept[7], 0x77);
  ASSERT_TRUE(Unmap(kept));

  ASSERT_TRUE(Close(second));
  ASSERT_TRUE(Close(third));
  const KernelHandle fresh = Region(Name("list"), size, existed);
  ASSERT_NE(fresh, kNoHandle);
  EXPECT_FALSE(existed);
  std::uint8_t* zeroed = View(fresh, 0, size);
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(std::count(zeroed, zeroed + size, 0), static_cast<long>(size));
}

TEST_F(SessionConformance, NameOfOneKindOfObjectCannotBeMadeAsTheOther) {
  const std::uint32_t size = session_.AllocationGranularity();
  const KernelHandle mutex = Mutex(Name("taken by a mutex"));
  ASSERT_NE(mutex, kNoHandle);
  bool existed = false;
  EXPECT_EQ(Region(Name("taken by a mutex"), size, existed), kNoHandle);

  const KernelHandle region = Region(Name("taken by a region"), size);
  ASSERT_NE(region, kNoHandle);
  EXPECT_EQ(Mutex(Name("taken by a region")), kNoHandle);

  // Both still work as what they are.
  ASSERT_TRUE(session_.WaitForMutex(mutex));
  EXPECT_TRUE(session_.ReleaseMutex(mutex));
  EXPECT_NE(View(region, 0, size), nullptr);
}

TEST_F(SessionConformance, RegionOfNoSizeCannotBeMade) {
  bool existed = true;
  EXPECT_EQ(Region(Name("empty"), 0, existed), kNoHandle);
}

TEST_F(SessionConformance, AllocationGranularityIsAPowerOfTwoOfWholePages) {
  const std::uint32_t granularity = session_.AllocationGranularity();
  EXPECT_GE(granularity, 4096u);
  EXPECT_EQ(granularity & (granularity - 1), 0u) << granularity;
}

TEST_F(SessionConformance, NoHandleAndClosedHandlesFailWithoutHarm) {
  EXPECT_FALSE(session_.WaitForMutex(kNoHandle));
  EXPECT_FALSE(session_.ReleaseMutex(kNoHandle));
  EXPECT_EQ(session_.MapView(kNoHandle, 0, 1), nullptr);
  EXPECT_FALSE(session_.UnmapView(nullptr));
  EXPECT_FALSE(session_.CloseHandle(kNoHandle));
  EXPECT_FALSE(session_.TerminateProcess(kNoHandle, 1));
  EXPECT_FALSE(session_.WaitForProcessEnd(kNoHandle, 0));

  // Nothing new is made between closing and using again, so the number cannot have been
  // handed out anew meanwhile.
  const KernelHandle mutex = Mutex(Name("closed"));
  ASSERT_NE(mutex, kNoHandle);
  ASSERT_TRUE(Close(mutex));
  EXPECT_FALSE(session_.CloseHandle(mutex));
  EXPECT_FALSE(session_.WaitForMutex(mutex));
  EXPECT_FALSE(session_.ReleaseMutex(mutex));

  const KernelHandle region = Region(Name("unmapped"), session_.AllocationGranularity());
  ASSERT_NE(region, kNoHandle);
  std::uint8_t* view = View(region, 0, 1);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(Unmap(view));
  EXPECT_FALSE(session_.UnmapView(view));
}

// --- Processes ---

TEST_F(SessionConformance, OwnProcessOpensAndHasNotEnded) {
  const unsigned own = session_.CurrentProcessId();
  ASSERT_NE(own, 0u);
  EXPECT_EQ(session_.CurrentProcessId(), own);
  for (std::uint32_t access :
       {platform::kSynchronize, platform::kSynchronize | platform::kProcessTerminate}) {
    const KernelHandle process = session_.OpenProcess(own, access);
    ASSERT_NE(process, kNoHandle) << access;
    EXPECT_FALSE(session_.WaitForProcessEnd(process, 0)) << access;
    EXPECT_TRUE(Close(process)) << access;
  }
}

TEST_F(SessionConformance, TerminatingNeedsTheRightToTerminate) {
  const KernelHandle process =
      session_.OpenProcess(session_.CurrentProcessId(), platform::kSynchronize);
  ASSERT_NE(process, kNoHandle);
  // Were the right not checked, this would end the test program itself with code 3, which
  // fails the run as plainly.
  EXPECT_FALSE(session_.TerminateProcess(process, 3));
  EXPECT_TRUE(Close(process));
}

TEST_F(SessionConformance, IdsOfNoProcessDoNotOpen) {
  for (unsigned id : {0u, 0x7FFFFFF0u, 0xFFFFFFF0u}) {
    const KernelHandle process = session_.OpenProcess(id, platform::kSynchronize);
    EXPECT_EQ(process, kNoHandle) << id;
    Close(process);
  }
}

// --- Top-level windows and posted messages ---

TEST_F(SessionConformance, OwnWindowsAreListedWithProcessOwnerStyleAndTitle) {
  const unsigned own = session_.CurrentProcessId();
  struct Case {
    std::string title;
    bool owned;
    std::uint32_t exStyle;
  };
  const WindowHandle main = Window("Pictavo 6 " + std::to_string(own));
  ASSERT_NE(main, kNoWindow);
  const std::vector<Case> cases = {
      {"Pictavo 6 palette", true, platform::kExStyleToolWindow},
      {"Pictavo 6 dialog", true, 0},
      {"Pictavo 6 tool", false, platform::kExStyleToolWindow},
      {"", false, 0},
      {"Pictavo 6 \xDC"
       "bersicht \x96 Bilder",
       false, 0},
  };
  for (const Case& c : cases) {
    const WindowHandle window = Window(c.title, c.owned ? main : kNoWindow, c.exStyle);
    ASSERT_NE(window, kNoWindow) << c.title;
    EXPECT_TRUE(Listed(window)) << c.title;
    EXPECT_EQ(session_.WindowProcessId(window), own) << c.title;
    EXPECT_EQ(session_.WindowOwner(window), c.owned ? main : kNoWindow) << c.title;
    EXPECT_EQ(session_.WindowExStyle(window), c.exStyle) << c.title;
    EXPECT_EQ(session_.WindowTitle(window, 260), c.title);
  }
  EXPECT_TRUE(Listed(main));
  EXPECT_EQ(session_.WindowOwner(main), kNoWindow);
}

TEST_F(SessionConformance, NewerWindowComesFirst) {
  const WindowHandle older = Window("Pictavo 6 older");
  const WindowHandle newer = Window("Pictavo 6 newer");
  ASSERT_NE(older, kNoWindow);
  ASSERT_NE(newer, kNoWindow);
  const std::vector<WindowHandle> windows = session_.TopLevelWindows();
  const auto olderAt = std::find(windows.begin(), windows.end(), older);
  const auto newerAt = std::find(windows.begin(), windows.end(), newer);
  ASSERT_NE(olderAt, windows.end());
  ASSERT_NE(newerAt, windows.end());
  EXPECT_LT(newerAt, olderAt);
}

TEST_F(SessionConformance, TitleIsCutToOneLessThanTheCapacity) {
  const std::string title = "Pictavo 6";
  const WindowHandle window = Window(title);
  ASSERT_NE(window, kNoWindow);
  struct Case {
    std::size_t capacity;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, ""},
      {1, ""},
      {2, "P"},
      {8, "Pictavo"},
      {title.size(), "Pictavo "},
      {title.size() + 1, title},
      {512, title},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(session_.WindowTitle(window, c.capacity), c.expected) << c.capacity;
  }
}

TEST_F(SessionConformance, PostedMessagesAreQueuedInOrderWithTheirParameters) {
  const WindowHandle window = Window("Pictavo 6 main");
  ASSERT_NE(window, kNoWindow);
  const unsigned own = session_.CurrentProcessId();
  EXPECT_TRUE(session_.PostMessage(window, platform::kMessageClose, 0, 0));
  EXPECT_TRUE(session_.PostMessage(window, kOwnMessage, 5, static_cast<std::intptr_t>(own)));
  EXPECT_TRUE(session_.PostMessage(window, kOwnMessage, 0xFFFFFFFFu, -1));
  // Posting does not wait for the window: it is still there, the messages untouched.
  EXPECT_TRUE(Listed(window));
  const std::vector<conformance::QueuedMessage> expected = {
      {platform::kMessageClose, 0, 0},
      {kOwnMessage, 5, static_cast<std::intptr_t>(own)},
      {kOwnMessage, 0xFFFFFFFFu, -1},
  };
  EXPECT_EQ(backend_->PostedMessages(window), expected);
}

TEST_F(SessionConformance, DestroyedOrNoWindowGivesNothing) {
  const WindowHandle window = Window("Pictavo 6 gone");
  ASSERT_NE(window, kNoWindow);
  Destroy(window);
  for (WindowHandle gone : {window, kNoWindow}) {
    EXPECT_FALSE(Listed(gone)) << gone;
    EXPECT_EQ(session_.WindowProcessId(gone), 0u) << gone;
    EXPECT_EQ(session_.WindowOwner(gone), kNoWindow) << gone;
    EXPECT_EQ(session_.WindowExStyle(gone), 0u) << gone;
    EXPECT_EQ(session_.WindowTitle(gone, 260), "") << gone;
    EXPECT_FALSE(session_.PostMessage(gone, platform::kMessageClose, 0, 0)) << gone;
  }
}

}  // namespace
