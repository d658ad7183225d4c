// The content commands' guards and questions on archives made by jar32.exe: locked and protected
// archives, empty, missing and unlisted ones, the chapter range and recovery records handed to
// the dialogs, Paste's enabling, drops and the command line.

#include <QSpinBox>
#include <QUrl>

#include "tests/mainwindow/ContentFixture.h"

using platform::BoxKind;
using V = std::vector<std::string>;

namespace {

class MainContent : public ContentTest {
 protected:
  std::string Src() { return home.path() + "/src"; }
  // An archive of readme.txt made with extra switches.
  std::string MakeArchive(const std::string& name, const std::string& switches) {
    Write(Src() + "/readme.txt", "hello\n");
    const std::string archive = files() + "/" + name;
    EXPECT_EQ(Jar("a '" + archive + "' " + switches + " readme.txt", Src()), 0);
    return archive;
  }
  std::string LastArguments() { return window->jar().argumentsFile; }
};

}  // namespace

TEST_F(MainContent, ALockedArchiveRefusesAddCopyAndDeleteButExtractsAndTests) {
  const std::string archive = MakeArchive("locked.j", "-jl");
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(archive, false));
  for (const char* command : {"Mainmenu_Add", "Mainmenu_Copy", "Mainmenu_Delete"}) {
    prompter.expect(BoxKind::Information, "Archive is locked, cannot change contents !");
    Action(command)->trigger();
    prompter.verifyDone();
  }
  // Dropped files too are refused before any dialog opens.
  prompter.expect(BoxKind::Information, "Archive is locked, cannot change contents !");
  window->FileDrag1Drop({Src() + "/readme.txt"});
  prompter.verifyDone();

  bool extractShown = false;
  OnExtract([&](TExtractDialog&) { extractShown = true; }, false);
  Action("Mainmenu_Extract")->trigger();
  EXPECT_TRUE(extractShown);
  prompter.expect(BoxKind::Information, "No errors detected !");
  Action("Mainmenu_Test")->trigger();
}

TEST_F(MainContent, AProtectedArchiveAsksForThePasswordAndACancelRunsNothing) {
  const std::string archive = MakeArchive("protected.j", "-gsecret-word");
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(archive, false));
  ASSERT_TRUE(window->archiveProtected());
  const std::string listed = LastArguments();

  OnDelete([](TDeleteDialog&) {});
  OnPassword("");
  Action("Mainmenu_Delete")->trigger();
  OnExtract([&](TExtractDialog& d) { Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(work())); });
  OnPassword("");
  Action("Mainmenu_Extract")->trigger();
  OnPassword("");
  Action("Mainmenu_Test")->trigger();
  EXPECT_EQ(LastArguments(), listed) << "the archiver did not run";
  EXPECT_FALSE(platform::FileExists(work() + "/readme.txt"));

  OnPassword("secret-word");
  prompter.expect(BoxKind::Information, "No errors detected !");
  Action("Mainmenu_Test")->trigger();
  EXPECT_EQ(window->config().password, "secret-word");
}

TEST_F(MainContent, WithoutAListingDeleteAndExtractStillOpenTheirDialogs) {
  const std::string archive = MakeDemoArchive();
  StartWithAdd();
  chooser.answer(archive);
  Action("ParseNone1")->trigger();
  ASSERT_EQ(window->config().currentArchive, archive);
  EXPECT_EQ(Model()->rowCount(), 0);
  int shown = 0;
  OnDelete([&](TDeleteDialog& d) {
    ++shown;
    EXPECT_FALSE(Child<QRadioButton>(d, "SelectedFiles")->isEnabled());
  }, false);
  Action("Mainmenu_Delete")->trigger();
  OnExtract([&](TExtractDialog&) { ++shown; }, false);
  Action("Mainmenu_Extract")->trigger();
  EXPECT_EQ(shown, 2);
}

TEST_F(MainContent, EmptyVanishedAndUnmadeArchivesSaySoForEachCommand) {
  const std::string empty = MakeArchive("empty.j", "");
  ASSERT_EQ(Jar("d '" + empty + "' readme.txt", Src()), 0);
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(empty, false));
  ASSERT_EQ(Model()->rowCount(), 0);
  prompter.expect(BoxKind::Error, "Archive is empty, nothing to delete !");
  Action("Mainmenu_Delete")->trigger();
  prompter.expect(BoxKind::Error, "Archive is empty, nothing to extract !");
  Action("Mainmenu_Extract")->trigger();
  prompter.verifyDone();

  // Listed, then gone: nothing runs on a file that is not there.
  const std::string demo = MakeDemoArchive();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  std::filesystem::remove(demo);
  prompter.expect(BoxKind::Error, "Current archive does not exist, cannot delete !");
  Action("Mainmenu_Delete")->trigger();
  prompter.expect(BoxKind::Error, "Current archive does not exist, cannot extract !");
  Action("Mainmenu_Extract")->trigger();
  prompter.expect(BoxKind::Error, "Archive does not exits, cannot test !");
  Action("Mainmenu_Test")->trigger();
  prompter.verifyDone();
  EXPECT_TRUE(Action("Mainmenu_Add")->isEnabled()) << "the window stays usable";

  ASSERT_TRUE(window->StartNewArchive(files() + "/new.j"));
  prompter.expect(BoxKind::Error, "Current archive does not exist, cannot extract !");
  Action("Mainmenu_Extract")->trigger();
}

TEST_F(MainContent, TheChapterRangeAndRecoveryRecordsReachTheDialogs) {
  const std::string demo = MakeDemoArchive();  // two chapters
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  ASSERT_EQ(Pane()->Lines().at(0).rfind("Current Chapter(s): ", 0), 0u);
  ASSERT_TRUE(Pane()->Lines().at(0).ends_with("1-2"));
  OnExtract([&](TExtractDialog& d) {
    EXPECT_TRUE(Child<QCheckBox>(d, "CheckBox6")->isEnabled());
    EXPECT_EQ(Child<QSpinBox>(d, "UpDown2")->maximum(), 2);
    EXPECT_FALSE(Child<QCheckBox>(d, "CheckBox4")->isChecked());
  }, false);
  Action("Mainmenu_Extract")->trigger();
  OnDelete([&](TDeleteDialog& d) {
    EXPECT_TRUE(Child<QRadioButton>(d, "Chapters")->isEnabled());
    EXPECT_EQ(Child<QSpinBox>(d, "UpDown2")->maximum(), 2);
  }, false);
  Action("Mainmenu_Delete")->trigger();

  // An archive of one chapter with recovery records.
  ASSERT_TRUE(window->OpenArchive(MakeArchive("records.j", "-hk"), false));
  ASSERT_EQ(Pane()->Lines().at(0), "Flags: RECOVERY RECORDS");
  OnExtract([&](TExtractDialog& d) {
    EXPECT_TRUE(Child<QCheckBox>(d, "CheckBox4")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "CheckBox6")->isEnabled()) << "a single chapter";
  }, false);
  Action("Mainmenu_Extract")->trigger();
  OnDelete([&](TDeleteDialog& d) { EXPECT_FALSE(Child<QRadioButton>(d, "Chapters")->isEnabled()); }, false);
  Action("Mainmenu_Delete")->trigger();

  Pane()->SetLines({"Flags: LOCKED"});  // a pane too short for the chapters line
  prompter.expect(BoxKind::Error, "Error in PreDelete_Extract()");
  Action("Mainmenu_Extract")->trigger();
}

TEST_F(MainContent, PasteFollowsTheClipboardAndSaysWhenItHoldsNoFiles) {
  StartWithAdd();
  prompter.expect(BoxKind::Information, "No file(s) to paste !");
  Action("Mainmenu_PasteFiles")->trigger();
  prompter.verifyDone();

  window->PopupMenu1Popup();
  EXPECT_FALSE(Action("Mainmenu_PasteFiles")->isEnabled());
  EXPECT_FALSE(Action("POP1_PasteFiles")->isEnabled());
  EXPECT_TRUE(Action("PasteFilesBtn")->isEnabled()) << "the toolbar button is not affected";
  clipboard.set(kGnomeFilesFormat, "copy\nfile:///tmp/x");
  window->PopupMenu1Popup();
  EXPECT_TRUE(Action("Mainmenu_PasteFiles")->isEnabled());
  EXPECT_TRUE(Action("POP1_PasteFiles")->isEnabled());
  clipboard.clear();
  clipboard.set(kUriListFormat, "https://example.org/a\r\n");
  window->PopupMenu1Popup();
  EXPECT_FALSE(Action("Mainmenu_PasteFiles")->isEnabled());

  // The toolbar button on a clipboard without local files.
  prompter.expect(BoxKind::Information, "No file(s) to paste !");
  Action("PasteFilesBtn")->trigger();
}

TEST_F(MainContent, DropsAreRefusedBeforeTheFirstActivationAndWhileTheArchiverRuns) {
  Write(files() + "/a.txt", "a");
  window = std::make_unique<TMain>(MainServices{store, prompter, chooser, clipboard, fileOperations, {}});
  window->show();
  EXPECT_FALSE(DropUris(UriOf(files() + "/a.txt"))) << "before the first activation";
  window.reset();

  StartWithAdd();
  window->JarRunStarted();
  EXPECT_FALSE(DropUris(UriOf(files() + "/a.txt")));
  window->JarRunEnded();

  // A URI of another machine: a message, and nothing else happens.
  ASSERT_TRUE(DropUris(UriOf(files() + "/a.txt") + "sftp://host/b.txt\r\n"));
  prompter.expect(BoxKind::Error, "Only files on this computer can be dropped here; this is none:\nsftp://host/b.txt");
  ProcessEventsUntil([&] { return prompter.calls().size() == 1; });
  EXPECT_EQ(window->config().currentArchive, "");
}

TEST_F(MainContent, ADroppedArchiveOpensAndOtherFilesGoToTheAddDialog) {
  const std::string demo = MakeDemoArchive();
  Write(files() + "/a.txt", "a");
  StartWithAdd();
  ASSERT_TRUE(DropUris(UriOf(demo)));
  ProcessEventsUntil([&] { return window->config().currentArchive == demo; });
  EXPECT_EQ(Model()->rowCount(), 6);
  EXPECT_EQ(window->recentArchives().entries().front(), demo);

  // With no archive open the dialog proposes a new one in the first file's folder.
  window->CloseArchive();
  bool shown = false;
  OnAdd([&](TAddDialog1& d) {
    shown = true;
    EXPECT_EQ(Child<QLabel>(d, "Label4")->text(), "2");
    EXPECT_EQ(Child<PathField>(d, "FE_ArchiveName")->text().toStdString(), files() + "/Untitled");
  }, false);
  ASSERT_TRUE(DropUris(UriOf(files() + "/a.txt") + UriOf(demo)));
  ProcessEventsUntil([&] { return shown; });
  EXPECT_EQ(window->config().currentArchive, "");
}

TEST_F(MainContent, AHundredThousandDroppedFilesReachTheAddDialog) {
  Write(files() + "/a b.txt", "a");
  QByteArray uris;
  for (int i = 0; i < 100000; ++i) uris += UriOf(files() + "/a b.txt");
  StartWithAdd();
  bool shown = false;
  OnAdd([&](TAddDialog1& d) {
    shown = true;
    EXPECT_EQ(Child<QLabel>(d, "Label4")->text(), "100000");
  }, false);
  ASSERT_TRUE(DropUris(uris));
  EXPECT_FALSE(shown) << "no dialog inside the drop event";
  ProcessEventsUntil([&] { return shown; }, 30000);
  EXPECT_TRUE(Action("Mainmenu_Add")->isEnabled() || window->config().currentArchive.empty());
}

TEST_F(MainContent, GivenNamesTheArchiverCannotTakeAreLeftOutWithAMessage) {
  Write(files() + "/good.txt", "g");
  Write(files() + "/star*.txt", "s");
  Write(files() + "/two\nlines.txt", "t");
  StartWithAdd();
  prompter.expect(BoxKind::Error,
                  "2 file(s) cannot be added: their names hold a character the archiver cannot take (\", *, ?, \\ or a "
                  "control character such as a line break):\n" +
                      files() + "/star*.txt\n" + files() + "/two?lines.txt");
  bool shown = false;
  OnAdd([&](TAddDialog1& d) {
    shown = true;
    EXPECT_EQ(Child<QLabel>(d, "Label4")->text(), "1");
  }, false);
  window->FileDrag1Drop({files() + "/star*.txt", files() + "/good.txt", files() + "/two\nlines.txt"});
  EXPECT_TRUE(shown);
  prompter.verifyDone();

  prompter.expect(BoxKind::Error,
                  "1 file(s) cannot be added: their names hold a character the archiver cannot take (\", *, ?, \\ or a "
                  "control character such as a line break):\n" +
                      files() + "/star*.txt");
  window->FileDrag1Drop({files() + "/star*.txt"});  // nothing left: no dialog
}

TEST_F(MainContent, TheCommandLineOpensOneArchiveAndGivesOtherFilesToTheAddDialog) {
  const std::string demo = MakeDemoArchive();
  StartWithAdd({demo});
  EXPECT_EQ(window->config().currentArchive, demo);
  EXPECT_EQ(window->recentArchives().entries().front(), demo);
  window.reset();

  prompter.expect(BoxKind::Error, "Cannot add/open \"dropped\" file(s) !");
  StartWithAdd({files() + "/gone.txt"});
  prompter.verifyDone();
  window.reset();

  // Ten thousand arguments reach the dialog as ten thousand names.
  Write(files() + "/a.txt", "a");
  std::vector<std::string> many(10000, files() + "/a.txt");
  bool shown = false;
  OnAdd([&](TAddDialog1& d) {
    shown = true;
    EXPECT_EQ(Child<QLabel>(d, "Label4")->text(), "10000");
  }, false);
  StartWithAdd(many);
  EXPECT_TRUE(shown);
  EXPECT_EQ(window->config().currentArchive, "");
}
