// Recover Header and Generate Jar.cfg from the Actions menu: the pickers, the questions and the
// messages around the archiver's runs, and what the commands leave alone.

#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>

#include "config/PWDialog_unit.h"
#include "mainwindow/ArchiveChooser.h"
#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;
using V = std::vector<std::string>;

namespace {

constexpr const char* kRecovered = "Recovery Successful !\nFile created is \"$recover.j\"";
constexpr const char* kNotRecovered = "Recovery was not successful !";

class RecoveryTest : public MainWindowTest {
 protected:
  void SetUp() override { NotTheFirstRun(); }

  std::string OverwriteQuestion(const std::string& target) const {
    return "File: \"" + target + "\" exists ! To recover you must overwrite.\nDo you want to overwrite ?";
  }
  // Recover Header on the archive, as picked in the open dialog.
  void Recover(const std::string& archive) {
    chooser.answer(archive);
    Action("Mainmenu_RecoverHeader")->trigger();
  }
  // The names of an archive as the window lists it, opened the ordinary way.
  V OpenedNames(const std::string& archive) {
    EXPECT_TRUE(window->OpenArchive(archive, false));
    window->findChild<QAction*>("ByName")->trigger();
    return Names();
  }
};

}  // namespace

TEST_F(RecoveryTest, ThePickerAsksForTheArchiveToRecoverAndTheOpenDialogIsItselfAgainAfterwards) {
  const std::string archive = MakeDemoArchive();
  Start();
  window->config().theStartupFolder = files();

  chooser.cancel();
  Action("Mainmenu_RecoverHeader")->trigger();
  ASSERT_EQ(chooser.calls().size(), 1u);
  EXPECT_EQ(chooser.calls()[0].kind, "open");
  EXPECT_EQ(chooser.calls()[0].title, "Browsing for Archive to recover");
  EXPECT_EQ(chooser.calls()[0].start, files());

  chooser.cancel();
  Action("Mainmenu_OpenArchive")->trigger();
  EXPECT_EQ(chooser.calls()[1].title, "Open file") << "after a cancelled recovery";

  prompter.expect(BoxKind::Information, kRecovered);
  Recover(archive);
  chooser.cancel();
  Action("Mainmenu_OpenArchive")->trigger();
  EXPECT_EQ(chooser.calls()[3].title, "Open file") << "after a recovery";
  EXPECT_EQ(chooser.calls()[3].filter, chooser.calls()[0].filter);
}

TEST_F(RecoveryTest, AFolderWithoutRecoveredFileRunsAtOnceAndLeavesTheOpenArchiveAlone) {
  const std::string open = MakeDemoArchive("open.j");
  const std::string other = home.path() + "/elsewhere/other.j";
  std::filesystem::create_directories(home.path() + "/elsewhere");
  std::filesystem::copy_file(open, other);
  Start();
  ASSERT_TRUE(window->OpenArchive(open, true));
  const V before = Names();
  const V recent = window->recentArchives().entries();
  const V paneLines = Pane()->Lines();

  prompter.expect(BoxKind::Information, kRecovered);  // no question first
  Recover(other);
  EXPECT_TRUE(platform::FileExists(home.path() + "/elsewhere/$recover.j"));
  EXPECT_FALSE(platform::FileExists(files() + "/$recover.j"));
  EXPECT_EQ(window->config().currentArchive, open);
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(Pane()->Lines(), paneLines);
  EXPECT_EQ(window->recentArchives().entries(), recent);
  EXPECT_FALSE(window->jar().fromCurrentFolder) << "later runs do not start in the damaged archive's folder";
}

TEST_F(RecoveryTest, AnExistingRecoveredFileIsOverwrittenOnlyAfterYes) {
  const std::string archive = MakeDemoArchive();
  const std::string target = files() + "/$recover.j";
  Write(target, "an earlier recovery");
  Start();

  prompter.expect(BoxKind::Confirmation, OverwriteQuestion(target), ButtonNo, ButtonYes | ButtonNo);
  Recover(archive);
  EXPECT_EQ(Content(target), "an earlier recovery");
  EXPECT_FALSE(Action("Mainmenu_ViewLastOutput")->isEnabled()) << "nothing ran";

  prompter.expect(BoxKind::Confirmation, OverwriteQuestion(target), ButtonYes, ButtonYes | ButtonNo);
  prompter.expect(BoxKind::Information, kRecovered);
  Recover(archive);
  EXPECT_TRUE(Action("Mainmenu_ViewLastOutput")->isEnabled()) << "even with no archive open";
  EXPECT_EQ(OpenedNames(target), (V{"\\docs\\", "docs\\guide.txt", "\\more.txt", "docs\\sub\\n.txt", "\\readme.txt",
                                  "docs\\sub\\"}));
}

TEST_F(RecoveryTest, TheRecoveredFileItselfIsNeverOverwrittenByItsOwnRecovery) {
  const std::string archive = MakeDemoArchive("$recover.j");
  const std::string bytes = Content(archive);
  Start();
  prompter.expect(BoxKind::Error, "Cannot recover \"" + archive + "\" into itself !\nRename it first.");
  Recover(archive);
  EXPECT_EQ(Content(archive), bytes);
}

TEST_F(RecoveryTest, AFailedRecoverySaysSoAfterTheArchiversReportAndOffersItsOutput) {
  const std::string junk = files() + "/junk.j";
  Write(junk, std::string(4000, 'x'));
  Start();
  prompter.expect(BoxKind::Error, junk + " is not a JAR archive !");
  prompter.expect(BoxKind::Error, kNotRecovered);
  Recover(junk);
  EXPECT_FALSE(platform::FileExists(files() + "/$recover.j"));
  EXPECT_TRUE(Action("Mainmenu_ViewLastOutput")->isEnabled());
  EXPECT_TRUE(window->config().currentArchive.empty());
}

TEST_F(RecoveryTest, AProtectedArchiveAsksForThePasswordAndRecoversWithIt) {
  const std::string src = home.path() + "/src";
  Write(src + "/secret.txt", "only for us\n");
  const std::string archive = files() + "/locked away.j";
  ASSERT_EQ(Jar("a '" + archive + "' secret.txt -gpass-word-1", src), 0);
  Start();

  // Without the password the recovery is run again with the one typed, not some listing instead.
  OnNextModal<TPWDialog>([](TPWDialog& dialog) {
    dialog.Edit1->setText("pass-word-1");
    dialog.Button1->click();
  });
  prompter.expect(BoxKind::Information, kRecovered);
  Recover(archive);
  EXPECT_TRUE(window->config().currentArchive.empty());
  EXPECT_EQ(OpenedNames(files() + "/$recover.j"), V{"\\secret.txt"});

  // Cancelling the password dialog is no success.
  std::filesystem::remove(files() + "/$recover.j");
  window->config().StorePassword("");
  OnNextModal<TPWDialog>([](TPWDialog& dialog) { dialog.Button2->click(); });
  prompter.expect(BoxKind::Error, kNotRecovered);
  Recover(archive);
  EXPECT_FALSE(platform::FileExists(files() + "/$recover.j"));
}

TEST_F(RecoveryTest, GenerateProposesJarCfgWhereTheArchiverReadsItAndRefusesAnExistingFile) {
  Start();
  const std::string folder = std::filesystem::path(kJar32).parent_path().string();

  chooser.cancel();
  Action("Mainmenu_GenerateJarcfg")->trigger();
  ASSERT_EQ(chooser.calls().size(), 1u);
  EXPECT_EQ(chooser.calls()[0].kind, "save");
  EXPECT_EQ(chooser.calls()[0].start, folder + "/jar.cfg");
  EXPECT_EQ(chooser.calls()[0].filter, "Config files (*.cfg)");

  const std::string existing = files() + "/mine.cfg";
  Write(existing, "# kept\n");
  chooser.answer(existing);
  prompter.expect(BoxKind::Error, "Cannot overwrite an existing file !");
  Action("Mainmenu_GenerateJarcfg")->trigger();
  EXPECT_EQ(Content(existing), "# kept\n");

  const std::string fresh = files() + "/fresh.cfg";
  chooser.answer(fresh);
  Action("Mainmenu_GenerateJarcfg")->trigger();
  EXPECT_NE(Content(fresh).find("jar.cfg"), std::string::npos);
  EXPECT_TRUE(window->config().currentArchive.empty());
}

TEST(ArchiveChooserSuffix, ANameWithoutExtensionGetsTheFiltersFirstOne) {
  EXPECT_EQ(FirstFilterSuffix("Jar files (*.j *.jar);;All files (*)"), "j");
  EXPECT_EQ(FirstFilterSuffix("Config files (*.cfg)"), "cfg");
  EXPECT_EQ(FirstFilterSuffix("All files (*)"), "");
  EXPECT_EQ(FirstFilterSuffix("Odd (*.*)"), "");
  EXPECT_EQ(FirstFilterSuffix(""), "");
}
