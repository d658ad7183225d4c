// Passwords with both methods, hidden contents, locks, comments, and the error markers.
#include <gtest/gtest.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

class Protection : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    makeSampleTree(t / "src");
    Result r = jar({"a", "../p.j", "-r", "-gsecret99", GetParam(), "*"}, t / "src");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  TempDir t;
};

void expectMarker(const Result& r, const char* marker) {
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(marker), std::string::npos) << r.err;
  EXPECT_LT(r.err.size(), 100u) << r.err;
}

}  // namespace

TEST_P(Protection, ListsWithoutPasswordButExtractsOnlyWithTheRightOne) {
  Result r = jar({"l", "p.j"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto p = listing::parse(r.out);
  EXPECT_NE(p.flags.find("PROTECTED"), std::string::npos);
  EXPECT_NE(p.flags.find("ENCRYPTED"), std::string::npos);
  EXPECT_EQ(p.flags.find("HIDDEN"), std::string::npos);
  expectMarker(jar({"x", "p.j", "-y", "-oout"}, t.path()), "ERROR #174");
  expectMarker(jar({"x", "p.j", "-y", "-oout", "-gwrongpass"}, t.path()), "ERROR #168");
  expectMarker(jar({"l", "p.j", "-gwrongpass"}, t.path()), "ERROR #168");
  expectMarker(jar({"t", "p.j"}, t.path()), "ERROR #174");
  // Even with a warning from a later switch, the marker stays alone and short.
  expectMarker(jar({"x", "p.j", "-y", "-oout", "-hk", "-gwrongpass"}, t.path()), "ERROR #168");
  // Both password forms of the argument file.
  r = jarArgs(" x \"p.j\" -g\"secret99\" -y -o\"" + (t / "out").string() + "\"", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
  EXPECT_EQ(jar({"t", "p.j", "-gsecret99"}, t.path()).code, 0);
}

TEST_P(Protection, HiddenContentsNeedThePasswordToList) {
  Result r = jar({"y", "p.j", "-gsecret99", "-jx"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  expectMarker(jar({"l", "p.j"}, t.path()), "ERROR #174");
  r = jar({"l", "p.j", "-gsecret99"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(listing::parse(r.out).flags.find("HIDDEN"), std::string::npos);
  // The archive's bytes give no member name away.
  EXPECT_EQ(readFile(t / "p.j").find("guide.txt"), std::string::npos);
}

TEST_P(Protection, TamperingIsDetected) {
  std::string bytes = readFile(t / "p.j");
  bytes[bytes.size() / 2] ^= 0x20;
  writeFile(t / "bad.j", bytes);
  const Result r = jar({"t", "bad.j", "-gsecret99"}, t.path());
  EXPECT_EQ(r.code, 3) << r.err;
}

TEST_P(Protection, CopyWithANewPassword) {
  Result r = jarArgs(" y \"p.j\" -g\"secret99\" -jg\"another99\" -b- -m- -s- -jl- -hf- -y -o\"q.j\"", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(jar({"t", "q.j", "-ganother99"}, t.path()).code, 0);
  expectMarker(jar({"t", "q.j", "-gsecret99"}, t.path()), "ERROR #168");
  EXPECT_EQ(jar({"t", "p.j", "-gsecret99"}, t.path()).code, 0);  // the original is untouched
  r = jar({"y", "q.j", "-ganother99", "-jg-"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listing::parse(jar({"l", "q.j"}, t.path()).out).flags, "");
}

INSTANTIATE_TEST_SUITE_P(BothMethods, Protection, ::testing::Values("-hg0", "-hg1"));

TEST(Locks, ALockedArchiveRefusesChangesAndStaysIdentical) {
  TempDir t;
  writeFile(t / "a.txt", "a");
  ASSERT_EQ(jar({"a", "l.j", "-jl", "a.txt"}, t.path()).code, 0);
  const auto p = listing::parse(jar({"l", "l.j"}, t.path()).out);
  EXPECT_EQ(p.flags, "LOCKED");
  const std::string before = readFile(t / "l.j");
  writeFile(t / "b.txt", "b");
  Result r = jar({"a", "l.j", "b.txt"}, t.path());
  EXPECT_EQ(r.code, 2);
  r = jar({"d", "l.j", "*"}, t.path());
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(readFile(t / "l.j"), before);
  // A copy to another file may drop the lock.
  r = jar({"y", "l.j", "-ounlocked.j", "-jl-"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(jar({"a", "unlocked.j", "b.txt"}, t.path()).code, 0);
  // Auto lock: the next change locks.
  ASSERT_EQ(jar({"a", "auto.j", "-jl2", "a.txt"}, t.path()).code, 0);
  EXPECT_EQ(listing::parse(jar({"l", "auto.j"}, t.path()).out).flags, "AUTO_LOCK");
}

TEST(Comments, FromFilesWithEitherLineEndAndRefusedWhenMisleading) {
  TempDir t;
  writeFile(t / "a.txt", "a");
  writeFile(t / "c1.txt", "Weekly backup.\r\nSecond line.\r\n");
  Result r = jarArgs(" a \"c.j\" -z\"c1.txt\" -y \"a.txt\"", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto p = listing::parse(jar({"l", "c.j"}, t.path()).out);
  EXPECT_EQ(p.comment, (std::vector<std::string>{"Weekly backup.", "Second line."}));
  const std::string before = readFile(t / "c.j");
  for (const std::string& bad : {std::string("ok\nCurrent chapter: 1\n"), std::string("LOCKED first line\n"),
                                std::string(4097, 'x'), "a\n" + std::string(4041, 'y')}) {
    writeFile(t / "bad.txt", bad);
    r = jar({"y", "c.j", "-zbad.txt"}, t.path());
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_EQ(readFile(t / "c.j"), before);
  }
  writeFile(t / "c2.txt", "one\nsecond line mentions LOCKED safely\n");
  ASSERT_EQ(jar({"y", "c.j", "-zc2.txt"}, t.path()).code, 0);
  p = listing::parse(jar({"l", "c.j", "-jb1-"}, t.path()).out);
  EXPECT_EQ(p.flags, "");
  EXPECT_EQ(p.comment.size(), 2u);
  ASSERT_EQ(jar({"y", "c.j", "-zNUL"}, t.path()).code, 0);
  p = listing::parse(jar({"l", "c.j"}, t.path()).out);
  EXPECT_TRUE(p.comment.empty());
  r = jar({"y", "c.j", "-zmissing.txt"}, t.path());
  EXPECT_EQ(r.code, 6);
}
