// Archives of format version 1, made by an earlier jar32.exe (tests/data/jar32-format1/make.sh),
// still list, test and extract byte for byte, and can still be changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

const fs::path kData = fs::path(TAMBER_SOURCE_DIR) / "tests/data/jar32-format1";

std::string guide(bool chapterTwo) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "guide line " + std::to_string(i) + "\n";
  return chapterTwo ? text + "added in chapter 2\n" : text;
}

std::string count() {
  std::string text;
  for (int i = 1; i <= 2000; ++i) text += std::to_string(i) + "\n";
  return text;
}

struct Expected {
  std::string path, content;
  int64_t mtime;
  unsigned mode;
};

void expectFiles(const fs::path& root, const std::vector<Expected>& files) {
  for (const Expected& e : files) {
    SCOPED_TRACE(e.path);
    struct stat st{};
    ASSERT_EQ(lstat((root / e.path).c_str(), &st), 0);
    EXPECT_EQ(readFile(root / e.path), e.content);
    EXPECT_EQ(st.st_mtim.tv_sec, e.mtime);
    EXPECT_EQ(st.st_mode & 07777, e.mode);
  }
}

void expectLink(const fs::path& root) {
  EXPECT_EQ(fs::read_symlink(root / "docs/readme-link"), "../readme.txt");
}

class FormatOne : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"plain.j", "hidden.j", "gost.j"}) fs::copy_file(kData / name, t / name);
  }
  TempDir t;
};

}  // namespace

TEST_F(FormatOne, ListsTheChaptersAndComments) {
  setenv("TZ", "UTC", 1);
  const Result r = jar({"l", "plain.j", "-jb1-"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto p = listing::parse(r.out);
  EXPECT_NE(p.summary.find("Archive format 1, 2 chapters, 10 members"), std::string::npos) << p.summary;
  EXPECT_EQ(p.comment, (std::vector<std::string>{"Reference archive, format 1.", "Second comment line."}));
  EXPECT_EQ(p.chapters, "1-2");
  std::vector<std::string> rows;
  for (const auto& row : p.rows)
    rows.push_back(row.fullName() + " " + row.size + " " + row.chapters + " " + row.modified);
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "readme.txt 15 <1-2> 2023-11-14 22:13:20",
                      "notes.txt 12 <2-2> 2023-11-14 22:31:40",
                      "data\\ 0 <1-2> 2023-11-14 22:18:20",
                      "docs\\ 0 <1-2> 2023-11-14 22:18:20",
                      "empty folder\\ 0 <1-2> 2023-11-14 22:18:20",
                      "empty.txt 0 <1-2> 2023-11-14 22:13:20",
                      "data\\count.txt 8893 <1-2> 2023-11-14 22:16:40",
                      "docs\\guide.txt 4392 <1-1> 2023-11-14 22:15:00",
                      "docs\\guide.txt 4411 <2-2> 2023-11-14 22:30:00",
                      "docs\\readme-link 0 <1-2> 2023-11-14 22:13:20"}));
  EXPECT_EQ(p.totalBytes, "17,723");
}

TEST_F(FormatOne, TestsAndExtractsEveryChapterByteForByte) {
  for (const char* name : {"plain.j", "hidden.j", "gost.j"}) {
    const Result r = jar({"t", name, "-gsecret123"}, t.path());
    EXPECT_EQ(r.code, 0) << name << ": " << r.err;
  }
  Result r = jar({"x", "plain.j", "-jb1", "-y", "-oone"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  expectFiles(t / "one", {{"readme.txt", "Read me first.\n", 1700000000, 0444},
                          {"empty.txt", "", 1700000000, 0644},
                          {"docs/guide.txt", guide(false), 1700000100, 0644},
                          {"data/count.txt", count(), 1700000200, 0644}});
  expectLink(t / "one");
  struct stat st{};
  ASSERT_EQ(stat((t / "one/data").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
  EXPECT_TRUE(fs::is_directory(t / "one/empty folder"));
  EXPECT_FALSE(fs::exists(t / "one/notes.txt"));
  r = jar({"x", "plain.j", "-y", "-otwo"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  expectFiles(t / "two", {{"docs/guide.txt", guide(true), 1700001000, 0644},
                          {"notes.txt", "chapter two\n", 1700001100, 0644}});
  for (const char* name : {"hidden.j", "gost.j"}) {
    const fs::path out = t / (std::string(name) + ".out");
    r = jar({"x", name, "-gsecret123", "-y", "-o" + out.string()}, t.path());
    ASSERT_EQ(r.code, 0) << name << ": " << r.err;
    expectFiles(out, {{"readme.txt", "Read me first.\n", 1700000000, 0444},
                      {"docs/guide.txt", guide(true), 1700001000, 0644}});
    expectLink(out);
  }
}

TEST_F(FormatOne, AChangedArchiveKeepsWhatItHeld) {
  writeFile(t / "new.txt", "new");
  ASSERT_EQ(jar({"a", "plain.j", "new.txt"}, t.path()).code, 0);
  ASSERT_EQ(jar({"a", "gost.j", "new.txt", "-gsecret123"}, t.path()).code, 0);
  for (const char* name : {"plain.j", "gost.j"}) {
    const Result r = jar({"t", name, "-gsecret123"}, t.path());
    EXPECT_EQ(r.code, 0) << name << ": " << r.err;
  }
  const Result r = jar({"x", "plain.j", "-jb1", "-y", "-oone"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  expectFiles(t / "one", {{"docs/guide.txt", guide(false), 1700000100, 0644},
                          {"data/count.txt", count(), 1700000200, 0644}});
  ASSERT_EQ(jar({"x", "gost.j", "-gsecret123", "-y", "-ogost"}, t.path()).code, 0);
  expectFiles(t / "gost", {{"docs/guide.txt", guide(true), 1700001000, 0644}});
  EXPECT_EQ(readFile(t / "gost/new.txt"), "new");
}
