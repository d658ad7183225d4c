#include <gtest/gtest.h>

#include "MemberNames.h"
#include "Wildcard.h"

using namespace jar32::cli;

TEST(Wildcard, HostNamesStayWithinOneFolder) {
  EXPECT_TRUE(wildcardMatch("*.txt", "a.txt", '/'));
  EXPECT_FALSE(wildcardMatch("*.txt", "a.txt.bak", '/'));
  EXPECT_FALSE(wildcardMatch("*.txt", "d/a.txt", '/'));
  EXPECT_TRUE(wildcardMatch("a?c", "abc", '/'));
  EXPECT_FALSE(wildcardMatch("a?c", "a/c", '/'));
  EXPECT_TRUE(wildcardMatch("*", "", '/'));
  EXPECT_TRUE(wildcardMatch("*.*", "README", '/'));  // "*.*" is everything
  EXPECT_TRUE(wildcardMatch("read*.*", "readme", '/'));
  EXPECT_FALSE(wildcardMatch("A.txt", "a.txt", '/'));  // case-sensitive
  EXPECT_TRUE(wildcardMatch("*a*b*c*", "xxaxxbxxcxx", '/'));
  // No exponential backtracking.
  EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*b", std::string(5000, 'a'), '/'));
}

TEST(MemberPatterns, LeadingBackslashIsTheRootAndStarRunsOverFolders) {
  EXPECT_EQ(normalizeMemberPattern("\\readme.txt"), "readme.txt");
  EXPECT_EQ(normalizeMemberPattern("/docs/sub/"), "docs\\sub\\");
  EXPECT_TRUE(memberMatches("readme.txt", "readme.txt", false));
  EXPECT_FALSE(memberMatches("readme.txt", "docs\\readme.txt", false));
  EXPECT_TRUE(memberMatches("*", "docs\\sub\\a.txt", false));
  EXPECT_TRUE(memberMatches("*.txt", "docs\\a.txt", false));
  EXPECT_TRUE(memberMatches("docs\\*", "docs\\sub\\a.txt", false));
  EXPECT_TRUE(memberMatches("docs\\*", "docs", true));  // the folder itself
  EXPECT_TRUE(memberMatches("docs\\sub\\", "docs\\sub", true));
  EXPECT_FALSE(memberMatches("docs\\sub\\", "docs\\sub", false));
  EXPECT_FALSE(memberMatches("docs\\sub\\", "docs\\sub\\a.txt", false));
  EXPECT_TRUE(memberMatchesAny({}, "anything", false));
}

TEST(MemberPatterns, ExclusionsWithoutAFolderMatchInEveryFolder) {
  EXPECT_TRUE(memberExcluded({"*.bak"}, "docs\\a.bak", false));
  EXPECT_TRUE(memberExcluded({"Thumbs.db"}, "a\\b\\Thumbs.db", false));
  EXPECT_FALSE(memberExcluded({"\\docs\\a.txt"}, "other\\docs\\a.txt", false));
  EXPECT_TRUE(memberExcluded({"\\docs\\a.txt"}, "docs\\a.txt", false));
  EXPECT_TRUE(memberExcluded({"sub\\"}, "x\\sub", true));
}

TEST(HostNames, UnstorableCharactersAreNamed) {
  EXPECT_FALSE(hostComponentProblem("naïve file (1).txt", false));
  EXPECT_TRUE(hostComponentProblem("a\\b", false));
  EXPECT_TRUE(hostComponentProblem("line\nbreak", false));
  EXPECT_TRUE(hostComponentProblem("tab\there", false));
  EXPECT_TRUE(hostComponentProblem("quote\"d", false));
  EXPECT_TRUE(hostComponentProblem("star*", false));
  EXPECT_TRUE(hostComponentProblem("what?", true));
}

// The listing's reader trims names and stops at a line holding the totals marker.
TEST(HostNames, NamesTheListingCannotCarryAreRefused) {
  EXPECT_TRUE(hostComponentProblem(" leading.txt", false));
  EXPECT_TRUE(hostComponentProblem(" leading folder", true));
  EXPECT_TRUE(hostComponentProblem("trailing.txt ", false));
  EXPECT_FALSE(hostComponentProblem("trailing folder ", true));  // its backslash follows
  EXPECT_FALSE(hostComponentProblem("inner  blanks.txt", false));
  EXPECT_TRUE(hostComponentProblem("old Total files listed here", true));
  EXPECT_FALSE(hostComponentProblem("Total files listed.txt", false));  // a member line
  EXPECT_FALSE(normalizeBaseFolder("a/Total files listed/b"));
  EXPECT_FALSE(normalizeBaseFolder(" x"));
}

TEST(ExtractionSafety, HostileNamesAreRefused) {
  EXPECT_EQ(safeRelativePath("docs\\sub\\a.txt").parts,
            (std::vector<std::string>{"docs", "sub", "a.txt"}));
  EXPECT_EQ(safeRelativePath("docs\\").parts, std::vector<std::string>{"docs"});
  for (const char* bad : {"..\\x", "a\\..\\..\\x", "a/../../x", "\\etc\\passwd", "/etc/passwd",
                          "C:\\x", "c:x", "a\\\\b", ".\\a", "", "a\\.", "x\\.."})
    EXPECT_FALSE(safeRelativePath(bad).problem.empty()) << bad;
  EXPECT_TRUE(safeRelativePath("12:30 notes.txt").problem.empty());
  EXPECT_TRUE(safeRelativePath("a..b\\...").problem.empty());
}

TEST(ExtractionSafety, LinkTargetsMustStayInside) {
  EXPECT_TRUE(linkTargetStaysInside("a\\link", "target.txt"));
  EXPECT_TRUE(linkTargetStaysInside("a\\link", "../b/c"));
  EXPECT_TRUE(linkTargetStaysInside("a\\b\\link", "../../x"));
  EXPECT_TRUE(linkTargetStaysInside("a\\link", "./x/"));
  EXPECT_FALSE(linkTargetStaysInside("link", "../x"));
  EXPECT_FALSE(linkTargetStaysInside("a\\link", "../../x"));
  EXPECT_FALSE(linkTargetStaysInside("a\\link", "/etc/passwd"));
  EXPECT_FALSE(linkTargetStaysInside("a\\link", "x/../../y"));  // not canonical
  EXPECT_FALSE(linkTargetStaysInside("a\\link", ""));
  EXPECT_FALSE(linkTargetStaysInside("..\\link", "x"));
}

TEST(BaseFolder, RootAndSubfolders) {
  EXPECT_EQ(*normalizeBaseFolder("\\"), "");
  EXPECT_EQ(*normalizeBaseFolder(""), "");
  EXPECT_EQ(*normalizeBaseFolder("backup\\2026\\"), "backup\\2026\\");
  EXPECT_EQ(*normalizeBaseFolder("/backup/2026"), "backup\\2026\\");
  EXPECT_FALSE(normalizeBaseFolder("a\\..\\b"));
}

TEST(MemberParts, FolderAndLeaf) {
  EXPECT_EQ(memberFolder("docs\\sub\\a.txt"), "docs\\sub\\");
  EXPECT_EQ(memberLeaf("docs\\sub\\a.txt"), "a.txt");
  EXPECT_EQ(memberFolder("a.txt"), "");
  EXPECT_EQ(printable("a\nb\x7f"), "a?b?");
}
