// Adding, listing, extracting and the commands around them on a real tree.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

listing::Parsed list(const fs::path& cwd, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args{"l", "a.j"};
  args.insert(args.end(), extra.begin(), extra.end());
  const Result r = jar(args, cwd);
  EXPECT_EQ(r.code, 0) << r.err;
  return listing::parse(r.out);
}

const listing::Row* findRow(const listing::Parsed& p, const std::string& fullName) {
  for (const auto& row : p.rows)
    if (row.fullName() == fullName) return &row;
  return nullptr;
}

}  // namespace

TEST(Basics, AddListAndExtractGiveBackTheSameTree) {
  TempDir t;
  makeSampleTree(t / "src");
  Result r = jar({"a", "../a.j", "-r", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err << r.out;
  fs::create_directories(t / "work");
  fs::rename(t / "a.j", t / "work/a.j");

  const auto p = list(t / "work");
  EXPECT_EQ(p.archivePath, (t / "work/a.j").string());
  EXPECT_TRUE(p.singleChapter);
  EXPECT_EQ(p.chapters, "1");
  ASSERT_NE(findRow(p, "readme.txt"), nullptr);
  EXPECT_EQ(findRow(p, "readme.txt")->attributes, "A-R-");
  EXPECT_EQ(findRow(p, "empty.txt")->size, "0");
  EXPECT_EQ(findRow(p, "docs\\guide.txt")->size, "20000");
  EXPECT_EQ(findRow(p, "docs\\")->attributes, "D---");
  EXPECT_EQ(findRow(p, "docs\\readme-link")->attributes[0], 'L');
  EXPECT_NE(findRow(p, "docs\\sub\\deep\\notes with blanks.txt"), nullptr);
  EXPECT_NE(findRow(p, "docs\\sub\\Ünïcödé – файл.txt"), nullptr);
  EXPECT_NE(findRow(p, "empty folder\\inner empty\\"), nullptr);
  EXPECT_EQ(findRow(p, ".hidden\\")->attributes, "DH--");
  EXPECT_EQ(p.totalBytes, "90,057");  // 15 + 20000 + 12 + 16 + 70000 + 14; links count 0
  EXPECT_EQ(p.folders.front(), "\\");

  r = jar({"x", "a.j", "-y", "-o" + (t / "out").string()}, t / "work");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
  r = jar({"t", "a.j"}, t / "work");
  EXPECT_EQ(r.code, 0) << r.err;
}

TEST(Basics, ExtractWithoutFoldersAndSelectedNames) {
  TempDir t;
  makeSampleTree(t / "src");
  ASSERT_EQ(jar({"a", "../a.j", "-r", "*"}, t / "src").code, 0);
  // Names as the front-end gives them back: Path + Name, root names with a backslash.
  Result r = jar({"e", "a.j", "-y", "-oflat", "\\readme.txt", "docs\\sub\\*"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "flat/readme.txt"), "Read me first.\n");
  EXPECT_EQ(readFile(t / "flat/notes with blanks.txt"), "blank names\n");
  EXPECT_TRUE(fs::exists(t / "flat/Ünïcödé – файл.txt"));
  EXPECT_FALSE(fs::exists(t / "flat/docs"));
  EXPECT_FALSE(fs::exists(t / "flat/guide.txt"));
  // Exclusions, and a listing limited to names.
  r = jar({"x", "a.j", "-y", "-opart", "-x*.bin", "-x.hidden\\"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(t / "part/data/random.bin"));
  EXPECT_TRUE(fs::exists(t / "part/data"));
  EXPECT_TRUE(fs::exists(t / "part/.hidden/secret.txt"));  // only the folder member was excluded
  const auto p = list(t.path(), {"docs\\*.txt"});
  EXPECT_EQ(p.rows.size(), 3u);
}

TEST(Basics, ExistingFilesAreReplacedOnlyWhenAllowed) {
  TempDir t;
  writeFile(t / "src/f.txt", "archived");
  ASSERT_EQ(jar({"a", "a.j", "src/f.txt"}, t.path()).code, 0);
  writeFile(t / "out/f.txt", "local");
  Result r = jar({"x", "a.j", "-oout"}, t.path());  // no -y, no answer on standard input
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(readFile(t / "out/f.txt"), "local");
  fs::permissions(t / "out/f.txt", fs::perms::owner_read);
  r = jar({"x", "a.j", "-oout", "-y"}, t.path());
  EXPECT_EQ(r.code, 1);  // read-only: needs -ha
  EXPECT_EQ(readFile(t / "out/f.txt"), "local");
  r = jar({"x", "a.j", "-oout", "-y", "-ha"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "out/f.txt"), "archived");
}

TEST(Basics, FreshenAndUpdateOnExtraction) {
  TempDir t;
  writeFile(t / "src/old.txt", "archived old");
  writeFile(t / "src/new.txt", "archived new");
  fs::last_write_time(t / "src/old.txt", fs::file_time_type::clock::now() - std::chrono::hours(48));
  ASSERT_EQ(jar({"a", "a.j", "src/*"}, t.path()).code, 0);
  writeFile(t / "out/old.txt", "newer on disk");
  writeFile(t / "out/new.txt", "older on disk");
  fs::last_write_time(t / "out/new.txt", fs::file_time_type::clock::now() - std::chrono::hours(96));
  // -f: only existing files whose member is newer.
  Result r = jar({"e", "a.j", "-oout", "-y", "-f"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "out/old.txt"), "newer on disk");
  EXPECT_EQ(readFile(t / "out/new.txt"), "archived new");
  fs::remove(t / "out/new.txt");
  r = jar({"e", "a.j", "-oout", "-y", "-f"}, t.path());
  EXPECT_FALSE(fs::exists(t / "out/new.txt"));  // freshen adds nothing
  r = jar({"e", "a.j", "-oout", "-y", "-u"}, t.path());
  EXPECT_TRUE(fs::exists(t / "out/new.txt"));   // update does
  EXPECT_EQ(readFile(t / "out/old.txt"), "newer on disk");
  r = jar({"e", "a.j", "-oout", "-y", "-f1"}, t.path());  // older members replace newer files
  EXPECT_EQ(readFile(t / "out/old.txt"), "archived old");
}

TEST(Basics, AddModesUpdateFreshenOnlyNewAndMove) {
  TempDir t;
  writeFile(t / "a.txt", "one");
  writeFile(t / "b.txt", "two");
  ASSERT_EQ(jar({"a", "x.j", "a.txt"}, t.path()).code, 0);
  fs::last_write_time(t / "a.txt", fs::file_time_type::clock::now() + std::chrono::hours(1));
  writeFile(t / "c.txt", "three");
  ASSERT_EQ(jar({"f", "x.j", "*.txt"}, t.path()).code, 0);  // freshen: a only
  Result r = jar({"l", "x.j"}, t.path());
  auto p = listing::parse(r.out);
  EXPECT_EQ(p.rows.size(), 1u);
  ASSERT_EQ(jar({"u", "x.j", "*.txt"}, t.path()).code, 0);  // update: b and c come in
  p = listing::parse(jar({"l", "x.j"}, t.path()).out);
  EXPECT_EQ(p.rows.size(), 3u);
  writeFile(t / "d.txt", "four");
  writeFile(t / "b.txt", "changed");
  ASSERT_EQ(jar({"a", "x.j", "-n", "*.txt"}, t.path()).code, 0);  // only new names
  fs::create_directories(t / "check");
  ASSERT_EQ(jar({"e", "x.j", "-y", "-ocheck", "b.txt", "d.txt"}, t.path()).code, 0);
  EXPECT_EQ(readFile(t / "check/b.txt"), "two");
  EXPECT_EQ(readFile(t / "check/d.txt"), "four");
  // m removes the sources only after the archive is written.
  fs::create_directories(t / "mv/sub");
  writeFile(t / "mv/sub/m.txt", "moved");
  r = jar({"m", "x.j", "-r", "mv/*"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(t / "mv/sub/m.txt"));
  EXPECT_FALSE(fs::exists(t / "mv/sub"));
  ASSERT_EQ(jar({"x", "x.j", "-y", "-ocheck", "sub\\m.txt"}, t.path()).code, 0);
  EXPECT_EQ(readFile(t / "check/sub/m.txt"), "moved");
}

TEST(Basics, DeleteByNameAndFolderMembers) {
  TempDir t;
  makeSampleTree(t / "src");
  ASSERT_EQ(jar({"a", "../a.j", "-r", "*"}, t / "src").code, 0);
  Result r = jar({"d", "a.j", "\\readme.txt", "docs\\sub\\"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto p = listing::parse(jar({"l", "a.j"}, t.path()).out);
  EXPECT_EQ(findRow(p, "readme.txt"), nullptr);
  EXPECT_EQ(findRow(p, "docs\\sub\\"), nullptr);
  EXPECT_NE(findRow(p, "docs\\sub\\deep\\notes with blanks.txt"), nullptr);  // only the folder
  r = jar({"d", "a.j", "no-such-name"}, t.path());
  EXPECT_EQ(r.code, 1);
  r = jar({"d", "a.j", "*", "-x*.bin"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  p = listing::parse(jar({"l", "a.j"}, t.path()).out);
  ASSERT_EQ(p.rows.size(), 1u);
  EXPECT_EQ(p.rows[0].fullName(), "data\\random.bin");
  r = jar({"d", "a.j"}, t.path());
  EXPECT_EQ(r.code, 7);
}

TEST(Basics, BaseFolderFullPathsAndUnstorableNames) {
  TempDir t;
  writeFile(t / "in/a.txt", "a");
  writeFile(t / "in/bad\\name.txt", "b");
  writeFile(t / "in/line\nbreak.txt", "c");
  Result r = jar({"a", "x.j", "-obackup\\2026", "in/*"}, t.path());
  EXPECT_EQ(r.code, 1);  // two names skipped
  EXPECT_NE(r.err.find("backslash"), std::string::npos);
  auto p = listing::parse(jar({"l", "x.j"}, t.path()).out);
  ASSERT_EQ(p.rows.size(), 1u);
  EXPECT_EQ(p.rows[0].fullName(), "backup\\2026\\a.txt");
  ASSERT_EQ(jar({"a", "y.j", "-jf", (t / "in/a.txt").string()}, t.path()).code, 0);
  p = listing::parse(jar({"l", "y.j"}, t.path()).out);
  std::string expected = (t.path() / "in/a.txt").relative_path().string();
  for (char& c : expected)
    if (c == '/') c = '\\';
  EXPECT_EQ(p.rows[0].fullName(), expected);
}

TEST(Basics, BigFileRoundTrip) {
  TempDir t;
  const std::string big = someBytes(100u << 20, 7, true);
  writeFile(t / "big/big.dat", big);
  Result r = jar({"a", "big.j", "-m1", "big/big.dat"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_LT(fs::file_size(t / "big.j"), big.size());
  r = jar({"e", "big.j", "-y", "-oout"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(fs::file_size(t / "out/big.dat"), big.size());
  EXPECT_TRUE(readFile(t / "out/big.dat") == big);
}

TEST(Basics, WorkFolderListFileAndSwitchesWithoutEffect) {
  TempDir t;
  writeFile(t / "src/a.txt", "a");
  writeFile(t / "src/b.txt", "b");
  fs::create_directories(t / "work");
  Result r = jar({"a", "w.j", "-wwork", "-lnames.txt", "src/*"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "names.txt"), "a.txt\nb.txt\n");
  EXPECT_TRUE(fs::is_empty(t / "work"));
  r = jar({"x", "w.j", "-y", "-oout", "-lout.txt", "b.txt"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "out.txt"), "b.txt\n");
  // Archive bits and long-name processing are accepted and change nothing.
  r = jar({"a", "w.j", "-b1", "-hf2", "src/a.txt"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
}

// Copies of one file in a tree (versions of a project side by side), which share one stored
// copy, are not hard links when extracted and outlive the name whose copy was stored.
TEST(Basics, CopiesOfAFileAreExtractedAsFilesOfTheirOwnAndOutliveTheFirst) {
  TempDir t;
  std::string data;
  for (unsigned x = 1; data.size() < 200000; x = x * 1103515245u + 12345u) data.push_back(char(x >> 24));
  for (const char* name : {"src/v1/lib.bin", "src/v2/lib.bin", "src/v3/lib.bin"}) writeFile(t / name, data);
  writeFile(t / "src/v3/new.txt", "only in v3");
  ASSERT_EQ(jar({"a", "../a.j", "-r", "-m1", "*"}, t / "src").code, 0);
  ASSERT_EQ(jar({"d", "a.j", "v1\\lib.bin", "-y"}, t.path()).code, 0);
  EXPECT_EQ(jar({"t", "a.j"}, t.path()).code, 0);
  const Result r = jar({"x", "a.j", "-y", "-o" + (t / "out").string()}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(t / "out/v1/lib.bin"));
  EXPECT_EQ(readFile(t / "out/v2/lib.bin"), data);
  EXPECT_EQ(readFile(t / "out/v3/lib.bin"), data);
  struct stat a{}, b{};
  ASSERT_EQ(stat((t / "out/v2/lib.bin").c_str(), &a), 0);
  ASSERT_EQ(stat((t / "out/v3/lib.bin").c_str(), &b), 0);
  EXPECT_NE(a.st_ino, b.st_ino);
  EXPECT_EQ(a.st_nlink, 1u);
}
