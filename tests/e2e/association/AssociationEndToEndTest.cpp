// What a file manager sees after Associate: the desktop's own tools asked in a desktop of their own
// (fresh XDG folders, the system's data folder behind them), on real archives made by jar32.exe.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "config/Association.h"
#include "config/AssociationFiles.h"
#include "platform/Files.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/ShellRun.h"
#include "tests/support/TempFolder.h"

namespace {

const std::string kJar32 = std::string(TAMBER_BIN_DIR) + "/jar32.exe";

using testsupport::Outcome;
using testsupport::Quoted;

class AssociationEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"xdg-mime", "mimetype", "desktop-file-validate", "update-mime-database", "update-desktop-database"})
      if (platform::FindProgram(tool).empty()) GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs it)";
    for (const char* folder : {"/data", "/config", "/home", "/work"}) std::filesystem::create_directories(root.path() + folder);
  }

  // A command run in the isolated desktop, ended after a minute at the latest; its output without
  // the last line break.
  Outcome Run(const std::string& command) const {
    const std::string line = "env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=" + Quoted(root.path() + "/home") +
                             " XDG_DATA_HOME=" + Quoted(places.dataHome) + " XDG_CONFIG_HOME=" +
                             Quoted(places.configHome) + " XDG_DATA_DIRS=" + Quoted(places.dataHome + ":/usr/share") +
                             " timeout 60 " + command;
    Outcome outcome = testsupport::RunShell(line);
    while (!outcome.output.empty() && outcome.output.back() == '\n') outcome.output.pop_back();
    return outcome;
  }
  std::string FileType(const std::string& path) const { return Run("xdg-mime query filetype " + Quoted(path)).output; }
  std::string DefaultApp() const { return Run(std::string("xdg-mime query default ") + association::kMimeType).output; }

  std::string MakeArchive() const {
    const std::string work = root.path() + "/work";
    EXPECT_TRUE(platform::WriteWholeFile(work + "/notes.txt", "what goes into the archive\n"));
    const Outcome made = Run("sh -c " + Quoted("cd " + Quoted(work) + " && " + Quoted(kJar32) + " a backup.j notes.txt"));
    EXPECT_EQ(made.exitCode, 0) << made.output;
    return work + "/backup.j";
  }

  TempFolder root;
  DesktopPlaces places{root.path() + "/data", root.path() + "/config", platform::RunningProgramPath()};
  testsupport::ScriptedPrompter prompter;
};

}  // namespace

TEST_F(AssociationEndToEndTest, TheDesktopKnowsJArchivesAndTamberOpensThemUntilTheAssociationIsTakenBack) {
  const std::string archive = MakeArchive();
  const std::string renamed = root.path() + "/work/archive-without-extension";
  std::filesystem::copy_file(archive, renamed);
  const std::string text = root.path() + "/work/notes.txt";
  ASSERT_NE(FileType(archive), association::kMimeType) << "the type must not be known before";

  association::Associate(places, true, prompter);
  EXPECT_EQ(FileType(archive), association::kMimeType);
  EXPECT_EQ(FileType(renamed), association::kMimeType) << "the signature is recognised without the name";
  EXPECT_EQ(FileType(text), "text/plain");
  EXPECT_EQ(DefaultApp(), association::kDesktopId);
  const Outcome valid = Run("desktop-file-validate " + Quoted(places.DesktopEntryPath()));
  EXPECT_EQ(valid.exitCode, 0);
  EXPECT_EQ(valid.output, "");
  EXPECT_TRUE(association::AssociationOk(places, true, true, prompter));

  association::Associate(places, false, prompter);
  EXPECT_NE(FileType(archive), association::kMimeType);
  EXPECT_NE(FileType(renamed), association::kMimeType);
  EXPECT_EQ(DefaultApp(), "");
  EXPECT_TRUE(association::AssociationOk(places, false, true, prompter));
}

TEST_F(AssociationEndToEndTest, EntriesForProgramPathsWithSpecialCharactersAreValid) {
  for (const std::string path : {"/opt/my apps/tamber", "/opt/a\"b`c$d\\e/tamber", "/opt/100% sure/tamber",
                                 "/opt/Tämber (beta)/tamber"}) {
    SCOPED_TRACE(path);
    const std::string entry = root.path() + "/work/tamber.desktop";
    ASSERT_TRUE(platform::WriteWholeFile(entry, association::DesktopEntryText(path)));
    const Outcome valid = Run("desktop-file-validate " + Quoted(entry));
    EXPECT_EQ(valid.exitCode, 0);
    EXPECT_EQ(valid.output, "");
  }
}
