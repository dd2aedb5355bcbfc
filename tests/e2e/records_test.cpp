// The reading of uiauto's records, where a text's escapes and separators meet the record's own.

#include "records.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

TEST(UiRecordsTest, TextsKeepLineFeedsTabsBackslashesAndEqualSigns) {
  const std::vector<UiRecord> records = ParseRecords(
      "message\ttext=a\\nb\\tc\\\\n=d\\x01\n"
      "\n"
      "control\tid=-1\tstyle=0x50010001\tempty=\tbare\r\n");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].kind, "message");
  // "\\\\n" is a backslash followed by the letter n, not a line feed.
  EXPECT_EQ(records[0].Get("text"), "a\nb\tc\\n=d\x01");
  EXPECT_EQ(records[1].Number("id"), -1);
  EXPECT_EQ(records[1].Number("style"), 0x50010001);
  EXPECT_TRUE(records[1].Has("empty"));
  EXPECT_EQ(records[1].Number("empty"), std::nullopt);
  EXPECT_TRUE(records[1].Has("bare"));
  EXPECT_FALSE(records[1].Has("missing"));
  EXPECT_EQ(records[1].Number("missing"), std::nullopt);
}

TEST(UiRecordsTest, AnsiTextsBecomeUtf8) {
  EXPECT_EQ(Windows1252ToUtf8("plain"), "plain");
  EXPECT_EQ(Windows1252ToUtf8("\xA9 2024"), "\xC2\xA9 2024");            // Latin-1 range
  EXPECT_EQ(Windows1252ToUtf8("\x80\x99"), "\xE2\x82\xAC\xE2\x84\xA2");  // euro, trade mark
  EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xEF\xBF\xBD");                  // unassigned
}

}  // namespace
}  // namespace e2e
