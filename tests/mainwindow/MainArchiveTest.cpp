// Opening, setting up and closing archives with the real jar32.exe; the list, the pane and the
// status bar after a listing; the parse modes; the information dialog.

#include <QLabel>

#include "config/InfoDialog_unit.h"
#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;
using V = std::vector<std::string>;

namespace {

// jar32.exe stores the files a change brings in before the ones it keeps.
const V kDemoRows = {"\\more.txt", "\\readme.txt", "\\docs\\", "docs\\guide.txt", "docs\\sub\\", "docs\\sub\\n.txt"};

}  // namespace

TEST_F(MainWindowTest, OpeningAnArchiveListsItsRowsPaneAndTotals) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  chooser.answer(archive);
  Action("Mainmenu_OpenArchive")->trigger();

  EXPECT_EQ(chooser.calls().front().title, "Open file");
  EXPECT_EQ(main.windowTitle().toStdString(), "Tamber 2.23 - " + archive);
  EXPECT_EQ(main.config().currentArchive, archive);
  EXPECT_EQ(Names(), kDemoRows);
  EXPECT_EQ(Model()->Row(3).chapters, "<1-2>");
  EXPECT_EQ(Model()->Row(0).chapters, "<2-2>");
  EXPECT_EQ(Model()->Row(1).chapters, "<1-2>");
  EXPECT_EQ(Pane()->Lines(), (V{"Current Chapter(s):  1-2", "Archive Comments:", "First comment line",
                                "Second comment line"}));
  EXPECT_EQ(Panel(0), " 6");
  EXPECT_EQ(Panel(1), "5,013");
  EXPECT_TRUE(Panel(2).endsWith('%'));
  EXPECT_EQ(Panel(3), "Selected 0 files; 0 bytes");
  EXPECT_EQ(main.recentArchives().entries(), V{archive});
  EXPECT_EQ(Action("Main_Recent0")->text().toStdString(), RecentCaption(0, archive));
  for (const char* name : {"Mainmenu_Information", "Mainmenu_CloseArchive", "AddBtn", "TestBtn", "POP_Extract"})
    EXPECT_TRUE(Action(name)->isEnabled()) << name;
  EXPECT_EQ(main.config().theStartupFolder, files() + "/");
  V comment{"old"};
  EXPECT_TRUE(main.CopyArchiveComment(comment));
  EXPECT_EQ(comment, (V{"First comment line", "Second comment line"}));
}

TEST_F(MainWindowTest, ParseModesListFoldersOnlyOrNothingAndReopenKeepsTheMode) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  chooser.answer(archive);
  Action("ParseDirsOnly1")->trigger();
  EXPECT_EQ(Names(), (V{"\\docs\\", "docs\\sub\\"}));
  EXPECT_EQ(main.jar().parseMode, 1);

  chooser.answer(archive);
  Action("ParseNone1")->trigger();
  EXPECT_EQ(main.RowCount(), 0);
  EXPECT_EQ(Panel(1), "5,013") << "the totals are read anyway";
  Action("Mainmenu_ReopenArchive")->trigger();
  EXPECT_EQ(main.RowCount(), 0);
  EXPECT_EQ(main.jar().parseMode, 2);

  chooser.answer(archive);
  Action("Mainmenu_OpenArchive")->trigger();
  EXPECT_EQ(main.RowCount(), 6);
}

TEST_F(MainWindowTest, OpenArchiveRefusesFoldersAndNonArchivesAndKeepsWhatWasOpen) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  ASSERT_TRUE(main.OpenArchive(archive, true));

  EXPECT_FALSE(main.OpenArchive(files(), true)) << "a folder: no message";
  EXPECT_FALSE(main.OpenArchive("", true));

  const std::string text = files() + "/notes.txt";
  Write(text, "just some text, certainly no archive header here");
  prompter.expect(BoxKind::Error, "File: \"" + text + "\" is not a jar archive");
  EXPECT_FALSE(main.OpenArchive(text, true));
  EXPECT_EQ(main.config().currentArchive, archive);
  EXPECT_EQ(main.RowCount(), 6);
  EXPECT_EQ(main.windowTitle().toStdString(), "Tamber 2.23 - " + archive);

  // A damaged archive whose header is fine: the archiver's report, then the window's.
  const std::string damaged = files() + "/damaged.j";
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(archive, bytes));
  Write(damaged, bytes.substr(0, 40));
  prompter.expect(BoxKind::Error, "CRC error!\nDo you want to see the Jar32 output ?", ButtonNo);
  prompter.expect(testsupport::PlainBox, "588");
  prompter.expect(BoxKind::Error, "Could not open archive: " + damaged);
  EXPECT_FALSE(main.OpenArchive(damaged, true));
  EXPECT_EQ(main.config().currentArchive, archive);
  EXPECT_EQ(main.recentArchives().entries(), V{archive});
}

TEST_F(MainWindowTest, AMissingArchiveBecomesANewOneWhenTheUserSaysYes) {
  NotTheFirstRun();
  TMain& main = Start();
  const std::string fresh = files() + "/fresh.j";
  const std::string question =
      "Archive: \"" + fresh + "\" does not exist!\nDo you want to make a new archive with this name ?";
  prompter.expect(BoxKind::Confirmation, question, ButtonNo, ButtonYes | ButtonNo);
  EXPECT_FALSE(main.OpenArchive(fresh, true));
  EXPECT_EQ(main.config().currentArchive, "");

  prompter.expect(BoxKind::Confirmation, question, ButtonYes, ButtonYes | ButtonNo);
  EXPECT_TRUE(main.OpenArchive(fresh, true));
  EXPECT_EQ(main.config().currentArchive, fresh);
  EXPECT_EQ(main.RowCount(), 0);
  EXPECT_TRUE(Pane()->Lines().empty());
  EXPECT_EQ(Panel(0), "0");
  EXPECT_EQ(Panel(1), "0");
  EXPECT_EQ(Panel(2), "0");
  EXPECT_EQ(Panel(3), "Selected 0 files; 0 bytes");
  EXPECT_TRUE(Action("AddBtn")->isEnabled());
  EXPECT_EQ(main.recentArchives().entries(), V{fresh});
  EXPECT_TRUE(main.jar().archiveName.empty()) << "the job's archive data is cleared";
}

TEST_F(MainWindowTest, NewArchiveOffersToOpenOneThatExists) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  chooser.answer(files() + "/brand new.j");
  Action("Mainmenu_NewArchive")->trigger();
  EXPECT_EQ(chooser.calls().back().kind, "save");
  EXPECT_EQ(chooser.calls().back().title, "New file dialog");
  EXPECT_EQ(main.config().currentArchive, files() + "/brand new.j");
  EXPECT_EQ(main.RowCount(), 0);

  chooser.answer(archive);
  prompter.expect(BoxKind::Confirmation, "Archive: \"" + archive + "\" exists, do you want to open it ?", ButtonYes);
  Action("NewArchiveBtn")->trigger();
  EXPECT_EQ(main.RowCount(), 6);

  chooser.cancel();
  Action("Mainmenu_NewArchive")->trigger();
  EXPECT_EQ(main.config().currentArchive, archive);
  chooser.cancel();
  Action("Mainmenu_OpenArchive")->trigger();
  EXPECT_EQ(chooser.calls().back().title, "Open file");
}

TEST_F(MainWindowTest, ClosingShowsTheHintsAndSwitchesTheCommandsOff) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  ASSERT_TRUE(main.OpenArchive(archive, true));
  ClickRow(0);
  const QString summary = Panel(3);
  Action("CloseArchiveBtn")->trigger();
  EXPECT_EQ(main.RowCount(), 0);
  EXPECT_EQ(main.config().currentArchive, "");
  EXPECT_EQ(main.windowTitle(), "Tamber 2.23 - ");
  EXPECT_EQ(Pane()->Lines(), (V{"Press \"Open\" to open an existing archive.", "Press \"New\" to make a new archive."}));
  EXPECT_EQ(Panel(0), "");
  EXPECT_EQ(Panel(3), summary) << "the summary stays";
  EXPECT_FALSE(Action("Mainmenu_Information")->isEnabled());
  EXPECT_FALSE(Action("AddBtn")->isEnabled());
  EXPECT_EQ(main.config().lastOpenArchive, archive);
  // Reopen and Information without an archive do nothing.
  Action("Mainmenu_ReopenArchive")->trigger();
  main.Mainmenu_InformationClick();
  EXPECT_EQ(main.RowCount(), 0);
}

TEST_F(MainWindowTest, RecentItemsOpenTheirArchiveWithoutReordering) {
  NotTheFirstRun();
  const std::string first = MakeDemoArchive("first.j");
  const std::string second = MakeDemoArchive("second.j");
  TMain& main = Start();
  ASSERT_TRUE(main.OpenArchive(first, true));
  ASSERT_TRUE(main.OpenArchive(second, true));
  EXPECT_EQ(main.recentArchives().entries(), (V{second, first}));
  Action("POP_Recent1")->trigger();
  EXPECT_EQ(main.config().currentArchive, first);
  EXPECT_EQ(main.recentArchives().entries(), (V{second, first}));
  Action("Main_Recent0")->trigger();
  EXPECT_EQ(main.config().currentArchive, second);
}

TEST_F(MainWindowTest, TheStartupFolderFollowsTheSetting) {
  NotTheFirstRun();
  TMain& main = Start();
  main.config().theStartupFolder = files() + "/";
  main.config().lastOpenArchive = home.path() + "/last.j";
  main.config().startupFolder = 0;
  EXPECT_EQ(main.StartupFolder(), files() + "/");
  main.config().startupFolder = 1;
  EXPECT_EQ(main.StartupFolder(), home.path() + "/");
  main.config().lastOpenArchive = "/no/such/folder/last.j";
  EXPECT_EQ(main.StartupFolder(), files() + "/") << "a folder that is gone gives the start-up folder";
  main.config().theStartupFolder = "  " + files() + "/  ";
  main.config().startupFolder = 2;
  EXPECT_EQ(main.StartupFolder(), files() + "/");
}

TEST_F(MainWindowTest, ACommandLineArchiveIsOpenedUnderItsFullName) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  std::filesystem::create_symlink(archive, home.path() + "/link.j");
  TMain& main = Start({home.path() + "/work/../link.j"});
  EXPECT_EQ(main.config().currentArchive, std::filesystem::canonical(archive).string());
  EXPECT_EQ(main.RowCount(), 6);
  EXPECT_EQ(main.recentArchives().size(), 1u);
}

TEST_F(MainWindowTest, ACommandLinePathThatDoesNotExistIsReported) {
  NotTheFirstRun();
  prompter.expect(BoxKind::Error, "Cannot add/open \"dropped\" file(s) !");
  TMain& main = Start({home.path() + "/missing.j"});
  EXPECT_EQ(main.config().currentArchive, "");
}

TEST_F(MainWindowTest, InformationShowsTheListingsValues) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  ASSERT_TRUE(main.OpenArchive(archive, true));
  std::map<std::string, std::string> shown;
  auto read = [&shown](TInfoDialog& dialog) {
    for (QLabel* label : dialog.findChildren<QLabel*>())
      if (!label->objectName().isEmpty()) shown[label->objectName().toStdString()] = label->text().toStdString();
    dialog.accept();
  };
  OnNextModal<TInfoDialog>(read);
  Action("Mainmenu_Information")->trigger();
  EXPECT_EQ(shown["ArchiveName"], "demo.j");
  EXPECT_EQ(shown["NrFiles"], "6");
  EXPECT_EQ(shown["CompressedSize"], "4 KB");
  EXPECT_EQ(shown["ArchiveComments"], "Present");
  EXPECT_EQ(shown["ArchiveLock"], "Absent");
  EXPECT_EQ(shown["Creation"], main.jar().createdDate);
  EXPECT_EQ(shown["FileSize"], std::to_string(platform::FileSizeOf(archive) / 1024) + " KB");

  // A new archive, not on disk yet.
  prompter.expect(BoxKind::Confirmation,
                  "Archive: \"" + files() + "/new.j\" does not exist!\nDo you want to make a new archive with this name ?",
                  ButtonYes);
  ASSERT_TRUE(main.OpenArchive(files() + "/new.j", false));
  shown.clear();
  OnNextModal<TInfoDialog>(read);
  Action("Mainmenu_Information")->trigger();
  EXPECT_EQ(shown["ArchiveName"], "new.j");
  EXPECT_EQ(shown["Creation"], "Unknown");
  EXPECT_EQ(shown["Modified"], "Unknown");
  EXPECT_EQ(shown["NrFiles"], "0");
  EXPECT_EQ(shown["Ratio"], "1");
  EXPECT_EQ(shown["FileSize"], "0 KB");
  EXPECT_EQ(shown["ArchiveComments"], "Absent");
}
