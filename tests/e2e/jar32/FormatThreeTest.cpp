// Archives of format version 3, made by jar32.exe of 2026-12-09 (tests/data/jar32-format3/make.sh):
// every codec, both protections, records in columns and a directory referring to them; they
// list, test and extract byte for byte, rebuild from their records alone, and can be changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

const fs::path kData = fs::path(TAMBER_SOURCE_DIR) / "tests/data/jar32-format3";

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

std::string tool() {
  std::string data = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(9, '\0');
  for (int i = 0; i < 6000; ++i) {
    const char call[] = {'\xE8', char(i & 0xFF), char((i >> 8) & 0xFF), 0, 0, '\x48', '\x89', '\xC7', '\x90'};
    data.append(call, sizeof call);
  }
  return data;
}

std::string sparse() {
  std::string data(1 << 20, '\0');
  data.replace(524288, 5, "holes");
  return data;
}

struct Expected {
  std::string path, content;
  int64_t sec;
  long nsec;
  unsigned mode;
};

void expectFiles(const fs::path& root, const std::vector<Expected>& files) {
  for (const Expected& e : files) {
    SCOPED_TRACE(root / e.path);
    struct stat st{};
    ASSERT_EQ(lstat((root / e.path).c_str(), &st), 0);
    EXPECT_EQ(readFile(root / e.path), e.content);
    EXPECT_EQ(st.st_mtim.tv_sec, e.sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, e.nsec);
    EXPECT_EQ(st.st_mode & 07777, e.mode);
  }
}

const std::vector<Expected> kLastChapter = {
    {"readme.txt", "Read me first.\n", 1700000000, 123456789, 0444},
    {"empty.txt", "", 1700000000, 123456789, 0644},
    {"docs/guide.txt", guide(true), 1700001000, 0, 0644},
    {"bin/tool", tool(), 1700000200, 0, 0755}};

class FormatThree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"plain.j", "fast.j", "best.j", "hidden.j", "gost.j", "changed.j", "many.j"})
      fs::copy_file(kData / name, t / name);
  }
  TempDir t;
};

}  // namespace

TEST_F(FormatThree, ListsTheChaptersAndComments) {
  setenv("TZ", "UTC", 1);
  const Result r = jar({"l", "plain.j", "-jb1-"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto p = listing::parse(r.out);
  EXPECT_NE(p.summary.find("Archive format 3, 2 chapters, 14 members"), std::string::npos) << p.summary;
  EXPECT_EQ(p.comment, (std::vector<std::string>{"Reference archive, format 3.", "Second comment line."}));
  std::vector<std::string> rows;
  for (const auto& row : p.rows) rows.push_back(row.fullName() + " " + row.size + " " + row.chapters);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "bin\\ 0 <1-2>", "bin\\tool 54016 <1-2>", "data\\ 0 <1-2>",
                      "data\\count-link.txt 8893 <1-2>", "data\\count.txt 8893 <1-2>",
                      "data\\sparse.bin 1048576 <1-2>", "docs\\ 0 <1-2>",
                      "docs\\guide.txt 4392 <1-1>", "docs\\guide.txt 4411 <2-2>",
                      "docs\\readme-link 0 <1-2>", "empty folder\\ 0 <1-2>", "empty.txt 0 <1-2>",
                      "notes.txt 12 <2-2>", "readme.txt 15 <1-2>"}));
  const Result comments = jar({"l", "plain.j", "-jb1-", "-jc"}, t.path());
  EXPECT_NE(comments.out.find("Chapter 2:\n    The second chapter.\n"), std::string::npos);
}

TEST_F(FormatThree, TestsAndExtractsEveryArchiveByteForByte) {
  for (const char* name : {"plain.j", "fast.j", "best.j", "hidden.j", "gost.j"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(jar({"t", name, "-gsecret123"}, t.path()).code, 0);
    const fs::path out = t / (std::string(name) + ".out");
    const Result r = jar({"x", name, "-gsecret123", "-y", "-o" + out.string()}, t.path());
    ASSERT_EQ(r.code, 0) << r.err;
    expectFiles(out, {kLastChapter[0], kLastChapter[2], kLastChapter[3]});
    EXPECT_EQ(fs::read_symlink(out / "docs/readme-link"), "../readme.txt");
    if (std::string(name) == "hidden.j" || std::string(name) == "gost.j") continue;
    expectFiles(out, {kLastChapter[1], {"data/count.txt", count(), 1700000200, 0, 0644},
                      {"data/sparse.bin", sparse(), 1700000200, 0, 0644}});
    struct stat a{}, b{}, s{};
    ASSERT_EQ(stat((out / "data/count.txt").c_str(), &a), 0);
    ASSERT_EQ(stat((out / "data/count-link.txt").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);  // one file with two names again
    ASSERT_EQ(stat((out / "data/sparse.bin").c_str(), &s), 0);
    EXPECT_LT(s.st_blocks * 512, 1 << 20);  // holes again
  }
  const Result r = jar({"x", "plain.j", "-jb1", "-y", "-oone"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  expectFiles(t / "one", {{"docs/guide.txt", guide(false), 1700000100, 500000000, 0644}});
  EXPECT_FALSE(fs::exists(t / "one/notes.txt"));
}

TEST_F(FormatThree, AChangedArchiveKeepsWhatItHeld) {
  writeFile(t / "new.txt", "new");
  for (const char* name : {"plain.j", "best.j", "gost.j"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(jar({"a", name, "new.txt", "-gsecret123", "-m4"}, t.path()).code, 0);
    ASSERT_EQ(jar({"d", name, "docs\\guide.txt", "-gsecret123", "-y"}, t.path()).code, 0);
    EXPECT_EQ(jar({"t", name, "-gsecret123"}, t.path()).code, 0);
    const fs::path out = t / (std::string(name) + ".out");
    ASSERT_EQ(jar({"x", name, "-gsecret123", "-y", "-o" + out.string()}, t.path()).code, 0);
    expectFiles(out, {kLastChapter[0], kLastChapter[3]});
    EXPECT_EQ(readFile(out / "new.txt"), "new");
    EXPECT_FALSE(fs::exists(out / "docs/guide.txt"));
  }
}

TEST_F(FormatThree, AChangedArchiveAndOneRebuiltFromItsRecordsListTheSame) {
  setenv("TZ", "UTC", 1);
  const Result changed = jar({"l", "changed.j", "-jb1-"}, t.path());
  ASSERT_EQ(changed.code, 0) << changed.err;
  std::vector<std::string> names;
  for (const auto& row : listing::parse(changed.out).rows)
    names.push_back(row.fullName() + " " + row.size + " " + row.chapters);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{
                      "bin\\ 0 <1-2>", "bin\\tool 54016 <1-2>", "data\\ 0 <1-2>",
                      "data\\count-link.txt 8893 <1-2>", "data\\count.txt 8893 <1-2>",
                      "data\\sparse.bin 1048576 <1-2>", "docs\\ 0 <1-2>",
                      "docs\\guide.txt 4392 <1-1>",  // only the current version was deleted
                      "docs\\readme-link 0 <1-2>", "empty folder\\ 0 <1-2>", "empty.txt 0 <1-2>",
                      "later.txt 12 <2-2>", "notes.txt 12 <2-2>", "readme.txt 15 <1-2>"}));
  ASSERT_EQ(jar({"t", "changed.j"}, t.path()).code, 0);
  ASSERT_EQ(jar({"x", "changed.j", "-y", "-ochanged"}, t.path()).code, 0);
  EXPECT_EQ(readFile(t / "changed/later.txt"), "added later\n");
  expectFiles(t / "changed", {kLastChapter[0], kLastChapter[3]});
  EXPECT_FALSE(fs::exists(t / "changed/docs/guide.txt"));

  // Every listing is what the records alone give back.
  auto rows = [](const std::string& out) {
    std::vector<std::string> all;
    for (const auto& row : listing::parse(out).rows)
      all.push_back(row.fullName() + " " + row.size + " " + row.chapters + " " + row.modified + " " + row.attributes);
    std::sort(all.begin(), all.end());
    return all;
  };
  for (const char* name : {"plain.j", "best.j", "gost.j", "changed.j"}) {
    SCOPED_TRACE(name);
    const Result before = jar({"l", name, "-jb1-", "-gsecret123"}, t.path());
    ASSERT_EQ(before.code, 0) << before.err;
    const Result rh = jar({"rh", name, "-gsecret123"}, t.path());
    ASSERT_EQ(rh.code, 0) << rh.err;
    const Result after = jar({"l", "$recover.j", "-jb1-", "-gsecret123"}, t.path());
    ASSERT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(rows(after.out), rows(before.out));
    EXPECT_EQ(jar({"t", "$recover.j", "-gsecret123"}, t.path()).code, 0);
    fs::remove(t / "$recover.j");
  }
}

TEST_F(FormatThree, RecordsPackedWithXzListTestAndExtract) {
  const Result list = jar({"l", "many.j"}, t.path());
  ASSERT_EQ(list.code, 0) << list.err;
  const auto rows = listing::parse(list.out).rows;
  ASSERT_EQ(rows.size(), 600u);
  ASSERT_EQ(jar({"t", "many.j"}, t.path()).code, 0);
  ASSERT_EQ(jar({"x", "many.j", "-y", "-omany"}, t.path()).code, 0);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(t / "many")) {
    const std::string name = entry.path().filename().string();
    const std::string number = name.substr(name.rfind('-') + 1, name.size() - name.rfind('-') - 5);
    EXPECT_EQ(readFile(entry.path()), number + "\n") << name;
    struct stat st{};
    ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
    EXPECT_GE(st.st_mtim.tv_sec, 1700000000);
    ++files;
  }
  EXPECT_EQ(files, 600u);
}
