// Argument files and file lists that are not plain files, and the texts jar32.exe prints about
// names it did not choose.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "Invocation.h"
#include "MemberNames.h"
#include "MemberSelection.h"
#include "Reporter.h"
#include "UsageError.h"

using namespace jar32::cli;
namespace fs = std::filesystem;

namespace {

class Folder {
 public:
  Folder() {
    std::string tmpl = (fs::temp_directory_path() / "jar32-args-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~Folder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// The message readArgumentFile gives, or "" when it read the file; fails after a deadline
// instead of hanging when the read blocks.
std::string readingFails(const std::string& path, const std::function<void()>& unblock = {}) {
  auto result = std::make_shared<std::promise<std::string>>();
  auto done = result->get_future();
  std::thread([path, result] {
    try {
      readArgumentFile(path);
      result->set_value("");
    } catch (const UsageError& e) {
      result->set_value(e.what());
    }
  }).detach();
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    if (unblock) unblock();
    ADD_FAILURE() << "reading " << path << " blocked";
    return "blocked";
  }
  return done.get();
}

}  // namespace

TEST(ArgumentFile, OnlyRegularFilesAreRead) {
  Folder dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string fifoText = readingFails(fifo, [&] { std::ofstream(fifo) << "x"; });
  EXPECT_NE(fifoText.find("not a regular file"), std::string::npos) << fifoText;
  const std::string folderText = readingFails(dir / "");
  EXPECT_NE(folderText.find("is a folder"), std::string::npos) << folderText;
  const std::string missing = readingFails(dir / "missing");
  EXPECT_NE(missing.find("cannot read"), std::string::npos) << missing;
  std::ofstream(dir / "list") << R"( "a b" c)";
  NameList names;
  readFileList(dir / "list", names);
  EXPECT_EQ(names.toVector(), (std::vector<std::string>{"a b", "c"}));
}

TEST(ArgumentFile, NamesAreLookedUpAsTheWildcardRulesSay) {
  NameList names{"\\readme.txt", "docs/sub/", "docs\\*.txt", "exact\\"};
  const MemberSelection s(names);
  EXPECT_TRUE(s.matches("readme.txt", false));
  EXPECT_FALSE(s.matches("other\\readme.txt", false));
  EXPECT_TRUE(s.matches("docs\\sub", true));
  EXPECT_FALSE(s.matches("docs\\sub", false));  // a trailing backslash names a folder
  EXPECT_TRUE(s.matches("docs\\a.txt", false));
  EXPECT_TRUE(s.matches("docs\\sub\\b.txt", false));
  EXPECT_TRUE(s.matches("exact", true));
  EXPECT_FALSE(s.matches("exact", false));
  EXPECT_TRUE(MemberSelection(NameList{}).matches("anything", false));
}

TEST(Texts, ControlsAndBytesThatAreNotUtf8NeverReachTheTerminal) {
  EXPECT_EQ(escaped("naïve – файл.txt"), "naïve – файл.txt");
  EXPECT_EQ(escaped("a\x9b[2Jb"), "a\\x9b[2Jb");        // a lone C1 byte
  EXPECT_EQ(escaped("a\xc2\x9b[2Jb"), "a\\xc2\\x9b[2Jb");  // the same control in UTF-8
  EXPECT_EQ(escaped("two\nlines\x1b"), "two\\x0alines\\x1b");
  EXPECT_EQ(escaped("\xe9t\xe9"), "\\xe9t\\xe9");          // Latin-1
  EXPECT_EQ(escaped("\xed\xa0\x80"), "\\xed\\xa0\\x80");    // a UTF-16 surrogate
  EXPECT_EQ(escaped("\xf0\x9f\x93\xa6"), "\xf0\x9f\x93\xa6");  // a four-byte character
  EXPECT_EQ(printable("two\nlines\xc2\x9b\xe9"), "two?lines???");
  std::FILE* f = std::tmpfile();
  Reporter r(f);
  r.warning("cannot find bad\x9bname");
  r.finish();
  std::fflush(f);
  std::rewind(f);
  char line[128] = {};
  ASSERT_TRUE(std::fgets(line, sizeof line, f));
  EXPECT_STREQ(line, "jar32: warning: cannot find bad\\x9bname\n");
  std::fclose(f);
}
