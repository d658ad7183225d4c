#include <gtest/gtest.h>

#include "Comment.h"

using namespace jar32::cli;

TEST(Comment, LineEndsAreNormalized) {
  EXPECT_EQ(normalizeComment("one\r\ntwo\r\n\r\n"), "one\ntwo");
  EXPECT_EQ(normalizeComment("a\rb\n"), "a\nb");
  EXPECT_EQ(normalizeComment("\r\n"), "");
}

TEST(Comment, RulesThatKeepTheListingReadable) {
  EXPECT_FALSE(commentProblem("Weekly backup.\nSecond line."));
  EXPECT_FALSE(commentProblem("Plain\nLater line says LOCKED, that is fine"));
  EXPECT_TRUE(commentProblem("Current chapter: 3"));
  EXPECT_TRUE(commentProblem("ok\nsee Chapter range selected: 1-2"));
  EXPECT_TRUE(commentProblem("Files are ENCRYPTED here"));
  EXPECT_TRUE(commentProblem("bell\x07"));
  EXPECT_FALSE(commentProblem("tab\there"));
}

TEST(Comment, SizeLimits) {
  EXPECT_FALSE(commentProblem(std::string(kCommentMaxBytes, 'x')));  // one long line
  EXPECT_TRUE(commentProblem(std::string(kCommentMaxBytes + 1, 'x')));
  const std::string tail(kCommentMaxTailBytes - 1, 'y');
  EXPECT_FALSE(commentProblem("a\n" + tail));
  EXPECT_TRUE(commentProblem("a\n" + tail + "y"));
}

TEST(Comment, DisplayOfForeignCommentsNeverBreaksTheListing) {
  auto lines = commentDisplayLines("Current chapter: 9\nx", true, 20);
  EXPECT_EQ(lines[0], "Current chapter : 9");
  lines = commentDisplayLines("HIDDEN treasure\nb", false, 20);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "HIDDEN treasure");
  lines = commentDisplayLines("HIDDEN treasure", true, 20);
  EXPECT_EQ(lines.size(), 1u);
  lines = commentDisplayLines("a\x01z\r", true, 20);
  EXPECT_EQ(lines[0], "a?z");
  // The reader's window: lines after the first plus the chapter line stay within 4096.
  std::string big = "first";
  for (int i = 0; i < 100; ++i) big += "\n" + std::string(99, 'z');
  lines = commentDisplayLines(big, true, 45);
  size_t counted = 46;
  for (size_t i = 1; i < lines.size(); ++i) counted += lines[i].size() + 1;
  EXPECT_LE(counted, 4096u);
  EXPECT_EQ(lines[0], "first");
  EXPECT_TRUE(commentDisplayLines("", false, 20).empty());
}

TEST(Comment, AStoredCommentAlwaysFitsTheWindow) {
  // The longest comment the rules accept, with the longest chapter line, fits.
  const std::string chapterLine = "Chapter range selected: 4294967295-4294967295";
  const std::string comment = "a\n" + std::string(kCommentMaxTailBytes - 1, 'b');
  ASSERT_FALSE(commentProblem(comment));
  const auto lines = commentDisplayLines(comment, true, chapterLine.size());
  EXPECT_EQ(lines.size(), 2u);
}
