// Archives of format versions 2 to 7 (tests/data/jar32-format2/ to jar32-format7/, each made by
// its make.sh): every codec, both protections, the member fields since version 2; they list, test
// and extract byte for byte, and can still be changed. The gzip files of versions 6 and 7 come
// back whole, and version 7's nanoseconds are those of version 6.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "JarRun.h"
#include "ListingParser.h"
#include "ReferenceArchives.h"

using namespace e2e;
using namespace e2e::reference;

namespace {

// The archives of format version GetParam(), made by its make.sh.
class LaterFormat : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(TAMBER_SOURCE_DIR) / ("tests/data/jar32-format" + std::to_string(GetParam()));
    for (const char* name : {"plain.j", "fast.j", "best.j", "hidden.j", "gost.j"})
      fs::copy_file(data / name, t / name);
  }
  std::string version() const { return std::to_string(GetParam()); }
  TempDir t;
};

}  // namespace

TEST_P(LaterFormat, ListsTheChaptersAndComments) {
  setenv("TZ", "UTC", 1);
  const Result r = jar({"l", "plain.j", "-jb1-"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto p = listing::parse(r.out);
  EXPECT_NE(p.summary.find("Archive format " + version() + ", 2 chapters, 14 members"), std::string::npos) << p.summary;
  EXPECT_EQ(p.comment, (std::vector<std::string>{"Reference archive, format " + version() + ".", "Second comment line."}));
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

TEST_P(LaterFormat, TestsAndExtractsEveryArchiveByteForByte) {
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

TEST_P(LaterFormat, AChangedArchiveKeepsWhatItHeld) {
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

INSTANTIATE_TEST_SUITE_P(Versions, LaterFormat, ::testing::Values(2, 3, 4, 5, 6, 7),
                         [](const auto& info) { return "Format" + std::to_string(info.param); });

TEST(FormatSixAndSeven, GzipFilesWithoutTheirTrailersComeBackWhole) {
  const fs::path data = fs::path(TAMBER_SOURCE_DIR) / "tests/data/jar32-format6";
  for (const char* version : {"6", "7"}) {
    SCOPED_TRACE(version);
    TempDir t;
    fs::copy_file(fs::path(TAMBER_SOURCE_DIR) / "tests/data" / (std::string("jar32-format") + version) / "gzip.j", t / "gzip.j");
    const Result list = jar({"l", "gzip.j"}, t.path());
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(listing::parse(list.out).rows.size(), 5u);
    EXPECT_EQ(jar({"t", "gzip.j"}, t.path()).code, 0);
    // Also when the directory is rebuilt from the blocks alone.
    ASSERT_EQ(jar({"rh", "gzip.j"}, t.path()).code, 0);
    for (const char* archive : {"gzip.j", "$recover.j"}) {
      SCOPED_TRACE(archive);
      const fs::path out = t / (std::string(archive) + ".out");
      ASSERT_EQ(jar({"x", archive, "-y", "-o" + out.string()}, t.path()).code, 0);
      size_t files = 0;
      for (const auto& entry : fs::directory_iterator(data / "gzip")) {
        EXPECT_EQ(readFile(out / entry.path().filename()), readFile(entry.path())) << entry.path();
        ++files;
      }
      EXPECT_EQ(files, 5u);
    }
  }
}

// The same 600 files with nanoseconds at random, in version 6 (milliseconds and the rest) and
// version 7 (steps in planes of bytes): every file comes back with the same time.
TEST(FormatSeven, NanosecondsAreThoseOfVersionSix) {
  TempDir t;
  std::map<std::string, std::pair<int64_t, long>> times[2];
  for (int v = 0; v < 2; ++v) {
    const fs::path data = fs::path(TAMBER_SOURCE_DIR) / ("tests/data/jar32-format" + std::to_string(6 + v));
    const fs::path out = t / std::to_string(v);
    const Result r = jar({"x", (data / "many.j").string(), "-y", "-o" + out.string()}, t.path());
    ASSERT_EQ(r.code, 0) << r.err;
    for (const auto& entry : fs::directory_iterator(out)) {
      struct stat st{};
      ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
      times[v][entry.path().filename()] = {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    }
  }
  EXPECT_EQ(times[0].size(), 600u);
  EXPECT_EQ(times[0], times[1]);
  size_t whole = 0;
  for (const auto& [name, time] : times[1]) whole += time.second == 0;
  EXPECT_LT(whole, 3u);  // the nanoseconds are there, not cut to seconds
}
