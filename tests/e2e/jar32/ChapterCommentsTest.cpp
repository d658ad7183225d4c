// Chapter comments: printed by l only with -jc, and by t; the plain listing stays as it is.
#include <gtest/gtest.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

TEST(ChapterComments, ShownWithJcAndByTestOnlyThePlainListingIsUnchanged) {
  TempDir t;
  writeFile(t / "a.txt", "alpha");
  writeFile(t / "b.txt", "beta");
  writeFile(t / "one.txt", "First chapter\nsecond line\twith a tab");
  writeFile(t / "three.txt", "Third chapter");
  ASSERT_EQ(jar({"a", "c.j", "a.txt", "-hzone.txt"}, t.path()).code, 0);
  ASSERT_EQ(jar({"ac", "c.j", "a.txt", "b.txt"}, t.path()).code, 0);  // chapter 2: no comment
  ASSERT_EQ(jar({"ac", "c.j", "b.txt", "-hzthree.txt"}, t.path()).code, 0);

  const Result plain = jar({"l", "c.j", "-jb1-"}, t.path());
  ASSERT_EQ(plain.code, 0) << plain.err;
  EXPECT_EQ(plain.out.find("Chapter comments"), std::string::npos);
  EXPECT_EQ(plain.out.find("First chapter"), std::string::npos);

  const Result all = jar({"l", "c.j", "-jb1-", "-jc"}, t.path());
  ASSERT_EQ(all.code, 0) << all.err;
  // The same listing, then the comments.
  ASSERT_EQ(all.out.compare(0, plain.out.size(), plain.out), 0) << all.out;
  EXPECT_EQ(all.out.substr(plain.out.size()),
            "Chapter comments:\nChapter 1:\n    First chapter\n    second line\twith a tab\n"
            "Chapter 3:\n    Third chapter\n");
  EXPECT_EQ(listing::parse(plain.out).rows.size(), 2u);

  // Only the chapters listed; -jc- turns it off again; none in range prints nothing.
  const Result last = jar({"l", "c.j", "-jc"}, t.path());
  EXPECT_NE(last.out.find("Chapter comments:\nChapter 3:\n    Third chapter\n"), std::string::npos);
  EXPECT_EQ(last.out.find("First chapter"), std::string::npos);
  EXPECT_EQ(jar({"l", "c.j", "-jc", "-jc-"}, t.path()).out.find("Chapter comments"),
            std::string::npos);
  EXPECT_EQ(jar({"l", "c.j", "-jb2", "-jc"}, t.path()).out.find("Chapter comments"),
            std::string::npos);

  const Result test = jar({"t", "c.j"}, t.path());
  EXPECT_EQ(test.code, 0) << test.err;
  EXPECT_NE(test.out.find("Chapter comments:\nChapter 1:\n    First chapter\n"), std::string::npos)
      << test.out;
  EXPECT_NE(test.out.find("Chapter 3:\n    Third chapter\n"), std::string::npos);
}
