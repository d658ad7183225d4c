// Files that change between the scan and the read, or while they are read: what is stored is
// always one file as it was read, a file that cannot be read costs only its own warning, and
// its old version stays.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <future>
#include <map>

#include "FaultInjection.h"
#include "Methods.h"
#include "Reader.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

namespace fs = std::filesystem;

/// Runs an add on another thread, holds it at a step, lets the test change files there, then
/// lets it go on.
class HeldAdd {
 public:
  HeldAdd(const std::string& step, int occurrence, std::function<AddReport()> work) {
    if (pipe(notify_) != 0 || pipe(resume_) != 0) throw std::runtime_error("pipe");
    fault::pause(step, occurrence, notify_[1], resume_[0]);
    result_ = std::async(std::launch::async, std::move(work));
  }
  ~HeldAdd() {
    fault::pause("", 0, -1, -1);
    for (int fd : {notify_[0], notify_[1], resume_[0], resume_[1]}) close(fd);
  }
  bool held() {
    pollfd p{notify_[0], POLLIN, 0};
    char byte;
    return poll(&p, 1, 30000) == 1 && read(notify_[0], &byte, 1) == 1;
  }
  AddReport finish() {
    const char byte = 'r';
    EXPECT_EQ(write(resume_[1], &byte, 1), 1);
    if (result_.wait_for(std::chrono::seconds(60)) != std::future_status::ready)
      throw std::runtime_error("the add never finished");
    return result_.get();
  }

 private:
  int notify_[2], resume_[2];
  std::future<AddReport> result_;
};

class Changing : public ::testing::Test {
 protected:
  void TearDown() override { setBlockLimitForTesting(0); }
  std::string arc() const { return dir / "c.j"; }
  AddReport addWith(const std::vector<SourceFile>& files, RecordingProgress& p,
                    AddMode mode = AddMode::Add) {
    return addFiles(arc(), files, mode, false, false, ChapterCompare::SizeAndTime, {}, &p);
  }
  std::map<std::string, std::string> contents() { return readAll(*Archive::open(arc(), "")); }
  // Files of up to 32 KiB are read whole when they are checked; larger ones when their block
  // is built.
  static std::string bigEnoughToBeReadLater(const std::string& line) {
    std::string s;
    while (s.size() <= 32 * 1024) s += line;
    return s;
  }
  static bool warned(const RecordingProgress& p, const std::string& text) {
    for (const auto& w : p.warnings)
      if (w.find(text) != std::string::npos) return true;
    return false;
  }
  TempDir dir;
};

TEST_F(Changing, AFileReplacedWhileItIsReadIsStoredAsTheOneThatWasOpened) {
  setBlockLimitForTesting(16 * 1024);  // the file lies in eight blocks
  const std::string before = randomBytes(128 * 1024, 1);
  writeFile(dir / "big", before);
  RecordingProgress p;
  HeldAdd add("opened", 1, [&] { return addWith({source(dir / "big", "big")}, p); });
  ASSERT_TRUE(add.held());
  writeFile(dir / "other", randomBytes(128 * 1024, 2));
  fs::rename(dir / "other", dir / "big");
  const AddReport r = add.finish();
  EXPECT_EQ(r.added, 1u);
  EXPECT_EQ(contents()["big"], before);
  EXPECT_NO_THROW(Archive::open(arc(), "")->test(nullptr));
}

TEST_F(Changing, AFileThatGrowsWhileItIsReadIsStoredAsFarAsPlannedWithAWarning) {
  const std::string first = bigEnoughToBeReadLater("first line\n");
  writeFile(dir / "log", first);
  RecordingProgress p;
  HeldAdd add("opened", 1, [&] { return addWith({source(dir / "log", "log")}, p); });
  ASSERT_TRUE(add.held());
  std::ofstream(dir / "log", std::ios::app) << "second line\n";
  add.finish();
  EXPECT_EQ(contents()["log"], first);
  EXPECT_TRUE(warned(p, "grew while it was read")) << ::testing::PrintToString(p.warnings);
}

// Between the check and the read: one file vanishes, one shrinks, one becomes a link, one a
// FIFO. Each costs its own warning; the other files are stored and old versions stay.
TEST_F(Changing, ManyFilesAreCheckedOnAllThreadsAndTheirWarningsComeInTheirOrder) {
  std::vector<SourceFile> files;
  std::vector<std::string> missing;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "f" + std::to_string(1000 + i);
    if (i % 7 == 3) {
      files.push_back(source(dir / "none", name));  // there is no such file
      files.back().hostPath = dir / name;
      missing.push_back(dir / name);
    } else {
      writeFile(dir / name, "content of " + name);
      files.push_back(source(dir / name, name));
    }
  }
  files.push_back(source(dir / "f1000", ""));  // no name
  RecordingProgress p;
  WriteSettings s;
  s.threads = 4;
  const AddReport r =
      addFiles(arc(), files, AddMode::Add, false, false, ChapterCompare::SizeAndTime, s, &p);
  EXPECT_EQ(r.added, 300u - missing.size());
  EXPECT_EQ(r.skipped, missing.size() + 1);
  ASSERT_EQ(p.warnings.size(), missing.size() + 1);
  for (size_t k = 0; k < missing.size(); ++k) EXPECT_NE(p.warnings[k].find(missing[k]), std::string::npos);
  EXPECT_NE(p.warnings.back().find("Bad member name"), std::string::npos);
  auto data = contents();
  EXPECT_EQ(data.size(), 300u - missing.size());
  EXPECT_EQ(data["f1299"], "content of f1299");
}

// A block starts whenever a worker is free: one held while it reads its file keeps back only
// the writing, not the building of the blocks after it.
TEST_F(Changing, WhileOneBlockIsHeldTheOtherWorkerBuildsTheBlocksAfterIt) {
  setBlockLimitForTesting(48 * 1024);  // one file per block
  std::vector<SourceFile> files;
  std::map<std::string, std::string> wanted;
  for (int i = 0; i < 6; ++i) {
    const std::string name = "f" + std::to_string(i);
    wanted[name] = randomBytes(40 * 1024, unsigned(i) + 20);  // read when its block is built
    writeFile(dir / name, wanted[name]);
    files.push_back(source(dir / name, name));
  }
  fault::arm("", 0);  // counts from here
  WriteSettings settings;
  settings.threads = 2;
  RecordingProgress p;
  HeldAdd add("opened", 1, [&] {
    return addFiles(arc(), files, AddMode::Add, false, false, ChapterCompare::SizeAndTime,
                    settings, &p);
  });
  ASSERT_TRUE(add.held());
  // Every other file is read meanwhile.
  EXPECT_TRUE(fault::waitForCount("opened", 6, std::chrono::seconds(30)));
  EXPECT_EQ(fault::count("opened"), 6);
  EXPECT_EQ(add.finish().added, 6u);
  EXPECT_EQ(contents(), wanted);
}

TEST_F(Changing, FilesThatCannotBeReadAreSkippedAndTheirOldVersionsStay) {
  for (const char* name : {"gone", "short", "link", "fifo", "fine"}) writeFile(dir / name, std::string("old ") + name);
  add(arc(), {source(dir / "gone", "gone"), source(dir / "short", "short"),
              source(dir / "link", "link"), source(dir / "fifo", "fifo")});
  for (const char* name : {"gone", "short", "link", "fifo", "fine"})
    writeFile(dir / name, bigEnoughToBeReadLater(std::string("the new content of ") + name));
  writeFile(dir / "secret", "not to be stored under another name");
  std::vector<SourceFile> files;
  for (const char* name : {"gone", "short", "link", "fifo", "fine"})
    files.push_back(source(dir / name, name, 2000));
  RecordingProgress p;
  HeldAdd add("prepared", 1, [&] { return addWith(files, p); });
  ASSERT_TRUE(add.held());
  fs::remove(dir / "gone");
  fs::resize_file(dir / "short", 3);
  fs::remove(dir / "link");
  fs::create_symlink(dir / "secret", dir / "link");
  fs::remove(dir / "fifo");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const AddReport r = add.finish();
  EXPECT_EQ(r.added, 1u);
  EXPECT_EQ(r.replaced, 0u);
  EXPECT_EQ(r.skipped, 4u);
  EXPECT_EQ(r.notStored.size(), 4u);
  EXPECT_EQ(p.warnings.size(), 4u) << ::testing::PrintToString(p.warnings);
  EXPECT_TRUE(warned(p, "symbolic link"));
  EXPECT_TRUE(warned(p, "no regular file"));
  auto data = contents();
  EXPECT_EQ(data["fine"], bigEnoughToBeReadLater("the new content of fine"));
  EXPECT_EQ(data["gone"], "old gone");
  EXPECT_EQ(data["short"], "old short");
  EXPECT_EQ(data["link"], "old link");
  EXPECT_EQ(data["fifo"], "old fifo");
  EXPECT_NO_THROW(Archive::open(arc(), "")->test(nullptr));
}

// A small file is read once, when it is checked: what happens to it later does not reach the
// archive, which holds it as it was checked, with the size and time it had then.
TEST_F(Changing, SmallFilesAreStoredAsTheyWereWhenCheckedWhateverHappensLater) {
  writeFile(dir / "grows", "first line\n");
  writeFile(dir / "gone", "was there");
  writeFile(dir / "same1", std::string(100, 's'));
  writeFile(dir / "same2", std::string(100, 's'));
  RecordingProgress p;
  HeldAdd add("prepared", 1, [&] {
    return addWith({source(dir / "grows", "grows", 3000), source(dir / "gone", "gone", 3000),
                    source(dir / "same1", "same1", 3000), source(dir / "same2", "same2", 3000)},
                   p);
  });
  ASSERT_TRUE(add.held());
  std::ofstream(dir / "grows", std::ios::app) << "second line\n";
  fs::remove(dir / "gone");
  writeFile(dir / "same1", std::string(100, 'x'));
  const AddReport r = add.finish();
  EXPECT_EQ(r.added, 4u);
  EXPECT_EQ(p.warnings, std::vector<std::string>{});
  auto data = contents();
  EXPECT_EQ(data["grows"], "first line\n");
  EXPECT_EQ(data["gone"], "was there");
  EXPECT_EQ(data["same1"], std::string(100, 's'));
  EXPECT_EQ(data["same2"], std::string(100, 's'));
  auto a = Archive::open(arc(), "");
  for (const MemberInfo& m : a->members()) EXPECT_EQ(m.mtime, 3000) << m.name;
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST_F(Changing, AFileReplacedSinceTheScanIsNotStoredUnderItsName) {
  writeFile(dir / "a", "scanned");
  SourceFile f = source(dir / "a", "a");
  struct stat st;
  ASSERT_EQ(stat((dir / "a").c_str(), &st), 0);
  f.device = st.st_dev;
  f.inode = st.st_ino;
  writeFile(dir / "b", "another file");
  fs::rename(dir / "b", dir / "a");
  RecordingProgress p;
  const AddReport r = addWith({f}, p);
  EXPECT_EQ(r.added, 0u);
  EXPECT_TRUE(warned(p, "replaced"));
}

}  // namespace
}  // namespace jar32::test

namespace jar32::test {

// Files of equal content are stored once; when the copy that is read turns out different
// (it changed after the contents were compared), the others are read themselves.
TEST_F(Changing, FilesOfEqualContentShareOneCopyUnlessItChangesBeforeItIsRead) {
  const std::string same = randomBytes(64 * 1024, 3), other = randomBytes(64 * 1024, 4);
  for (const char* name : {"a", "b", "c"}) writeFile(dir / name, same);
  writeFile(dir / "d", other);
  RecordingProgress p;
  addWith({source(dir / "a", "a"), source(dir / "b", "b"), source(dir / "c", "c"),
           source(dir / "d", "d")}, p);
  EXPECT_LT(fs::file_size(arc()), 140u * 1024);  // two copies of random data, not four
  auto data = contents();
  EXPECT_TRUE(data["a"] == same && data["b"] == same && data["c"] == same && data["d"] == other);
  // Deleting the name whose copy was read keeps the others whole.
  auto named = [](const char* n) { return [n](const MemberInfo& m) { return m.name == n; }; };
  EXPECT_EQ(deleteMembers(arc(), named("a"), false, {}, nullptr), 1u);
  EXPECT_NO_THROW(Archive::open(arc(), "")->test(nullptr));
  data = contents();
  EXPECT_EQ(data.count("a"), 0u);
  EXPECT_TRUE(data["b"] == same && data["c"] == same);

  writeFile(dir / "p", same);
  writeFile(dir / "q", same);
  fs::remove(arc());
  RecordingProgress p2;
  HeldAdd held("source", 1, [&] { return addWith({source(dir / "p", "p"), source(dir / "q", "q")}, p2); });
  ASSERT_TRUE(held.held());
  const std::string changed = randomBytes(64 * 1024, 5);
  writeFile(dir / "p", changed);  // in place: the same file, another content
  const AddReport r = held.finish();
  EXPECT_EQ(r.added, 2u);
  EXPECT_NO_THROW(Archive::open(arc(), "")->test(nullptr));
  data = contents();
  EXPECT_EQ(data["q"], same);
  EXPECT_EQ(data["p"], changed);  // p was read first: q had to be read itself
}

// A small file the scan found is read before it is looked at: what changed since the scan
// is still seen. Rewritten in place, it is stored as it is now; replaced by another file, by
// a pipe or by a link, it is skipped with the reason.
TEST_F(Changing, SmallFilesThatChangedSinceTheScanAreTakenAsTheyAreNow) {
  auto found = [&](const char* name) {
    SourceFile f = source(dir / name, name);
    struct stat st;
    EXPECT_EQ(::lstat((dir / name).c_str(), &st), 0);
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.meta.size = uint64_t(st.st_size);
    f.meta.mtimeNsec = uint32_t(st.st_mtim.tv_nsec);
    f.ctime = st.st_ctim.tv_sec;
    f.ctimeNsec = uint32_t(st.st_ctim.tv_nsec);
    return f;
  };
  for (const char* name : {"same", "rewritten", "replaced", "fifo", "link"})
    writeFile(dir / name, std::string("found ") + name);
  std::vector<SourceFile> files;
  for (const char* name : {"same", "rewritten", "replaced", "fifo", "link"})
    files.push_back(found(name));
  writeFile(dir / "rewritten", "now longer than it was");
  writeFile(dir / "other", "another file");
  fs::rename(dir / "other", dir / "replaced");
  fs::remove(dir / "fifo");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::remove(dir / "link");
  fs::create_symlink(dir / "same", dir / "link");
  RecordingProgress p;
  const AddReport r = addWith(files, p);
  EXPECT_EQ(r.added, 2u);
  EXPECT_EQ(r.skipped, 3u);
  EXPECT_TRUE(warned(p, "replaced by another file")) << ::testing::PrintToString(p.warnings);
  EXPECT_TRUE(warned(p, "no regular file"));
  EXPECT_TRUE(warned(p, "symbolic link"));
  auto data = contents();
  EXPECT_EQ(data["same"], "found same");
  EXPECT_EQ(data["rewritten"], "now longer than it was");
  EXPECT_EQ(data.count("replaced") + data.count("fifo") + data.count("link"), 0u);
}

// Small files are read when they are checked and compared byte for byte: a file that differs
// from the others in its last byte alone is stored itself.
TEST_F(Changing, SmallFilesShareACopyOnlyWithTheirEqualsByteForByte) {
  const std::string same = randomBytes(16 * 1024, 6);
  std::string last = same;
  last.back() ^= 1;
  for (const char* name : {"a", "b", "d"}) writeFile(dir / name, same);
  writeFile(dir / "c", last);
  RecordingProgress p;
  addWith({source(dir / "a", "a"), source(dir / "b", "b"), source(dir / "c", "c"),
           source(dir / "d", "d")},
          p);
  // Where each name's data lies: a, b and d at one place, c at another.
  std::map<std::string, std::pair<uint32_t, uint64_t>> at;
  {
    auto r = ArchiveReader::open(arc(), "");
    for (size_t i = 0; i < r->directory().entries.size(); ++i)
      at[r->members()[i].name] = {r->directory().entries[i].block, r->directory().entries[i].offset};
  }
  EXPECT_TRUE(at["a"] == at["b"] && at["a"] == at["d"]);
  EXPECT_NE(at["a"], at["c"]);
  auto data = contents();
  EXPECT_TRUE(data["a"] == same && data["b"] == same && data["d"] == same);
  EXPECT_EQ(data["c"], last);
  EXPECT_NO_THROW(Archive::open(arc(), "")->test(nullptr));
}

}  // namespace jar32::test
