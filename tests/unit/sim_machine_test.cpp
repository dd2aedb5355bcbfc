#include <gtest/gtest.h>

#include <string>

#include "platform/sim/machine.h"

namespace {

using platform::BoxResult;

// Records whether its destructor ran: the unwinding of an exited process frees its objects.
struct Guard {
  bool& destroyed;
  ~Guard() { destroyed = true; }
};

TEST(SimMachineTest, ExitProcessEndsOnlyThatProcessWithItsCode) {
  sim::Machine machine;
  sim::Process& first = machine.StartProcess({"C:\\A\\one.exe", {"-x"}, {}});
  sim::Process& second = machine.StartProcess({"C:\\B\\two.exe", {}, {}});

  bool reachedAfterExit = false;
  bool destroyed = false;
  unsigned code = first.Run([&](platform::Platform& platform) {
    Guard guard{destroyed};
    platform.process.ExitProcess(7);
    reachedAfterExit = true;
    return 0;
  });
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(reachedAfterExit);
  EXPECT_TRUE(destroyed);

  EXPECT_EQ(second.Run([](platform::Platform&) { return 3; }), 3u);
  EXPECT_EQ(first.ExitCode(), 7u);
  EXPECT_EQ(second.ExitCode(), 3u);
  EXPECT_NE(first.Id(), second.Id());
}

TEST(SimMachineTest, ProcessRunsOnlyOnce) {
  sim::Machine machine;
  sim::Process& process = machine.StartProcess({"C:\\A\\one.exe", {}, {}});
  process.Run([](platform::Platform&) { return 0; });
  EXPECT_THROW(process.Run([](platform::Platform&) { return 0; }), sim::ScriptError);
}

TEST(SimMachineTest, EachProcessSeesItsOwnCommandLineAndProgramFile) {
  sim::Machine machine;
  sim::Process& typed = machine.StartProcess({"C:\\A b\\one.exe", {"-s", "x y"}, "one"});
  sim::Process& bare = machine.StartProcess({"C:\\B\\two.exe", {}, {}});

  EXPECT_EQ(typed.GetPlatform().process.ModuleFileName(), "C:\\A b\\one.exe");
  EXPECT_EQ(typed.GetPlatform().process.Arguments(),
            (std::vector<std::string>{"one", "-s", "x y"}));
  EXPECT_EQ(bare.GetPlatform().process.Arguments(), (std::vector<std::string>{"C:\\B\\two.exe"}));
}

TEST(SimUserTest, AnswersInScriptOrderAndRecordsEveryBox) {
  sim::Machine machine;
  sim::Process& process = machine.StartProcess({"C:\\A\\one.exe", {}, {}});
  platform::UserInterface& ui = process.GetPlatform().ui;
  machine.GetUser().WillAnswer(BoxResult::Yes);
  machine.GetUser().WillAnswer(BoxResult::No);

  EXPECT_EQ(ui.MessageBox(0x42, "first", "c", {platform::Buttons::YesNo}), BoxResult::Yes);
  EXPECT_EQ(ui.MessageBox(platform::kNoWindow, "second", "c", {platform::Buttons::YesNo}),
            BoxResult::No);

  const auto& boxes = machine.GetUser().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "first");
  EXPECT_EQ(boxes[0].owner, 0x42u);
  EXPECT_EQ(boxes[0].processId, process.Id());
  EXPECT_EQ(boxes[1].answer, BoxResult::No);
  EXPECT_FALSE(machine.GetUser().HasUnusedAnswers());
}

TEST(SimUserTest, UnforeseenOrDifferentBoxFailsTheTest) {
  sim::Machine machine;
  platform::UserInterface& ui = machine.StartProcess({"C:\\A\\one.exe", {}, {}}).GetPlatform().ui;

  EXPECT_THROW(ui.MessageBox(platform::kNoWindow, "surprise", "c", {}), sim::ScriptError);

  const platform::BoxStyle yesNoWarning{platform::Buttons::YesNo, platform::Icon::Warning};
  machine.GetUser().WillAnswer({"text", "caption", yesNoWarning}, BoxResult::Yes);
  EXPECT_THROW(ui.MessageBox(platform::kNoWindow, "text", "caption", {platform::Buttons::YesNo}),
               sim::ScriptError);

  machine.GetUser().WillAnswer({"text", "caption", yesNoWarning}, BoxResult::Yes);
  EXPECT_THROW(ui.MessageBox(platform::kNoWindow, "text", "Caption", yesNoWarning),
               sim::ScriptError);
}

}  // namespace
