// The archive file itself: two programs creating it at once, its mode, owner and links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

std::vector<std::string> names(const fs::path& cwd, const std::string& archive) {
  const Result r = jar({"l", archive}, cwd);
  EXPECT_EQ(r.code, 0) << r.err;
  std::vector<std::string> out;
  for (const auto& row : listing::parse(r.out).rows) out.push_back(row.fullName());
  std::sort(out.begin(), out.end());
  return out;
}

unsigned modeOf(const fs::path& p) {
  struct stat st{};
  stat(p.c_str(), &st);
  return st.st_mode & 07777;
}

std::vector<std::string> folderEntries(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

/// Sets the process's umask for the runs it starts, and back.
class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : old_(umask(mask)) {}
  ~UmaskScope() { umask(old_); }

 private:
  mode_t old_;
};

}  // namespace

TEST(ArchiveFile, TheSecondCreatorOfANewArchiveIsRefusedNotLostSilently) {
  TempDir t;
  writeFile(t / "one/first.txt", "from the first run");
  writeFile(t / "two/second.txt", "from the second run");
  HeldRun first({"a", "new.j", "one/first.txt"}, t.path(), "rename");
  ASSERT_TRUE(first.waitUntilHeld());
  const Result second = jar({"a", "new.j", "two/second.txt"}, t.path());
  EXPECT_EQ(second.code, 0) << second.err;
  first.resume();
  const Result r = first.finish();
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("created meanwhile"), std::string::npos) << r.err;
  EXPECT_EQ(names(t.path(), "new.j"), std::vector<std::string>{"second.txt"});
  EXPECT_EQ(folderEntries(t.path()), (std::vector<std::string>{"new.j", "one", "two"}));
}

TEST(ArchiveFile, TwoMovesCreatingOneArchiveLoseNothing) {
  // m deletes its sources only once its archive is in place: the refused one keeps them.
  TempDir t;
  writeFile(t / "one/first.txt", "from the first run");
  writeFile(t / "two/second.txt", "from the second run");
  HeldRun first({"m", "new.j", "one/first.txt"}, t.path(), "rename");
  ASSERT_TRUE(first.waitUntilHeld());
  const Result second = jar({"m", "new.j", "two/second.txt"}, t.path());
  EXPECT_EQ(second.code, 0) << second.err;
  first.resume();
  const Result r = first.finish();
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("being changed by another program"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(t / "one/first.txt"), "from the first run");
  EXPECT_FALSE(fs::exists(t / "two/second.txt"));
  EXPECT_EQ(names(t.path(), "new.j"), std::vector<std::string>{"second.txt"});
  // Whichever finishes first wins: held before its rename, the second run loses instead.
  HeldRun later({"a", "other.j", "two"}, t.path(), "rename");
  ASSERT_TRUE(later.waitUntilHeld());
  later.resume();
  EXPECT_EQ(later.finish().code, 0);
  EXPECT_EQ(jar({"a", "other.j", "one/first.txt"}, t.path()).code, 0);  // now a change of it
}

TEST(ArchiveFile, ChangesKeepTheArchivesModeAndANewOneFollowsTheUmask) {
  TempDir t;
  writeFile(t / "a.txt", "a");
  writeFile(t / "b.txt", "b");
  {
    UmaskScope mask(027);
    ASSERT_EQ(jar({"a", "a.j", "a.txt"}, t.path()).code, 0);
  }
  EXPECT_EQ(modeOf(t / "a.j"), 0640u);
  fs::permissions(t / "a.j", fs::perms::owner_read | fs::perms::owner_write);
  const std::vector<std::vector<std::string>> changes = {
      {"a", "a.j", "b.txt"}, {"d", "a.j", "a.txt"}, {"y", "a.j", "-m1"}, {"ac", "a.j", "a.txt"}};
  for (const auto& args : changes) {
    const Result r = jar(args, t.path());
    ASSERT_EQ(r.code, 0) << args[0] << ": " << r.err;
    EXPECT_EQ(modeOf(t / "a.j"), 0600u) << "after " << args[0];
  }
  // y to a new file is a new archive.
  {
    UmaskScope mask(022);
    ASSERT_EQ(jar({"y", "a.j", "-ocopy.j"}, t.path()).code, 0);
  }
  EXPECT_EQ(modeOf(t / "copy.j"), 0644u);
}

TEST(ArchiveFile, TheTemporaryArchiveIsReadableByItsOwnerOnly) {
  TempDir t;
  writeFile(t / "a.txt", "a");
  ASSERT_EQ(jar({"a", "a.j", "a.txt"}, t.path()).code, 0);
  fs::permissions(t / "a.j", fs::perms::all);
  HeldRun run({"a", "a.j", "a.txt"}, t.path(), "directory");
  ASSERT_TRUE(run.waitUntilHeld());
  int temporaries = 0;
  for (const auto& name : folderEntries(t.path()))
    if (name.rfind("~jar32-", 0) == 0) {
      ++temporaries;
      EXPECT_EQ(modeOf(t / name), 0600u) << name;
    }
  EXPECT_EQ(temporaries, 1);
  run.resume();
  EXPECT_EQ(run.finish().code, 0);
  EXPECT_EQ(modeOf(t / "a.j"), 0777u);  // given back before the rename
}

TEST(ArchiveFile, AnArchiveReachedThroughALinkIsChangedWhereItIs) {
  TempDir t;
  writeFile(t / "a.txt", "a");
  writeFile(t / "b.txt", "b");
  fs::create_directories(t / "store");
  ASSERT_EQ(jar({"a", "store/real.j", "a.txt"}, t.path()).code, 0);
  fs::create_symlink("store/real.j", t / "link.j");
  fs::create_symlink("link.j", t / "link2.j");  // a link to the link
  ASSERT_EQ(jar({"a", "link2.j", "b.txt"}, t.path()).code, 0);
  EXPECT_TRUE(fs::is_symlink(t / "link.j"));
  EXPECT_TRUE(fs::is_symlink(t / "link2.j"));
  EXPECT_EQ(names(t.path(), "store/real.j"), (std::vector<std::string>{"a.txt", "b.txt"}));
  ASSERT_EQ(jar({"d", "link.j", "a.txt"}, t.path()).code, 0);
  EXPECT_TRUE(fs::is_symlink(t / "link.j"));
  EXPECT_EQ(names(t.path(), "store/real.j"), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(folderEntries(t / "store"), std::vector<std::string>{"real.j"});
  // A link to an archive not made yet: the archive is made where the link points.
  fs::create_symlink("store/later.j", t / "later.j");
  ASSERT_EQ(jar({"a", "later.j", "a.txt"}, t.path()).code, 0);
  EXPECT_TRUE(fs::is_symlink(t / "later.j"));
  EXPECT_EQ(names(t.path(), "store/later.j"), std::vector<std::string>{"a.txt"});
}

TEST(ArchiveFile, OwnerAndGroupStayWhenRootChangesSomeonesArchive) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
  TempDir t;
  writeFile(t / "a.txt", "a");
  ASSERT_EQ(jar({"a", "a.j", "a.txt"}, t.path()).code, 0);
  ASSERT_EQ(chown((t / "a.j").c_str(), 12345, 23456), 0);
  ASSERT_EQ(jar({"a", "a.j", "a.txt"}, t.path()).code, 0);
  struct stat st{};
  ASSERT_EQ(stat((t / "a.j").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 12345u);
  EXPECT_EQ(st.st_gid, 23456u);
}
