#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Scanner.h"

using namespace jar32;
using namespace jar32::cli;
namespace fs = std::filesystem;

namespace {

class Scan : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("jar32-scan-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "docs/sub/deeper");
    fs::create_directories(root_ / "empty");
    write("top.txt");
    write("docs/a.txt");
    write("docs/b.bak");
    write("docs/sub/c.txt");
    write("docs/sub/deeper/d.txt");
    write("docs/.hidden");
    write("docs/bad\\name");
    write("docs/line\nbreak");
    fs::create_symlink("../top.txt", root_ / "docs/link");
    old_ = fs::current_path();
    fs::current_path(root_);
    settings_.currentFolder = root_.string();
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(root_);
  }
  void write(const std::string& rel) { std::ofstream(root_ / rel) << rel; }
  // The members found, in order; given to a sink as they are found, they are the same.
  std::vector<std::string> names(const std::vector<std::string>& patterns) {
    NameList list;
    for (const auto& p : patterns) list.push_back(p);
    std::vector<std::string> listed, sunk, sunkWarnings;
    warnings_.clear();
    ScanReport report{[&](const std::string& w) { warnings_.push_back(w); }};
    for (const auto& f : scanSources(list, settings_, report)) listed.push_back(f.meta.name);
    ScanReport sinkReport{[&](const std::string& w) { sunkWarnings.push_back(w); }};
    EXPECT_TRUE(scanSources(list, settings_, sinkReport,
                            [&](ScannedFile&& f) { sunk.push_back(f.meta.name); })
                    .empty());
    EXPECT_EQ(sunk, listed);
    EXPECT_EQ(sunkWarnings, warnings_);
    EXPECT_EQ(sinkReport.skipped, report.skipped);
    return listed;
  }
  fs::path root_, old_;
  ScanSettings settings_;
  std::vector<std::string> warnings_;
};

}  // namespace

TEST_F(Scan, WildcardWithoutRecursionTakesOneFolder) {
  EXPECT_EQ(names({"docs/*"}), (std::vector<std::string>{".hidden", "a.txt", "b.bak", "link", "sub"}));
  EXPECT_EQ(warnings_.size(), 2u);  // the backslash and the newline names
}

TEST_F(Scan, RecursionAndFullPaths) {
  settings_.recurse = true;
  EXPECT_EQ(names({"docs\\*.txt"}),
            (std::vector<std::string>{"a.txt", "sub\\c.txt", "sub\\deeper\\d.txt"}));
  settings_.fullPath = true;
  EXPECT_EQ(names({"docs/*.txt"}),
            (std::vector<std::string>{"docs\\a.txt", "docs\\sub\\c.txt", "docs\\sub\\deeper\\d.txt"}));
  const std::string abs = (root_ / "docs/sub/*.txt").string();
  auto full = names({abs});
  ASSERT_EQ(full.size(), 2u);
  EXPECT_EQ(full[0].find('/'), std::string::npos);
  EXPECT_NE(full[0].find("docs\\sub\\c.txt"), std::string::npos);
  EXPECT_NE(full[0][0], '\\');
}

TEST_F(Scan, ANamedFolderComesWithEverythingBelowIt) {
  settings_.excludes = {"*.bak", ".hidden"};
  EXPECT_EQ(names({"docs/sub", "empty"}),
            (std::vector<std::string>{"sub", "sub\\c.txt", "sub\\deeper", "sub\\deeper\\d.txt", "empty"}));
}

TEST_F(Scan, BaseFolderExclusionsAndAttributeFilters) {
  settings_.baseFolder = "backup\\";
  settings_.excludes = {(root_ / "docs/b.bak").string()};
  settings_.includeHidden = false;
  settings_.includeDirectories = false;
  EXPECT_EQ(names({"docs/*"}), (std::vector<std::string>{"backup\\a.txt", "backup\\link"}));
}

TEST_F(Scan, LinksAreStoredNotFollowedAndTheArchiveIsSkipped) {
  struct stat st;
  ASSERT_EQ(stat("top.txt", &st), 0);
  settings_.skipFiles = {{st.st_dev, st.st_ino}};
  settings_.recurse = true;
  ScanReport report{[](const std::string&) {}};
  const auto files = scanSources({"*"}, settings_, report);
  bool sawLink = false;
  for (const auto& f : files) {
    EXPECT_NE(f.meta.name, "top.txt");
    if (f.meta.name == "docs\\link") {
      sawLink = true;
      EXPECT_EQ(f.meta.kind, MemberKind::Symlink);
      EXPECT_EQ(f.meta.linkTarget, "../top.txt");
    }
    if (f.meta.name == "empty") {
      EXPECT_EQ(f.meta.kind, MemberKind::Folder);
    }
  }
  EXPECT_TRUE(sawLink);
}

TEST_F(Scan, MissingNamesAndDuplicatesAreReported) {
  EXPECT_TRUE(names({"nothing-here.txt"}).empty());
  EXPECT_EQ(warnings_.size(), 1u);
  EXPECT_TRUE(names({"*.none"}).empty());
  EXPECT_EQ(names({"top.txt", "./top.txt"}), std::vector<std::string>{"top.txt"});
  // The names of the first pattern still count when a later one comes back to them.
  EXPECT_EQ(names({"top.txt", "*.none", "./top.txt"}), std::vector<std::string>{"top.txt"});
  EXPECT_EQ(names({"*.none", "top.txt", "./top.txt"}), std::vector<std::string>{"top.txt"});
}

TEST(HostAttributes, FromModeAndName) {
  EXPECT_EQ(hostAttributes(S_IFREG | 0644, "a"), kAttrArchive);
  EXPECT_EQ(hostAttributes(S_IFDIR | 0755, ".git"), kAttrDirectory | kAttrHidden);
  EXPECT_EQ(hostAttributes(S_IFREG | 0444, "r"), kAttrArchive | kAttrReadOnly);
  EXPECT_EQ(absolutePath("../x/./y", "/a/b"), "/a/x/y");
  EXPECT_EQ(absolutePath("/", "/a"), "/");
}
