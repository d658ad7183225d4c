// Archives of format version 3, made by jar32.exe of 2026-12-09 (tests/data/jar32-format3/make.sh):
// every codec, both protections, records in columns and a directory referring to them; they
// list, test and extract byte for byte, rebuild from their records alone, and can be changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "JarRun.h"
#include "ListingParser.h"
#include "ReferenceArchives.h"

using namespace e2e;
using namespace e2e::reference;

namespace {

const fs::path kData = fs::path(TAMBER_SOURCE_DIR) / "tests/data/jar32-format3";

class FormatThree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"plain.j", "fast.j", "best.j", "hidden.j", "gost.j", "changed.j", "many.j"})
      fs::copy_file(kData / name, t / name);
  }
  TempDir t;
};

}  // namespace

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
