// Extraction never writes outside its folder, whatever names and links an archive holds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JarRun.h"
#include "ListingParser.h"
#include "jar32/Changes.h"

using namespace e2e;

namespace {

/// Makes an archive whose member names come straight from the test, bypassing the program's
/// own checks, as a hostile archive would.
void hostileArchive(const fs::path& archive, const fs::path& source,
                    const std::vector<std::pair<std::string, std::string>>& files,
                    const std::vector<std::pair<std::string, std::string>>& links) {
  std::vector<jar32::SourceFile> sources;
  for (const auto& [name, content] : files) {
    const fs::path host = source / ("f" + std::to_string(sources.size()));
    writeFile(host, content);
    jar32::SourceFile f;
    f.hostPath = host.string();
    f.meta.name = name;
    f.meta.kind = jar32::MemberKind::File;
    f.meta.size = content.size();
    f.meta.mtime = 1700000000;
    f.meta.mode = 0644;
    f.meta.attributes = jar32::kAttrArchive;
    sources.push_back(f);
  }
  for (const auto& [name, target] : links) {
    jar32::SourceFile f;
    f.hostPath = (source / "unused").string();
    f.meta.name = name;
    f.meta.kind = jar32::MemberKind::Symlink;
    f.meta.linkTarget = target;
    f.meta.mtime = 1700000000;
    f.meta.mode = 0777;
    f.meta.attributes = jar32::kAttrArchive;
    sources.push_back(f);
  }
  jar32::addFiles(archive.string(), sources, jar32::AddMode::Add, false, false,
                  jar32::ChapterCompare::SizeAndTime, jar32::WriteSettings{}, nullptr);
}

std::vector<std::string> everything(const fs::path& root) {
  std::vector<std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
    out.push_back(fs::relative(it->path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(Safety, HostileNamesAreRefusedAndNothingLandsOutside) {
  TempDir t;
  hostileArchive(t / "evil.j", t / "src",
                 {{"..\\escaped.txt", "x"},
                  {"ok\\..\\..\\escaped2.txt", "x"},
                  {"/tmp-abs.txt", "x"},
                  {"\\rooted.txt", "x"},
                  {"C:\\drive.txt", "x"},
                  {"ok/../../slash.txt", "x"},
                  {"good\\fine.txt", "fine"}},
                 {});
  fs::create_directories(t / "box/target");
  const Result r = jar({"x", "../../evil.j", "-y"}, t / "box/target");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(everything(t / "box"), (std::vector<std::string>{"target", "target/good", "target/good/fine.txt"}));
  EXPECT_FALSE(fs::exists("/tmp-abs.txt"));
  // The listing shows them without breaking.
  const Result l = jar({"l", "evil.j"}, t.path());
  EXPECT_EQ(l.code, 0);
  EXPECT_EQ(listing::parse(l.out).rows.size(), 7u);
  // e drops folders, so only the last part counts; still nothing outside.
  const Result e = jar({"e", "../../evil.j", "-y"}, t / "box/target");
  EXPECT_EQ(e.code, 1) << e.err;  // the absolute and the '/'-smuggled names stay refused
  EXPECT_EQ(everything(t / "box").size(), 8u);  // flat copies of the five usable last parts
  EXPECT_FALSE(fs::exists(t / "box/escaped.txt"));
}

TEST(Safety, LinksNeverLeadWritesOutside) {
  TempDir t;
  fs::create_directories(t / "outside");
  hostileArchive(t / "links.j", t / "src",
                 {{"up\\passwd", "owned"}, {"inside\\x.txt", "x"}, {"fine\\x.txt", "through"}},
                 {{"up", "../outside"},
                  {"abs", "/etc"},
                  {"sneaky", "inside/../../outside"},
                  {"fine", "inside"},
                  {"inside\\ok", "../fine/x.txt"}});
  fs::create_directories(t / "box");
  const Result r = jar({"x", "../links.j", "-y"}, t / "box");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(fs::is_empty(t / "outside"));
  EXPECT_FALSE(fs::is_symlink(t / "box/up"));
  EXPECT_FALSE(fs::exists(t / "box/abs"));
  EXPECT_FALSE(fs::is_symlink(t / "box/sneaky"));
  EXPECT_EQ(readFile(t / "box/inside/x.txt"), "x");
  EXPECT_TRUE(fs::is_symlink(t / "box/inside/ok"));
  EXPECT_EQ(fs::read_symlink(t / "box/inside/ok"), "../fine/x.txt");
}

TEST(Safety, ALinkAlreadyInTheTargetFolderIsNeverFollowed) {
  TempDir t;
  fs::create_directories(t / "outside");
  writeFile(t / "src/sub/a.txt", "a");
  writeFile(t / "src/b.txt", "b");
  ASSERT_EQ(jar({"a", "a.j", "-r", "src/*"}, t.path()).code, 0);
  fs::create_directories(t / "box");
  fs::create_directory_symlink(t / "outside", t / "box/sub");  // planted before extraction
  fs::create_symlink(t / "outside/b.txt", t / "box/b.txt");
  const Result r = jar({"x", "a.j", "-y", "-obox"}, t.path());
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(fs::is_empty(t / "outside"));
  // b.txt: the planted link itself was replaced, its target never written.
  EXPECT_FALSE(fs::is_symlink(t / "box/b.txt"));
  EXPECT_EQ(readFile(t / "box/b.txt"), "b");
}

TEST(Safety, ALinkIsJudgedWhereExtractionPlacesIt) {
  TempDir t;
  std::string deep, up;
  for (int i = 0; i < 12; ++i) {
    deep += "a" + std::to_string(i) + "\\";
    up += "../";
  }
  hostileArchive(t / "links.j", t / "src", {},
                 {{deep + "passwd", up + "etc/passwd"}, {"sub\\b", ".."}, {"sub\\ok", "../sub"}});
  fs::create_directories(t / "flat");
  Result r = jar({"e", "../links.j", "-y"}, t / "flat");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_FALSE(fs::is_symlink(t / "flat/passwd"));  // would be flat/passwd -> /etc/passwd
  EXPECT_FALSE(fs::is_symlink(t / "flat/b"));       // would be flat/b -> the folder above
  EXPECT_FALSE(fs::is_symlink(t / "flat/ok"));      // leaves flat too: ../sub
  // With folders each of them stays inside.
  fs::create_directories(t / "tree");
  r = jar({"x", "../links.j", "-y"}, t / "tree");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(t / ("tree/" + std::string("a0/a1/a2/a3/a4/a5/a6/a7/a8/a9/a10/a11/passwd"))));
  EXPECT_EQ(fs::read_symlink(t / "tree/sub/b"), "..");
}

TEST(Safety, ADamagedArchiveIsDamageForEveryCommand) {
  TempDir t;
  writeFile(t / "src/a.txt", someBytes(5000, 1, true));
  ASSERT_EQ(jar({"a", "a.j", "src/a.txt"}, t.path()).code, 0);
  // Header and the start of the first block only: no directory, no complete member.
  const std::string bytes = readFile(t / "a.j");
  writeFile(t / "cut.j", bytes.substr(0, 200));
  for (const char* command : {"x", "e", "t", "l"}) {
    const Result r = jar({command, "cut.j", "-y", "-oout"}, t.path());
    EXPECT_EQ(r.code, 3) << command << ": " << r.err;
  }
  EXPECT_EQ(jar({"d", "cut.j", "*"}, t.path()).code, 3);
}

TEST(Safety, PartialFilesOfKilledExtractionsAreCleared) {
  TempDir t;
  writeFile(t / "src/sub/a.txt", "a");
  ASSERT_EQ(jar({"a", "a.j", "-r", "src/*"}, t.path()).code, 0);
  const std::string dead = ".~jar32x-" + std::to_string(1 << 30) + "-1";  // no such process
  const std::string alive = ".~jar32x-1-1";                              // pid 1 always runs
  writeFile(t / ("out/" + dead), "partial");
  writeFile(t / ("out/sub/" + dead), "partial");
  writeFile(t / ("out/" + alive), "someone else's");
  writeFile(t / "out/.~jar32x-notes", "not ours");
  const Result r = jar({"x", "a.j", "-y", "-oout"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(everything(t / "out"),
            (std::vector<std::string>{".~jar32x-1-1", ".~jar32x-notes", "sub", "sub/a.txt"}));
}

TEST(Safety, ExtractionNeverReplacesTheArchiveBeingRead) {
  TempDir t;
  writeFile(t / "src/a.j", "a member that has the archive's name");
  writeFile(t / "src/b.txt", "b");
  fs::create_directories(t / "box");
  ASSERT_EQ(jar({"a", "../box/a.j", "*"}, t / "src").code, 0);
  const std::string archive = readFile(t / "box/a.j");
  const Result r = jar({"x", "a.j", "-y"}, t / "box");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("archive being read"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(t / "box/a.j"), archive);
  EXPECT_EQ(readFile(t / "box/b.txt"), "b");
  EXPECT_EQ(jar({"e", "a.j", "-y"}, t / "box").code, 1);
  EXPECT_EQ(readFile(t / "box/a.j"), archive);
}

TEST(Safety, FolderModesComeBackAfterTheirContents) {
  TempDir t;
  writeFile(t / "src/shared/a.txt", "a");
  writeFile(t / "src/readonly/b.txt", "b");
  writeFile(t / "src/team/c.txt", "c");
  fs::permissions(t / "src/shared", static_cast<fs::perms>(01777));
  fs::permissions(t / "src/readonly", static_cast<fs::perms>(0555));
  fs::permissions(t / "src/team", static_cast<fs::perms>(02775));
  ASSERT_EQ(jar({"a", "../a.j", "-r", "*"}, t / "src").code, 0);
  const Result r = jar({"x", "a.j", "-y", "-oout"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto mode = [&](const char* rel) {
    struct stat st{};
    stat((t / "out" / rel).c_str(), &st);
    return st.st_mode & 07777;
  };
  EXPECT_EQ(mode("shared"), 01777u);
  EXPECT_EQ(mode("readonly"), 0555u);
  EXPECT_EQ(mode("team"), 0775u);  // set-group-id stays stripped
  EXPECT_EQ(readFile(t / "out/readonly/b.txt"), "b");
}

TEST(Safety, TheListFileNeverSplitsAName) {
  TempDir t;
  hostileArchive(t / "odd.j", t / "src", {{"two\nlines.txt", "x"}, {"plain.txt", "y"}}, {});
  const Result r = jar({"t", "odd.j", "-llist"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find("two\nlines"), std::string::npos);  // progress lines are escaped too
  EXPECT_NE(r.out.find("two\\x0alines.txt"), std::string::npos) << r.out;
  const Result d = jar({"d", "odd.j", "*", "-llist"}, t.path());
  ASSERT_EQ(d.code, 0) << d.err;
  EXPECT_EQ(readFile(t / "list"), "plain.txt\ntwo?lines.txt\n");
}
