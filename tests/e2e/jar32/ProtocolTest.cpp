// What the front-end relies on: argument files, file lists, work-file exclusions, jar.cfg and
// its warning, rh and CFG, exit codes, and the usage text.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {
const char* kSwitches = " -b- -m4 -s- -jl- -hf- -hg0 -y -d- -n- -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-";
}

TEST(Protocol, TheFrontEndsAddAndListLines) {
  TempDir t;
  makeSampleTree(t / "src");
  // Work files of the run lie in the source folder and are excluded by name.
  const std::vector<std::string> work = {"~tbERR", "~tbIN", "~tbOUT", "~tbARGS", "~tbFILES"};
  for (const auto& w : work) writeFile(t / "src" / w, "work");
  writeFile(t / "src/~tbFILES", " \"docs\\*\" \"readme.txt\" \"empty folder\\*\"");
  std::string line = " a \"" + (t / "a.j").string() + "\" -g-" + kSwitches + " @\"" + (t / "src/~tbFILES").string() + "\"";
  for (const auto& w : work) line += " -x\"" + (t / "src" / w).string() + "\"";
  Result r = jarArgs(line, t / "src");
  ASSERT_EQ(r.code, 0) << r.err << r.out;
  r = jarArgs(" l -jb1- \"" + (t / "a.j").string() + "\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto p = listing::parse(r.out);
  EXPECT_FALSE(p.configWarning);
  std::vector<std::string> names;
  for (const auto& row : p.rows) names.push_back(row.fullName());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"deep-link", "guide.txt", "inner empty\\", "readme-link",
                                             "readme.txt", "sub\\", "sub\\deep\\", "sub\\deep\\notes with blanks.txt",
                                             "sub\\Ünïcödé – файл.txt"}));
  // Extract back what the list names, as the front-end does: Path + Name in a file list.
  writeFile(t / "names", " \"\\readme.txt\" \"sub\\deep\\notes with blanks.txt\"");
  r = jarArgs(" x \"" + (t / "a.j").string() + "\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht- -o\"" +
                  (t / "out").string() + "\" @\"" + (t / "names").string() + "\"",
              t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "out/sub/deep/notes with blanks.txt"), "blank names\n");
  EXPECT_TRUE(fs::exists(t / "out/readme.txt"));
}

TEST(Protocol, MissingConfigurationWarnsAndTheRunGoesOn) {
  TempDir t;
  fs::create_directories(t / "bin");
  fs::copy_file(jarExe(), t / "bin/jar32.exe");
  writeFile(t / "a.txt", "a");
  const std::string exe = (t / "bin/jar32.exe").string();
  Result r = run(exe, {"a", "a.j", "a.txt"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("\nWARNING #301", 0), 0u);
  r = run(exe, {"l", "a.j"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto p = listing::parse(r.out);
  EXPECT_TRUE(p.configWarning);
  EXPECT_EQ(p.rows.size(), 1u);
  // CFG writes a file that the next run reads: no warning, and its defaults apply.
  r = run(exe, {"CFG", (t / "bin/jar.cfg").string()}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(run(exe, {"CFG", (t / "bin/jar.cfg").string()}, t.path()).code, 2);  // no overwrite without -y
  r = run(exe, {"l", "a.j"}, t.path());
  EXPECT_FALSE(listing::parse(r.out).configWarning);
  ASSERT_EQ(run(exe, {"ac", "a.j", "a.txt"}, t.path()).code, 0);
  writeFile(t / "bin/jar.cfg", "l -jb1-\n");
  p = listing::parse(run(exe, {"l", "a.j"}, t.path()).out);
  EXPECT_EQ(p.chapters, "1-2");
  writeFile(t / "bin/jar.cfg", "l -nonsense\n");
  r = run(exe, {"l", "a.j"}, t.path());
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("jar.cfg line 1"), std::string::npos);
}

TEST(Protocol, TheBuildPutsAConfigurationBesideTheProgram) {
  EXPECT_TRUE(fs::exists(fs::path(jarExe()).parent_path() / "jar.cfg"));
}

TEST(Protocol, ExitCodesForBadInput) {
  TempDir t;
  writeFile(t / "a.txt", "a");
  ASSERT_EQ(jar({"a", "a.j", "a.txt"}, t.path()).code, 0);
  EXPECT_EQ(jar({"l", "a.j", "-k"}, t.path()).code, 7);
  EXPECT_EQ(jar({"zz", "a.j"}, t.path()).code, 7);
  EXPECT_EQ(jarArgs(" l \"a.j", t.path()).code, 7);
  EXPECT_EQ(jar({"@" + (t / "no-such-args").string()}, t.path()).code, 7);
  EXPECT_EQ(jar({"l", "missing.j"}, t.path()).code, 6);
  writeFile(t / "not.j", std::string(200, 'n'));
  EXPECT_EQ(jar({"l", "not.j"}, t.path()).code, 9);
  EXPECT_EQ(jar({"t", "not.j"}, t.path()).code, 9);
  writeFile(t / "short.j", "");
  EXPECT_EQ(jar({"l", "short.j"}, t.path()).code, 9);
  // Recovery records and automatic volume sizes are done: no warning.
  const Result r = jar({"a", "v.j", "-hk", "-va", "a.txt"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 0);
  EXPECT_EQ(jar({"t", "v.j"}, t.path()).code, 0);
}

TEST(Protocol, RecoverTheHeaderOfADamagedArchive) {
  TempDir t;
  makeSampleTree(t / "src");
  ASSERT_EQ(jar({"a", "../d.j", "-r", "*"}, t / "src").code, 0);
  std::string bytes = readFile(t / "d.j");
  bytes.resize(bytes.size() - 40);  // the end of the directory is gone
  writeFile(t / "d.j", bytes);
  Result r = jar({"l", "d.j"}, t.path());  // found by scanning: listed, but reported as damage
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_GE(listing::parse(r.out).rows.size(), 10u);
  EXPECT_NE(r.err.find("rh"), std::string::npos);
  r = jarArgs(" rh -y \"" + (t / "d.j").string() + "\"", t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_TRUE(fs::exists(t / "$recover.j"));
  EXPECT_EQ(jar({"t", "$recover.j"}, t.path()).code, 0);
  r = jar({"l", "$recover.j"}, t.path());
  EXPECT_GE(listing::parse(r.out).rows.size(), 10u);
  r = jar({"x", "$recover.j", "-y", "-oout"}, t.path());
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
}

TEST(Protocol, UsageListsEveryCommandAndSwitch) {
  TempDir t;
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"--help"}}) {
    const Result r = jar(args, t.path());
    EXPECT_EQ(r.code, 0);
    for (const char* item : {"  a ", "  u ", "  f ", "  m ", "  ac ", "  d ", "  da ", "  dc ", "  e ", "  x ",
                             "  l ", "  t ", "  y ", "  rh ", "  CFG ", "-g", "-jg", "-b0", "-f", "-u", "-m1",
                             "-s", "-jl", "-js", "-hf", "-hg", "-l\"", "-o\"", "-w\"", "-z\"", "-hz", "-v",
                             "-hba0", "-hbd0", "-hbh0", "-hbr0", "-hbs0", "-y", "-d", "-n", "-q", "-r", "-jf",
                             "-jr", "-jt", "-hk", "-hx", "-jx", "-ha", "-he", "-hy", "-ht0", "-jb", "-x\"", "-ja"})
      EXPECT_NE(r.out.find(item), std::string::npos) << item;
  }
}

// A long file list costs a small multiple of its size, and its names are found fast.
TEST(Protocol, ALongFileListStaysSmallInMemory) {
  TempDir t;
  writeFile(t / "src/a.txt", "a");
  ASSERT_EQ(jar({"a", "a.j", "src/a.txt"}, t.path()).code, 0);
  std::string list;
  for (int i = 0; list.size() < (24u << 20); ++i) list += "\"" + std::to_string(i % 100) + "\" ";
  list += "\"a.txt\"";
  writeFile(t / "names", list);
  HeldRun run({"x", "a.j", "-y", "-oout", "@" + (t / "names").string()}, t.path(), "finished");
  ASSERT_TRUE(run.waitUntilHeld());
  const long peak = run.peakKb();
  const Result r = run.finish();
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(t / "out/a.txt"), "a");
  EXPECT_GT(peak, 0);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own memory would count
  EXPECT_LT(peak, 8 * 24 * 1024) << "KB for a list of 24 MB of the shortest names";
#endif
}

TEST(Protocol, AnArgumentFileThatIsNoFileIsRefusedAtOnce) {
  TempDir t;
  fs::create_directories(t / "folder");
  Result r = jar({"@" + (t / "folder").string()}, t.path());
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
  ASSERT_EQ(mkfifo((t / "fifo").c_str(), 0600), 0);
  r = jar({"l", "a.j", "@" + (t / "fifo").string()}, t.path());
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
}
