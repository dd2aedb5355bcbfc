#include <gtest/gtest.h>

#include "conformance/backend.h"
#include "resources/catalogue.h"

namespace {

const std::string kRemovalQuestion =
    "This will completely uninstall Pictavo 6.\nDo you want to continue?";

class UiConformance : public ::testing::Test {
 protected:
  std::unique_ptr<conformance::Backend> backend_ = conformance::MakeBackend();
  platform::UserInterface& ui_ = backend_->Get().ui;
};

TEST_F(UiConformance, WholeTextsComeFromTheProgramFile) {
  EXPECT_EQ(ui_.LoadString(catalogue::kSetupCaption), "Pictavo Setup");
  EXPECT_EQ(ui_.LoadString(catalogue::kRemovalQuestion), kRemovalQuestion);
  EXPECT_EQ(ui_.LoadString(catalogue::kAppTitle), "Pictavo Setup");
}

TEST_F(UiConformance, UnknownIdsLoadAsEmptyTexts) {
  // 5 lies between catalogue entries, 103 names a dialog, not a text.
  for (unsigned id : {0u, 5u, 103u, 4096u, 65535u}) {
    EXPECT_EQ(ui_.LoadString(id), "") << id;
    EXPECT_EQ(ui_.LoadString(id, 128), "") << id;
  }
}

TEST_F(UiConformance, FixedBuffersCutTheTextToCapacityMinusOne) {
  // "Pictavo Setup" has 13 characters.
  EXPECT_EQ(ui_.LoadString(catalogue::kSetupCaption, 128), "Pictavo Setup");
  EXPECT_EQ(ui_.LoadString(catalogue::kSetupCaption, 14), "Pictavo Setup");
  EXPECT_EQ(ui_.LoadString(catalogue::kSetupCaption, 13), "Pictavo Setu");
  EXPECT_EQ(ui_.LoadString(catalogue::kSetupCaption, 2), "P");
  EXPECT_EQ(ui_.LoadString(catalogue::kSetupCaption, 1), "");
  // The line feed counts as one character and survives the cut before it.
  EXPECT_EQ(ui_.LoadString(catalogue::kRemovalQuestion, 43),
            "This will completely uninstall Pictavo 6.\n");
  EXPECT_EQ(ui_.LoadString(catalogue::kRemovalQuestion, 256), kRemovalQuestion);
}

}  // namespace
