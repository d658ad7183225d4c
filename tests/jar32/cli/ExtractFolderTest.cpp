#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ExtractFolder.h"

using namespace jar32::cli;
namespace fs = std::filesystem;

namespace {
class Target : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("jar32-xf-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "outside");
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};
}  // namespace

TEST_F(Target, FilesAppearOnlyWhenCommitted) {
  ExtractFolder target((root_ / "box").string());
  std::string problem;
  const std::vector<std::string> parts{"a", "b", "f.txt"};
  Fd parent = target.openParent(parts, true, problem);
  ASSERT_TRUE(parent) << problem;
  auto file = target.startFile(parent.get(), parts);
  ASSERT_TRUE(file.open());
  ASSERT_TRUE(file.write(reinterpret_cast<const uint8_t*>("data"), 4));
  EXPECT_FALSE(fs::exists(root_ / "box/a/b/f.txt"));
  jar32::MemberInfo m;
  m.mode = 0640;
  m.mtime = 1700000000;
  std::string note;
  ASSERT_TRUE(file.commit(m, note));
  EXPECT_EQ(note, "");
  EXPECT_EQ(fs::file_size(root_ / "box/a/b/f.txt"), 4u);
  EXPECT_EQ(fs::status(root_ / "box/a/b/f.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  auto dropped = target.startFile(parent.get(), {"a", "b", "g.txt"});
  dropped.discard();
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "box/a/b"), fs::directory_iterator()), 1);
}

TEST_F(Target, LinksOnTheWayAreNeverFollowed) {
  fs::create_directories(root_ / "box");
  fs::create_directory_symlink(root_ / "outside", root_ / "box/evil");
  ExtractFolder target((root_ / "box").string());
  std::string problem;
  EXPECT_FALSE(target.openParent({"evil", "x.txt"}, true, problem));
  EXPECT_NE(problem.find("in the way"), std::string::npos);
  EXPECT_FALSE(target.makeFolder({"evil"}, problem));
  EXPECT_TRUE(fs::is_empty(root_ / "outside"));
  // A link the run made itself is fine to pass; a planted one is not.
  Fd parent = target.openParent({"l"}, true, problem);
  jar32::MemberInfo link;
  link.kind = jar32::MemberKind::Symlink;
  link.linkTarget = "real";
  ASSERT_TRUE(target.makeLink(parent.get(), {"l"}, link, problem)) << problem;
  ASSERT_TRUE(target.makeFolder({"real"}, problem));
  EXPECT_FALSE(target.linkPassesForeignLink({"m"}, "l/x"));
  EXPECT_TRUE(target.linkPassesForeignLink({"m"}, "evil/x"));
}

// Folders are opened from the deepest one already open; one whose deeper part is a planted
// link is still refused, and files land where their names say whatever the order.
TEST_F(Target, FoldersOpenedEarlierServeTheFilesBelowThem) {
  fs::create_directories(root_ / "box/a/b");
  fs::create_directory_symlink(root_ / "outside", root_ / "box/a/b/evil");
  ExtractFolder target((root_ / "box").string());
  std::string problem;
  auto put = [&](const std::vector<std::string>& parts) {
    Fd parent = target.openParent(parts, true, problem);
    if (!parent) return false;
    auto file = target.startFile(parent.get(), parts);
    jar32::MemberInfo m;
    m.mode = 0644;
    std::string note;
    return file.open() && file.write(reinterpret_cast<const uint8_t*>("x"), 1) && file.commit(m, note);
  };
  ASSERT_TRUE(put({"a", "b", "one"})) << problem;
  ASSERT_TRUE(put({"c", "two"})) << problem;
  ASSERT_TRUE(put({"a", "b", "d", "e", "three"})) << problem;
  ASSERT_TRUE(put({"a", "four"})) << problem;
  EXPECT_FALSE(put({"a", "b", "evil", "five"}));
  EXPECT_NE(problem.find("in the way"), std::string::npos);
  for (const char* path : {"a/b/one", "c/two", "a/b/d/e/three", "a/four"})
    EXPECT_TRUE(fs::is_regular_file(root_ / "box" / path)) << path;
  EXPECT_TRUE(fs::is_empty(root_ / "outside"));
}
