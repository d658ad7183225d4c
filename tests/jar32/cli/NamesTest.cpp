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
  EXPECT_FALSE(hostComponentProblem("naïve file (1).txt"));
  EXPECT_TRUE(hostComponentProblem("a\\b"));
  EXPECT_TRUE(hostComponentProblem("line\nbreak"));
  EXPECT_TRUE(hostComponentProblem("tab\there"));
  EXPECT_TRUE(hostComponentProblem("quote\"d"));
  EXPECT_TRUE(hostComponentProblem("star*"));
  EXPECT_TRUE(hostComponentProblem("what?"));
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
