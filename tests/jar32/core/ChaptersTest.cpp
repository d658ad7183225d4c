// Chapter rules of a/u/f, ac (-js0/1/2), d, da and dc, plus locks, comments and time stamps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fcntl.h>

#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "Writer.h"

namespace jar32::test {
namespace {

using Names = std::vector<std::string>;

class Chapters : public ::testing::Test {
 protected:
  std::string arc() const { return dir / "c.j"; }
  SourceFile file(const std::string& name, const std::string& content, int64_t mtime = 1000) {
    writeFile(dir / name, content);
    return source(dir / name, name, mtime);
  }
  std::unique_ptr<Archive> open() { return Archive::open(arc(), ""); }
  TempDir dir;
};

TEST_F(Chapters, AddChapterExtendsUnchangedAndVersionsChangedFiles) {
  add(arc(), {file("a", "A1"), file("b", "B1"), file("c", "C1")});
  EXPECT_EQ(open()->info().chapterCount, 1u);
  // Chapter 2: a unchanged, b changed, c not given, d new.
  addChapter(arc(), {file("a", "A1"), file("b", "B2", 2000), file("d", "D1")});
  // Chapter 3: a and b unchanged.
  addChapter(arc(), {file("a", "A1"), file("b", "B2", 2000)});
  auto a = open();
  EXPECT_EQ(a->info().chapterCount, 3u);
  EXPECT_EQ(listing(*a), (Names{"a <1-3>", "b <1-1>", "b <2-3>", "c <1-1>", "d <2-2>"}));
  auto data = readAll(*a, true);
  EXPECT_EQ(data["b <1-1>"], "B1");
  EXPECT_EQ(data["b <2-3>"], "B2");
}

TEST_F(Chapters, ReplacingInTheLastChapterSplitsTheRange) {
  add(arc(), {file("g", "v1")});
  addChapter(arc(), {file("g", "v1")});
  addChapter(arc(), {file("g", "v1")});
  EXPECT_EQ(listing(*open()), (Names{"g <1-3>"}));
  add(arc(), {file("g", "v2", 5000)});
  EXPECT_EQ(listing(*open()), (Names{"g <1-2>", "g <3-3>"}));
  // Replacing again in chapter 3 drops the <3-3> version entirely.
  add(arc(), {file("g", "v3", 6000)});
  auto a = open();
  EXPECT_EQ(listing(*a), (Names{"g <1-2>", "g <3-3>"}));
  EXPECT_EQ(readAll(*a, true)["g <3-3>"], "v3");
}

TEST_F(Chapters, CompareModesDecideWhatIsUnchanged) {
  add(arc(), {file("same", "content", 1000), file("touched", "content", 1000)});
  // -js0: size and time; the touched file (new mtime, same bytes) gets a new version.
  addChapter(arc(), {file("same", "content", 1000), file("touched", "content", 2000)},
             ChapterCompare::SizeAndTime);
  EXPECT_EQ(listing(*open()), (Names{"same <1-2>", "touched <1-1>", "touched <2-2>"}));
  // -js1: content; the same bytes with another time are unchanged, other bytes are not.
  addChapter(arc(), {file("same", "CONTENT", 1000), file("touched", "content", 3000)},
             ChapterCompare::Content);
  EXPECT_EQ(listing(*open()),
            (Names{"same <1-2>", "same <3-3>", "touched <1-1>", "touched <2-3>"}));
  // -js2: compress all.
  addChapter(arc(), {file("same", "CONTENT", 1000)}, ChapterCompare::CompressAll);
  EXPECT_EQ(listing(*open()), (Names{"same <1-2>", "same <3-3>", "same <4-4>", "touched <1-1>",
                                     "touched <2-3>"}));
}

// u and f take a file whose size or time differs (either way) from the stored version's.
TEST_F(Chapters, UpdateFreshenAndOnlyNew) {
  add(arc(), {file("old", "1", 1000), file("new", "1", 1000)});
  RecordingProgress p;
  WriteSettings s;
  AddReport r = addFiles(arc(), {file("old", "2", 500), file("new", "2", 2000), file("extra", "x")},
                         AddMode::Freshen, false, false, ChapterCompare::SizeAndTime, s, &p);
  EXPECT_EQ(r.replaced, 2u);  // "old" went back in time: that is a change too
  EXPECT_EQ(r.added, 0u);
  EXPECT_EQ(r.skipped, 1u);
  r = addFiles(arc(), {file("old", "3", 500), file("extra", "x")}, AddMode::Update, false, false,
               ChapterCompare::SizeAndTime, s, &p);
  EXPECT_EQ(r.added, 1u);
  EXPECT_EQ(r.replaced, 0u);  // same size and time as stored
  r = addFiles(arc(), {file("old", "4", 9000), file("brand", "b")}, AddMode::Add, true, false,
               ChapterCompare::SizeAndTime, s, &p);
  EXPECT_EQ(r.added, 1u);
  EXPECT_EQ(r.skipped, 1u);
  auto data = readAll(*open());
  EXPECT_EQ(data["old"], "2");
  EXPECT_EQ(data["new"], "2");
  EXPECT_EQ(data["brand"], "b");
  // Nothing to do: the archive is not rewritten.
  r = addFiles(arc(), {file("old", "5", 500)}, AddMode::Freshen, false, false,
               ChapterCompare::SizeAndTime, s, &p);
  EXPECT_FALSE(r.archiveWritten);
}

TEST_F(Chapters, UpdateSeesChangesWithinASecondAndOfTheSizeAlone) {
  add(arc(), {file("a", "one", 1000), file("b", "one", 1000), file("c", "one", 1000)});
  writeFile(dir / "a", "two");  // same size, 0.5 s later
  const timespec later[2] = {{1000, 500000000}, {1000, 500000000}};
  ::utimensat(AT_FDCWD, (dir / "a").c_str(), later, 0);
  SourceFile a = source(dir / "a", "a", 1000);
  ::utimensat(AT_FDCWD, (dir / "a").c_str(), later, 0);
  SourceFile b = file("b", "three", 1000);  // longer, same time
  SourceFile c = file("c", "one", 1000);    // unchanged
  const AddReport r = addFiles(arc(), {a, b, c}, AddMode::Update, false, false,
                               ChapterCompare::SizeAndTime, {}, nullptr);
  EXPECT_EQ(r.replaced, 2u);
  EXPECT_EQ(r.skipped, 1u);
  auto data = readAll(*open());
  EXPECT_EQ(data["a"], "two");
  EXPECT_EQ(data["b"], "three");
  auto archive = open();
  const auto& members = archive->members();
  auto it = std::find_if(members.begin(), members.end(), [](const MemberInfo& m) { return m.name == "a"; });
  ASSERT_NE(it, members.end());
  EXPECT_EQ(it->mtime, 1000);
  EXPECT_EQ(it->mtimeNsec, 500000000u);
}

// A mode change is a new version; the data stays stored once.
TEST_F(Chapters, AModeChangeIsRecordedAndSharesTheData) {
  writeFile(dir / "big", randomBytes(200000, 7));
  add(arc(), {source(dir / "big", "big", 1000)});
  const uint64_t before = std::filesystem::file_size(arc());
  for (ChapterCompare compare : {ChapterCompare::SizeAndTime, ChapterCompare::Content}) {
    SourceFile f = source(dir / "big", "big", 1000);
    f.meta.mode = compare == ChapterCompare::Content ? 0600 : 0640;
    addChapter(arc(), {f}, compare);
  }
  auto a = open();
  EXPECT_EQ(listing(*a), (Names{"big <1-1>", "big <2-2>", "big <3-3>"}));
  std::vector<uint32_t> modes;
  for (const auto& m : a->members()) modes.push_back(m.mode);
  std::sort(modes.begin(), modes.end());
  EXPECT_EQ(modes, (std::vector<uint32_t>{0600, 0640, 0644}));
  auto data = readAll(*a, true);
  EXPECT_EQ(data["big <3-3>"], randomBytes(200000, 7));
  EXPECT_LT(std::filesystem::file_size(arc()), before + 4000);  // no second copy of the data
  EXPECT_NO_THROW(a->test(nullptr));
  // u records it too: in a chapter of its own the version itself takes the new mode.
  SourceFile f = source(dir / "big", "big", 1000);
  f.meta.mode = 0400;
  EXPECT_EQ(add(arc(), {f}, {}, AddMode::Update).replaced, 1u);
  a = open();
  EXPECT_EQ(listing(*a), (Names{"big <1-1>", "big <2-2>", "big <3-3>"}));
  for (const auto& m : a->members())
    if (m.chapters.first == 3) {
      EXPECT_EQ(m.mode, 0400u);
    }
  EXPECT_NO_THROW(a->test(nullptr));
  // Deleting the first version keeps the data of the others.
  deleteChapters(arc(), {1, 1}, {}, nullptr);
  a = open();
  EXPECT_EQ(readAll(*a, true)["big <2-2>"], randomBytes(200000, 7));
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST_F(Chapters, DeleteWorksOnTheLastChapterAndDeleteAllOnEvery) {
  add(arc(), {file("keep", "k"), file("both", "b"), file("lastonly", "l")});
  addChapter(arc(), {file("keep", "k"), file("both", "b")});
  add(arc(), {file("lastonly", "l")});
  EXPECT_EQ(listing(*open()), (Names{"both <1-2>", "keep <1-2>", "lastonly <1-1>", "lastonly <2-2>"}));
  auto named = [](std::string n) { return [n](const MemberInfo& m) { return m.name == n; }; };
  EXPECT_EQ(deleteMembers(arc(), named("both"), false, {}, nullptr), 1u);
  EXPECT_EQ(deleteMembers(arc(), named("lastonly"), false, {}, nullptr), 1u);
  EXPECT_EQ(listing(*open()), (Names{"both <1-1>", "keep <1-2>", "lastonly <1-1>"}));
  EXPECT_EQ(deleteMembers(arc(), named("lastonly"), true, {}, nullptr), 1u);
  EXPECT_EQ(deleteMembers(arc(), named("nothing"), true, {}, nullptr), 0u);
  EXPECT_EQ(listing(*open()), (Names{"both <1-1>", "keep <1-2>"}));
}

TEST_F(Chapters, DeleteChaptersRenumbersAndMovesComments) {
  WriteSettings s;
  s.chapterComment = "first";
  add(arc(), {file("a", "1")}, s);
  s.chapterComment = "second";
  addChapter(arc(), {file("a", "1"), file("b", "2")}, ChapterCompare::SizeAndTime, s);
  s.chapterComment = "third";
  addChapter(arc(), {file("a", "1"), file("c", "3")}, ChapterCompare::SizeAndTime, s);
  EXPECT_EQ(listing(*open()), (Names{"a <1-3>", "b <2-2>", "c <3-3>"}));

  deleteChapters(arc(), {2, 2}, {}, nullptr);
  auto a = open();
  EXPECT_EQ(a->info().chapterCount, 2u);
  EXPECT_EQ(listing(*a), (Names{"a <1-2>", "c <2-2>"}));
  ASSERT_EQ(a->info().chapterComments.size(), 2u);
  EXPECT_EQ(a->info().chapterComments[1].chapter, 2u);
  EXPECT_EQ(a->info().chapterComments[1].text, "third");

  deleteChapters(arc(), {2, 0}, {}, nullptr);  // open upper bound
  EXPECT_EQ(listing(*open()), (Names{"a <1-1>"}));
  EXPECT_THROW(deleteChapters(arc(), {5, 0}, {}, nullptr), JarError);
  deleteChapters(arc(), {0, 0}, {}, nullptr);  // everything
  a = open();
  EXPECT_TRUE(a->members().empty());
  EXPECT_EQ(a->info().chapterCount, 1u);
}

TEST_F(Chapters, LocksRefuseChangesAsDocumented) {
  add(arc(), {file("a", "1")});
  WriteSettings lock;
  lock.lock = LockMode::Lock;
  copyArchive(arc(), "", lock, nullptr);
  EXPECT_TRUE(open()->info().flags & kFlagLocked);
  auto before = readBytes(arc());
  try {
    add(arc(), {file("b", "2")});
    FAIL() << "a locked archive accepted an add";
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kFatal);
  }
  EXPECT_THROW(deleteMembers(arc(), [](const MemberInfo&) { return true; }, true, {}, nullptr),
               JarError);
  EXPECT_THROW(copyArchive(arc(), "", {}, nullptr), JarError);
  EXPECT_THROW(copyArchive(arc(), dir.path() + "/./c.j", {}, nullptr), JarError);  // same file
  EXPECT_EQ(readBytes(arc()), before);
  // A copy to another file is allowed and starts unlocked.
  copyArchive(arc(), dir / "copy.j", {}, nullptr);
  EXPECT_FALSE(Archive::open(dir / "copy.j", "")->info().flags & kFlagLocked);

  // Auto-lock: the next change locks.
  WriteSettings autoLock;
  autoLock.lock = LockMode::AutoLock;
  add(dir / "auto.j", {file("a", "1")}, autoLock);
  EXPECT_EQ(Archive::open(dir / "auto.j", "")->info().flags, uint32_t(kFlagAutoLock));
  add(dir / "auto.j", {file("b", "2")});
  EXPECT_EQ(Archive::open(dir / "auto.j", "")->info().flags, uint32_t(kFlagLocked));

  // Locked chapters: the last chapter cannot change, a new chapter can be added.
  WriteSettings chapters;
  chapters.lock = LockMode::LockChapters;
  add(dir / "ch.j", {file("a", "1")}, chapters);
  EXPECT_EQ(Archive::open(dir / "ch.j", "")->info().lockedChapters, 1u);
  EXPECT_THROW(add(dir / "ch.j", {file("a", "2", 5000)}), JarError);
  EXPECT_THROW(deleteChapters(dir / "ch.j", {1, 1}, {}, nullptr), JarError);
  addChapter(dir / "ch.j", {file("a", "2", 5000)});
  add(dir / "ch.j", {file("b", "3")});
  EXPECT_EQ(listing(*Archive::open(dir / "ch.j", "")), (Names{"a <1-1>", "a <2-2>", "b <2-2>"}));
}

TEST_F(Chapters, CommentsAreLimitedAndRemovable) {
  add(arc(), {file("a", "1")});
  auto before = readBytes(arc());
  WriteSettings s;
  s.archiveComment = std::string(4097, 'x');
  try {
    add(arc(), {file("b", "2")}, s);
    FAIL();
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kBadParams);
  }
  EXPECT_EQ(readBytes(arc()), before);
  s.archiveComment = std::string(4096, 'y');
  add(arc(), {file("b", "2")}, s);
  EXPECT_EQ(open()->info().comment.size(), 4096u);
  WriteSettings remove;
  remove.archiveComment = "";
  deleteMembers(arc(), [](const MemberInfo&) { return false; }, false, remove, nullptr);
  EXPECT_EQ(open()->info().comment, "");
}

TEST_F(Chapters, TimeStampModes) {
  add(arc(), {file("a", "1", 1234567)});
  auto created = open()->info().created;
  WriteSettings newest;
  newest.timeStamp = TimeStampMode::Newest;
  add(arc(), {file("b", "2", 2345678)}, newest);
  auto a = open();
  EXPECT_EQ(a->info().modified, 2345678);
  EXPECT_EQ(a->info().created, created);
  struct stat st;
  ASSERT_EQ(stat(arc().c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 2345678);
  WriteSettings keep;
  keep.timeStamp = TimeStampMode::KeepOld;
  add(arc(), {file("c", "3", 1)}, keep);
  EXPECT_EQ(open()->info().modified, 2345678);
  ASSERT_EQ(stat(arc().c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 2345678);
}

}  // namespace
}  // namespace jar32::test

namespace jar32::test {
namespace {

// Writes an archive with no members whose information is taken as given.
void writeRaw(const std::string& path, const ArchiveInfo& info) {
  ArchiveWriter writer(path, "", false);
  std::vector<NewEntry> none;
  writer.write(nullptr, none, info, Protection{}, WriteJobSettings{}, nullptr, nullptr);
  writer.commit();
}

TEST(ChapterLimit, AddingAChapterToAFullArchiveIsRefused) {
  TempDir dir;
  ArchiveInfo info;
  info.chapterCount = kMaxChapters;
  writeRaw(dir / "full.j", info);
  EXPECT_EQ(Archive::open(dir / "full.j", "")->info().chapterCount, kMaxChapters);
  const auto before = readBytes(dir / "full.j");
  writeFile(dir / "f", "f");
  try {
    addChapter(dir / "full.j", {source(dir / "f", "f")});
    ADD_FAILURE() << "a chapter was added";
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kFatal) << e.what();
  }
  EXPECT_EQ(readBytes(dir / "full.j"), before);
  // The last chapter itself can still be changed.
  add(dir / "full.j", {source(dir / "f", "f")});
  EXPECT_EQ(listing(*Archive::open(dir / "full.j", "")),
            std::vector<std::string>{"f <4294967295-4294967295>"});
}

TEST(ReadBack, ANewArchiveWhoseDirectoryDoesNotReadBackIsNeverPutInPlace) {
  TempDir dir;
  ArchiveInfo info;
  info.chapterCount = 0;  // what a wrapped count would write
  try {
    writeRaw(dir / "bad.j", info);
    ADD_FAILURE() << "the archive was written";
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kInternal) << e.what();
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace jar32::test
