// Extraction never writes outside its folder, whatever names and links an archive holds.
#include <gtest/gtest.h>

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
