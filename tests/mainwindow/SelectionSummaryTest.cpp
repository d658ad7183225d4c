// The selection summary of the status bar: its texts, the grouping of the byte total, and the
// running count kept by clicks.

#include "mainwindow/SelectionSummary.h"

#include <gtest/gtest.h>

TEST(GroupThousands, GroupsDigitsInThreesWithTheSeparator) {
  EXPECT_EQ(GroupThousands(0, ","), "0");
  EXPECT_EQ(GroupThousands(999, ","), "999");
  EXPECT_EQ(GroupThousands(1000, ","), "1,000");
  EXPECT_EQ(GroupThousands(1234567, ","), "1,234,567");
  EXPECT_EQ(GroupThousands(1234567, "."), "1.234.567");
  EXPECT_EQ(GroupThousands(1234567, "\xE2\x80\xAF"), "1\xE2\x80\xAF" "234\xE2\x80\xAF" "567");
  EXPECT_EQ(GroupThousands(UINT64_MAX, ","), "18,446,744,073,709,551,615");
}

TEST(SelectionSummary, FollowsClicksWithThePartTexts) {
  SelectionSummary summary(",");
  summary.Reset(SelectionSummary::kNoneSelected);
  EXPECT_EQ(summary.text(), "Selected 0 files; 0 bytes");
  summary.Reset(SelectionSummary::kEmptySpace);
  EXPECT_EQ(summary.text(), "Selected 0 file(s); 0 bytes");

  summary.One(1234);
  EXPECT_EQ(summary.text(), "Selected 1 file(s); 1,234 bytes");
  summary.Add(1233333);
  EXPECT_EQ(summary.text(), "Selected 2 file(s); 1,234,567 bytes");
  summary.Remove(1234);
  EXPECT_EQ(summary.text(), "Selected 1 file(s); 1,233,333 bytes");
  EXPECT_EQ(summary.count(), 1);

  // The first row added to an empty text makes the one-row text.
  summary.Clear();
  EXPECT_EQ(summary.text(), "");
  summary.Add(5);
  EXPECT_EQ(summary.text(), "Selected 1 file(s); 5 bytes");
  summary.Set(3, 1000);
  EXPECT_EQ(summary.text(), "Selected 3 file(s); 1,000 bytes");
}

TEST(SelectionSummary, LargeTotalsDoNotWrapAndCountsNeverGoNegative) {
  SelectionSummary summary(",");
  summary.One(int64_t{3} << 30);
  summary.Add(int64_t{3} << 30);
  EXPECT_EQ(summary.text(), "Selected 2 file(s); 6,442,450,944 bytes");
  // A Ctrl-click that deselects a row after the count was reset stays at zero.
  summary.Reset(SelectionSummary::kEmptySpace);
  summary.Remove(100);
  EXPECT_EQ(summary.text(), "Selected 0 file(s); 0 bytes");
}
