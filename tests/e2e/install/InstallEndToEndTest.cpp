// The installed program: `cmake --install` into a temporary DESTDIR under the prefix /usr, then the
// layout, the programs started through their links, and the desktop's view of the installed entry.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/AssociationFiles.h"
#include "platform/Files.h"
#include "tests/support/ShellRun.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Outcome;
using testsupport::Quoted;

// A shell command, ended after two minutes at the latest.
Outcome Shell(const std::string& command) { return testsupport::RunShell("timeout 120 " + command); }

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class InstallEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Outcome install = Shell("env DESTDIR=" + Quoted(root.path()) + " " + Quoted(TAMBER_CMAKE_COMMAND) +
                                " --install " + Quoted(TAMBER_BUILD_DIR) + " --prefix /usr");
    ASSERT_EQ(install.exitCode, 0) << install.output;
  }

  fs::path Installed(const std::string& relative) const { return fs::path(root.path()) / "usr" / relative; }

  TempFolder root;
};

TEST_F(InstallEndToEndTest, PutsEveryPieceInTheDesktopsPlaces) {
  for (const char* file :
       {"lib/tamber/tamber", "lib/tamber/jar32.exe", "lib/tamber/jar.cfg", "share/tamber/html/main.htm",
        "share/applications/tamber.desktop", "share/mime/packages/tamber.xml",
        "share/icons/hicolor/scalable/apps/tamber.svg", "share/man/man1/tamber.1.gz",
        "share/man/man1/jar32.exe.1.gz", "share/doc/tamber/copyright", "share/doc/tamber/changelog.gz"})
    EXPECT_TRUE(fs::is_regular_file(Installed(file))) << file;
  for (const char* size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"})
    EXPECT_TRUE(fs::is_regular_file(Installed(std::string("share/icons/hicolor/") + size + "/apps/tamber.png"))) << size;

  // The links are relative, so that the tree works wherever it is unpacked.
  for (const char* link : {"bin/tamber", "bin/jar32.exe", "lib/tamber/html"}) {
    ASSERT_TRUE(fs::is_symlink(Installed(link))) << link;
    EXPECT_TRUE(fs::read_symlink(Installed(link)).is_relative()) << link;
    EXPECT_TRUE(fs::exists(Installed(link))) << link << " points nowhere";
  }
  EXPECT_EQ(fs::canonical(Installed("bin/tamber")), fs::canonical(Installed("lib/tamber/tamber")));
  const auto executable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  EXPECT_EQ(fs::status(Installed("lib/tamber/jar32.exe")).permissions() & executable, executable);
  EXPECT_EQ(fs::status(Installed("lib/tamber/jar.cfg")).permissions() & executable, fs::perms::none);

  // The entry starts the installed program, not the one in the build folder.
  const std::string entry = ReadFile(Installed("share/applications/tamber.desktop"));
  EXPECT_EQ(association::DesktopEntryValue(entry, "Exec"), "/usr/bin/tamber %f");
  EXPECT_EQ(ReadFile(Installed("share/mime/packages/tamber.xml")), association::MimePackageText());
  if (!platform::FindProgram("desktop-file-validate").empty()) {
    const Outcome valid = Shell("desktop-file-validate " + Quoted(Installed("share/applications/tamber.desktop")));
    EXPECT_EQ(valid.exitCode, 0) << valid.output;
    EXPECT_EQ(Trimmed(valid.output), "");
  }
  // The man pages format without a warning.
  if (!platform::FindProgram("groff").empty())
    for (const char* page : {"tamber.1.gz", "jar32.exe.1.gz"}) {
      const Outcome formatted =
          Shell("sh -c " + Quoted("zcat " + Quoted(Installed(std::string("share/man/man1/") + page)) +
                                " | groff -man -Tutf8 -ww -z"));
      EXPECT_EQ(formatted.exitCode, 0) << page << formatted.output;
      EXPECT_EQ(Trimmed(formatted.output), "") << page;
    }
}

TEST_F(InstallEndToEndTest, ProgramsStartedThroughTheirLinksFindTheirFiles) {
  // The installed archiver reads the installed jar.cfg: no warning about a missing one.
  const fs::path work = fs::path(root.path()) / "work";
  fs::create_directories(work);
  std::ofstream(work / "a.txt") << "installed";
  const std::string jar = Quoted(Installed("bin/jar32.exe"));
  const std::string archive = Quoted((work / "a.j").string());
  const Outcome add = Shell("env PATH=/usr/bin:/bin " + jar + " a " + archive + " " + Quoted((work / "a.txt").string()));
  ASSERT_EQ(add.exitCode, 0) << add.output;
  const Outcome list = Shell("env PATH=/usr/bin:/bin " + jar + " l " + archive);
  EXPECT_EQ(list.exitCode, 0) << list.output;
  EXPECT_EQ(list.output.find("WARNING #301"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("a.txt"), std::string::npos) << list.output;

  // A program beside the installed tamber, started through a link in bin/ and with nothing on
  // PATH that holds an archiver, finds what tamber finds.
  fs::copy_file(fs::path(TAMBER_TEST_BIN_DIR) / "program_folder_probe", Installed("lib/tamber/probe"));
  fs::create_symlink("../lib/tamber/probe", Installed("bin/probe"));
  const Outcome probe = Shell("env PATH=/nonexistent " + Quoted(Installed("bin/probe")));
  ASSERT_EQ(probe.exitCode, 0) << probe.output;
  const std::string folder = fs::canonical(Installed("lib/tamber")).string();
  EXPECT_EQ(probe.output, "archiver=" + folder + "/jar32.exe\nconfig=" + folder + "/jar.cfg\nhelp=" + folder +
                              "/html/main.htm\n");
}

TEST_F(InstallEndToEndTest, DesktopOpensJArchivesWithTheInstalledEntry) {
  for (const char* tool : {"xdg-mime", "update-mime-database", "update-desktop-database"})
    if (platform::FindProgram(tool).empty()) GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs it)";
  // What the package's triggers do on the system, done on the installed tree.
  const std::string share = Installed("share").string();
  ASSERT_EQ(Shell("update-mime-database " + Quoted(share + "/mime")).exitCode, 0);
  ASSERT_EQ(Shell("update-desktop-database " + Quoted(share + "/applications")).exitCode, 0);

  const fs::path home = fs::path(root.path()) / "home";
  fs::create_directories(home);
  const std::string archive = (home / "b.j").string();
  std::ofstream(archive) << "any bytes";
  const std::string env = "env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=" + Quoted(home.string()) +
                          " XDG_DATA_HOME=" + Quoted((home / "data").string()) + " XDG_CONFIG_HOME=" +
                          Quoted((home / "config").string()) + " XDG_DATA_DIRS=" + Quoted(share) + " ";
  EXPECT_EQ(Trimmed(Shell(env + "xdg-mime query filetype " + Quoted(archive)).output), association::kMimeType);
  EXPECT_EQ(Trimmed(Shell(env + "xdg-mime query default " + association::kMimeType).output), association::kDesktopId);
}

}  // namespace
