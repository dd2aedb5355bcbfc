#include <gtest/gtest.h>

#include <climits>

#include "engine/format_text.h"

namespace {

TEST(FormatTextTest, FillsTheCatalogueTexts) {
  EXPECT_EQ(FormatText("%d instances of Pictavo are currently opened. ff you click", {2}),
            "2 instances of Pictavo are currently opened. ff you click");
  EXPECT_EQ(FormatText("Pictavo v. %d.%02d.%02d.%02d is already installed. You are trying to "
                       "install an older version %d.%02d.%02d.%02d .",
                       {6, 1, 2, 3, 6, 0, 5, 0}),
            "Pictavo v. 6.01.02.03 is already installed. You are trying to install an older "
            "version 6.00.05.00 .");
  EXPECT_EQ(FormatText("Pictavo ver. %d.%02d.%02d %s", {6, 0, 12, "(build 7)"}),
            "Pictavo ver. 6.00.12 (build 7)");
  EXPECT_EQ(FormatText("%d.%02d.%02d", {6, 10, 123}), "6.10.123");
}

TEST(FormatTextTest, NumbersAsWsprintfWritesThem) {
  EXPECT_EQ(FormatText("%d", {0}), "0");
  EXPECT_EQ(FormatText("%d", {-42}), "-42");
  EXPECT_EQ(FormatText("%02d", {-3}), "-3");
  EXPECT_EQ(FormatText("%04d", {-3}), "-003");
  EXPECT_EQ(FormatText("%4d", {-3}), "  -3");
  EXPECT_EQ(FormatText("%d", {INT_MIN}), "-2147483648");
  EXPECT_EQ(FormatText("%d", {65535}), "65535");
}

TEST(FormatTextTest, StrayPercentSignsAndMissingArgumentsAreHarmless) {
  EXPECT_EQ(FormatText("100%% sure", {}), "100% sure");
  EXPECT_EQ(FormatText("50%", {}), "50%");
  EXPECT_EQ(FormatText("%x and %05", {1}), "%x and %05");
  EXPECT_EQ(FormatText("%d and %d", {1}), "1 and ");
  EXPECT_EQ(FormatText("%s", {7}), "");  // a number where text belongs is left out
  EXPECT_EQ(FormatText("%999999999999d", {1}).size() < 100000u, true);
}

}  // namespace
