// A real, changing folder: moves never delete unsaved data, and what users expect an archive to
// keep (times to the nanosecond, hard links, holes, owner, extended attributes) comes back.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

struct stat statOf(const fs::path& p) {
  struct stat st{};
  lstat(p.c_str(), &st);
  return st;
}

void setTime(const fs::path& p, time_t sec, long nsec) {
  const timespec t[2] = {{sec, nsec}, {sec, nsec}};
  utimensat(AT_FDCWD, p.c_str(), t, AT_SYMLINK_NOFOLLOW);
}

// Rewrites a file with new bytes of the same size and gives it back its time, as cp -p,
// rsync -t or touch -r leave an edited file.
void editKeepingSizeAndTime(const fs::path& p, const std::string& content) {
  const struct stat before = statOf(p);
  ASSERT_EQ(content.size(), static_cast<size_t>(before.st_size));
  writeFile(p, content);
  setTime(p, before.st_mtim.tv_sec, before.st_mtim.tv_nsec);
}

bool sameBytes(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p(1 << 20), q(1 << 20);
  while (x && y) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin())) return false;
  }
  return x.eof() && y.eof();
}

}  // namespace

TEST(ChangingTree, AddChapterAndDeleteNeverDeletesAnEditTheArchiveDoesNotHold) {
  TempDir t;
  writeFile(t / "src/notes.txt", "version one");
  ASSERT_EQ(jar({"a", "../a.j", "notes.txt"}, t / "src").code, 0);
  editKeepingSizeAndTime(t / "src/notes.txt", "version TWO");
  const Result r = jar({"ac", "../a.j", "-d", "-js0", "notes.txt"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  // Either the file is still there, or chapter 2 holds the edit.
  if (!fs::exists(t / "src/notes.txt")) {
    ASSERT_EQ(jar({"x", "a.j", "-jb2", "-y", "-oout"}, t.path()).code, 0);
    EXPECT_EQ(readFile(t / "out/notes.txt"), "version TWO");
  } else {
    EXPECT_EQ(readFile(t / "src/notes.txt"), "version TWO");
  }
  // An unchanged file is still moved.
  writeFile(t / "src/same.txt", "same");
  ASSERT_EQ(jar({"a", "../a.j", "same.txt"}, t / "src").code, 0);
  ASSERT_EQ(jar({"ac", "../a.j", "-d", "same.txt"}, t / "src").code, 0);
  EXPECT_FALSE(fs::exists(t / "src/same.txt"));
}

TEST(ChangingTree, MoveKeepsAFileChangedAfterItWasRead) {
  TempDir t;
  writeFile(t / "src/a.txt", "aaaa");
  writeFile(t / "src/b.txt", "bbbb");
  setTime(t / "src/a.txt", 1700000000, 100);
  HeldRun run({"m", "../a.j", "a.txt", "b.txt"}, t / "src", "committed");
  ASSERT_TRUE(run.waitUntilHeld());
  // Same size, the same second: only the nanoseconds and the change time tell.
  editKeepingSizeAndTime(t / "src/a.txt", "AAAA");
  run.resume();
  const Result r = run.finish();
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("kept"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(t / "src/a.txt"), "AAAA");
  EXPECT_FALSE(fs::exists(t / "src/b.txt"));
}

TEST(ChangingTree, OneVanishedFileCostsOnlyItsOwnWarning) {
  TempDir t;
  for (int i = 0; i < 5; ++i) writeFile(t / ("src/f" + std::to_string(i)), "file " + std::to_string(i));
  HeldRun run({"a", "../a.j", "*"}, t / "src", "scanned");
  ASSERT_TRUE(run.waitUntilHeld());
  fs::remove(t / "src/f2");
  run.resume();
  const Result r = run.finish();
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.out.find("Added 4, replaced 0, skipped 1."), std::string::npos) << r.out;
  const Result l = jar({"l", "a.j"}, t.path());
  EXPECT_EQ(listing::parse(l.out).rows.size(), 4u);
}

TEST(ChangingTree, ProcFilesAreNotStoredEmptyWithoutAWord) {
  TempDir t;
  if (!fs::exists("/proc/self/status")) GTEST_SKIP() << "no /proc here";
  const Result r = jar({"a", "a.j", "/proc/self/status"}, t.path());
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("holds data"), std::string::npos) << r.err;
}

TEST(ChangingTree, TheSummaryCountsNamesSkippedByTheScan) {
  TempDir t;
  for (const char* odd : {" lead.txt", "trail.txt ", "star*", "what?", "quote\"", "back\\slash", "new\nline"})
    writeFile(t / "src" / odd, "x");
  writeFile(t / "src/good.txt", "x");
  Result r = jar({"a", "../a.j", "*"}, t / "src");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("Added 1, replaced 0, skipped 7."), std::string::npos) << r.out;
  // A name whose only match was refused with its reason is not "matched by nothing" as well.
  r = jar({"a", "../a.j", "trail.txt "}, t / "src");
  EXPECT_NE(r.err.find("ends with a blank"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("no files match"), std::string::npos) << r.err;
}

TEST(ChangingTree, TimesComeBackToTheNanosecond) {
  TempDir t;
  writeFile(t / "src/f.txt", "f");
  fs::create_directories(t / "src/d");
  fs::create_symlink("f.txt", t / "src/l");
  setTime(t / "src/f.txt", 1700000000, 123456789);
  setTime(t / "src/l", 1700000001, 987654321);
  setTime(t / "src/d", 1700000002, 5);
  ASSERT_EQ(jar({"a", "../a.j", "*"}, t / "src").code, 0);
  ASSERT_EQ(jar({"x", "a.j", "-y", "-oout"}, t.path()).code, 0);
  for (const char* name : {"f.txt", "l", "d"}) {
    const struct stat a = statOf(t / "src" / name), b = statOf(t / "out" / name);
    EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << name;
    EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec) << name;
  }
}

TEST(ChangingTree, HardLinksAreStoredOnceAndComeBackAsLinks) {
  TempDir t;
  writeFile(t / "src/one", someBytes(300000, 5, false));
  fs::create_hard_link(t / "src/one", t / "src/two");
  fs::create_directories(t / "src/sub");
  fs::create_hard_link(t / "src/one", t / "src/sub/three");
  writeFile(t / "single/one", someBytes(300000, 5, false));
  ASSERT_EQ(jar({"a", "../a.j", "-r", "*"}, t / "src").code, 0);
  ASSERT_EQ(jar({"a", "../single.j", "one"}, t / "single").code, 0);
  EXPECT_LT(fs::file_size(t / "a.j"), fs::file_size(t / "single.j") + 2000);
  Result r = jar({"t", "a.j"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  r = jar({"x", "a.j", "-y", "-oout"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const struct stat one = statOf(t / "out/one");
  EXPECT_EQ(one.st_nlink, 3u);
  EXPECT_EQ(statOf(t / "out/sub/three").st_ino, one.st_ino);
  EXPECT_EQ(readFile(t / "out/two"), readFile(t / "src/one"));
  // Only the second name: it comes back as a file of its own.
  r = jar({"x", "a.j", "-y", "-opart", "sub\\three"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "part/sub/three"), readFile(t / "src/one"));
  // Deleting the first name keeps the data of the others.
  ASSERT_EQ(jar({"d", "a.j", "one"}, t.path()).code, 0);
  r = jar({"x", "a.j", "-y", "-oafter"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "after/two"), readFile(t / "src/one"));
  EXPECT_EQ(statOf(t / "after/sub/three").st_nlink, 2u);
}

TEST(ChangingTree, SparseFilesStaySparse) {
  TempDir t;
  constexpr uint64_t kSize = 128ull << 20;
  {
    fs::create_directories(t / "src");
    std::ofstream(t / "src/disk.img").close();
    fs::resize_file(t / "src/disk.img", kSize);
    FILE* f = fopen((t / "src/disk.img").c_str(), "r+");
    ASSERT_NE(f, nullptr);
    const std::string data = someBytes(1 << 20, 9, false);
    fseek(f, 64 << 20, SEEK_SET);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
  }
  if (statOf(t / "src/disk.img").st_blocks * 512 > (8 << 20)) GTEST_SKIP() << "this file system makes no holes";
  ASSERT_EQ(jar({"a", "../a.j", "-m1", "disk.img"}, t / "src").code, 0);
  EXPECT_LT(fs::file_size(t / "a.j"), 4u << 20);
  const Result r = jar({"x", "a.j", "-y", "-oout"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(fs::file_size(t / "out/disk.img"), kSize);
  EXPECT_LT(statOf(t / "out/disk.img").st_blocks * 512, 8 << 20);
  EXPECT_TRUE(sameBytes(t / "out/disk.img", t / "src/disk.img"));
}

TEST(ChangingTree, OwnerAndGroupComeBackForRoot) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give files to other owners";
  TempDir t;
  writeFile(t / "src/f.txt", "f");
  fs::create_directories(t / "src/d");
  ASSERT_EQ(lchown((t / "src/f.txt").c_str(), 12345, 23456), 0);
  ASSERT_EQ(lchown((t / "src/d").c_str(), 12346, 23457), 0);
  ASSERT_EQ(jar({"a", "../a.j", "*"}, t / "src").code, 0);
  ASSERT_EQ(jar({"x", "a.j", "-y", "-oout"}, t.path()).code, 0);
  EXPECT_EQ(statOf(t / "out/f.txt").st_uid, 12345u);
  EXPECT_EQ(statOf(t / "out/f.txt").st_gid, 23456u);
  EXPECT_EQ(statOf(t / "out/d").st_uid, 12346u);
}

TEST(ChangingTree, ExtendedAttributesOnlyWithTheirSwitch) {
  TempDir t;
  writeFile(t / "src/f.txt", "f");
  const std::string value = "a comment";
  if (setxattr((t / "src/f.txt").c_str(), "user.comment", value.data(), value.size(), 0) != 0)
    GTEST_SKIP() << "this file system keeps no user attributes";
  ASSERT_EQ(jar({"a", "../with.j", "-ja", "f.txt"}, t / "src").code, 0);
  ASSERT_EQ(jar({"a", "../without.j", "f.txt"}, t / "src").code, 0);
  ASSERT_EQ(jar({"x", "with.j", "-ja", "-y", "-oone"}, t.path()).code, 0);
  ASSERT_EQ(jar({"x", "without.j", "-ja", "-y", "-otwo"}, t.path()).code, 0);
  ASSERT_EQ(jar({"x", "with.j", "-y", "-othree"}, t.path()).code, 0);
  char buf[64] = {};
  EXPECT_EQ(getxattr((t / "one/f.txt").c_str(), "user.comment", buf, sizeof buf), static_cast<ssize_t>(value.size()));
  EXPECT_EQ(std::string(buf), value);
  EXPECT_LT(getxattr((t / "two/f.txt").c_str(), "user.comment", buf, sizeof buf), 0);
  EXPECT_LT(getxattr((t / "three/f.txt").c_str(), "user.comment", buf, sizeof buf), 0);
}
