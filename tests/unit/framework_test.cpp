#include <gtest/gtest.h>

#include "framework/framework.h"
#include "platform/sim/machine.h"
#include "resources/catalogue.h"
#include "test_app.h"

namespace {

using platform::BoxResult;
using platform::BoxStyle;
using platform::Buttons;
using platform::DefaultButton;
using platform::Icon;

class FrameworkTest : public ::testing::Test {
 protected:
  const sim::ShownBox& Show(const std::string& text, BoxStyle style) {
    machine_.GetUser().WillAnswer(BoxResult::Ok);
    app_.MessageBox(text, style);
    return machine_.GetUser().Boxes().back();
  }

  sim::Machine machine_;
  sim::Process& process_ = machine_.Processes().Start({"C:\\D\\setup.exe", {}, {}});
  TestApp app_{process_.GetPlatform()};
};

TEST_F(FrameworkTest, ServiceBoxGetsTheDefaultIconOnlyWhenTheStyleNamesNone) {
  struct Case {
    BoxStyle style;
    Icon shown;
  } const cases[] = {
      {{Buttons::Ok}, Icon::Warning},
      {{Buttons::OkCancel}, Icon::Warning},
      {{Buttons::YesNo}, Icon::Question},
      {{Buttons::YesNoCancel}, Icon::Question},
      {{Buttons::Ok, Icon::Error}, Icon::Error},
      {{Buttons::YesNo, Icon::Information}, Icon::Information},
      {{Buttons::YesNo, Icon::Warning}, Icon::Warning},
  };
  for (const Case& c : cases) {
    const sim::ShownBox& box = Show("text", c.style);
    EXPECT_EQ(box.style.icon, c.shown) << sim::Describe(box);
    EXPECT_EQ(box.style.buttons, c.style.buttons);
  }
}

TEST_F(FrameworkTest, ServiceBoxKeepsButtonsAndDefaultButton) {
  const sim::ShownBox& box = Show("Cancel?", {Buttons::YesNo, Icon::None, DefaultButton::Second});
  EXPECT_EQ(box.style, (BoxStyle{Buttons::YesNo, Icon::Question, DefaultButton::Second}));
}

TEST_F(FrameworkTest, ServiceBoxIsCaptionedWithTheApplicationTitle) {
  const sim::ShownBox& box = Show("SetPath failed!", {Buttons::Ok});
  EXPECT_EQ(box.caption, "Pictavo Setup");
  EXPECT_EQ(box.text, "SetPath failed!");
}

TEST_F(FrameworkTest, ServiceBoxIsOwnedByTheMainWindowWhileThereIsOne) {
  EXPECT_EQ(Show("a", {}).owner, platform::kNoWindow);
  app_.SetMainWindow(0x1234);
  EXPECT_EQ(Show("b", {}).owner, 0x1234u);
  app_.SetMainWindow(platform::kNoWindow);
  EXPECT_EQ(Show("c", {}).owner, platform::kNoWindow);
}

TEST_F(FrameworkTest, ServiceBoxByNumberShowsTheCatalogueTextAndReturnsTheAnswer) {
  machine_.GetUser().WillAnswer({"Pictavo 6 has been completely uninstalled from this computer.",
                                 "Pictavo Setup",
                                 {Buttons::Ok, Icon::Warning}},
                                BoxResult::Ok);
  EXPECT_EQ(app_.MessageBox(catalogue::kUninstalled, {Buttons::Ok}), BoxResult::Ok);

  machine_.GetUser().WillAnswer(BoxResult::No);
  EXPECT_EQ(app_.MessageBox("Continue?", {Buttons::YesNo}), BoxResult::No);
}

TEST_F(FrameworkTest, UnknownTextNumberShowsAnEmptyBox) {
  machine_.GetUser().WillAnswer(BoxResult::Ok);
  app_.MessageBox(5, {Buttons::Ok});
  EXPECT_EQ(machine_.GetUser().Boxes().back().text, "");
}

}  // namespace
