// Chapters: ac, the -jb selection, extraction of older versions, d in the last chapter, da, dc.
#include <gtest/gtest.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

listing::Parsed list(const fs::path& cwd, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args{"l", "c.j"};
  args.insert(args.end(), extra.begin(), extra.end());
  const Result r = jar(args, cwd);
  EXPECT_EQ(r.code, 0) << r.err;
  return listing::parse(r.out);
}

std::vector<std::string> rowsWithChapters(const listing::Parsed& p) {
  std::vector<std::string> out;
  for (const auto& r : p.rows) out.push_back(r.fullName() + " " + r.chapters);
  std::sort(out.begin(), out.end());
  return out;
}

class Chapters : public ::testing::Test {
 protected:
  // Chapter 1: a, b, c. Chapter 2: a unchanged, b changed, c gone, d new. Chapter 3: a, b, d unchanged.
  void SetUp() override {
    writeFile(t / "src/a.txt", "alpha");
    writeFile(t / "src/b.txt", "beta 1");
    writeFile(t / "src/c.txt", "gamma");
    ASSERT_EQ(jar({"a", "../c.j", "*"}, t / "src").code, 0);
    writeFile(t / "src/b.txt", "beta 2, longer");
    fs::remove(t / "src/c.txt");
    writeFile(t / "src/d.txt", "delta");
    Result r = jar({"ac", "../c.j", "*"}, t / "src");
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    r = jar({"ac", "../c.j", "*"}, t / "src");
    ASSERT_EQ(r.code, 0) << r.err << r.out;
  }
  TempDir t;
};

}  // namespace

TEST_F(Chapters, ListingsShowTheLastChapterOrARange) {
  auto p = list(t.path());
  EXPECT_TRUE(p.singleChapter);
  EXPECT_EQ(p.chapters, "3");
  EXPECT_EQ(p.rows.size(), 3u);
  EXPECT_NE(p.summary.find("3 chapters"), std::string::npos);
  p = list(t.path(), {"-jb1-"});
  EXPECT_FALSE(p.singleChapter);
  EXPECT_EQ(p.chapters, "1-3");
  EXPECT_EQ(rowsWithChapters(p), (std::vector<std::string>{"a.txt <1-3>", "b.txt <1-1>", "b.txt <2-3>",
                                                           "c.txt <1-1>", "d.txt <2-3>"}));
  p = list(t.path(), {"-jb1"});
  EXPECT_EQ(p.chapters, "1");
  EXPECT_EQ(p.rows.size(), 3u);
  p = list(t.path(), {"-jb2-9"});
  EXPECT_EQ(p.chapters, "2-3");
  EXPECT_EQ(jar({"l", "c.j", "-jb5-"}, t.path()).code, 7);
}

TEST_F(Chapters, ExtractionTakesTheNewestVersionInTheRange) {
  Result r = jar({"e", "c.j", "-y", "-jb1", "-oone"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "one/b.txt"), "beta 1");
  EXPECT_EQ(readFile(t / "one/c.txt"), "gamma");
  EXPECT_FALSE(fs::exists(t / "one/d.txt"));
  r = jar({"e", "c.j", "-y", "-jb1-", "-oall"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "all/b.txt"), "beta 2, longer");
  EXPECT_EQ(readFile(t / "all/c.txt"), "gamma");
  r = jar({"e", "c.j", "-y", "-olast"}, t.path());
  EXPECT_FALSE(fs::exists(t / "last/c.txt"));
}

TEST_F(Chapters, DeleteInTheLastChapterInAllChaptersAndWholeChapters) {
  Result r = jar({"d", "c.j", "a.txt"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto p = list(t.path(), {"-jb1-"});
  EXPECT_EQ(rowsWithChapters(p), (std::vector<std::string>{"a.txt <1-2>", "b.txt <1-1>", "b.txt <2-3>",
                                                           "c.txt <1-1>", "d.txt <2-3>"}));
  r = jar({"da", "c.j", "b.txt"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  p = list(t.path(), {"-jb1-"});
  EXPECT_EQ(rowsWithChapters(p), (std::vector<std::string>{"a.txt <1-2>", "c.txt <1-1>", "d.txt <2-3>"}));
  // The front-end's dc line: the bare range after the switches; later chapters move down.
  r = jarArgs(" dc \"c.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht- 1-1", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  p = list(t.path(), {"-jb1-"});
  EXPECT_EQ(p.chapters, "1-2");
  EXPECT_EQ(rowsWithChapters(p), (std::vector<std::string>{"a.txt <1-1>", "d.txt <1-2>"}));
  r = jarArgs(" dc \"c.j\" -y -", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  p = list(t.path(), {"-jb1-"});
  EXPECT_TRUE(p.rows.empty());
  EXPECT_EQ(p.totalFiles, "0");
}

TEST_F(Chapters, ChapterComparisonModes) {
  // -js2 (bare -js): every file gets a new version even when unchanged.
  Result r = jar({"ac", "../c.j", "-js", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  auto p = list(t.path(), {"-jb3-4"});
  EXPECT_EQ(rowsWithChapters(p), (std::vector<std::string>{"a.txt <1-3>", "a.txt <4-4>", "b.txt <2-3>",
                                                           "b.txt <4-4>", "d.txt <2-3>", "d.txt <4-4>"}));
  // -js1: same content counts as unchanged even when the time moved.
  fs::last_write_time(t / "src/a.txt", fs::file_time_type::clock::now() + std::chrono::hours(2));
  r = jar({"ac", "../c.j", "-js1", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  p = list(t.path(), {"-jb5"});
  for (const auto& row : p.rows) EXPECT_EQ(row.chapters, "5");
  p = list(t.path(), {"-jb4-5"});
  EXPECT_EQ(rowsWithChapters(p), (std::vector<std::string>{"a.txt <4-5>", "b.txt <4-5>", "d.txt <4-5>"}));
}
