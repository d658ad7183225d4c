// The content commands through the window with the real jar32.exe: adding from the dialog, by
// drop, by paste (the three clipboard formats, set through QClipboard) and from the command line;
// deleting rows and chapters; extracting (byte for byte, with and without folders, and into a
// folder whose files may not be replaced); testing; copying with a new password and a kept lock;
// and a wrong password.

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QUrl>
#include <fstream>

#include "dialogs/AddBrowser.h"
#include "platform/qt/QtClipboard.h"
#include "tests/mainwindow/ContentFixture.h"

namespace fs = std::filesystem;
using platform::BoxKind;
using platform::ButtonNo;
using V = std::vector<std::string>;

namespace {

class ContentEndToEnd : public ContentTest {
 protected:
  std::string Src() const { return home.path() + "/src"; }
  bool Has(const std::string& name) const {
    const V names = Names();
    return std::find(names.begin(), names.end(), name) != names.end();
  }
  // The member whose name ends so (the front-end names root members with or without a leading "\").
  bool HasEnding(const std::string& tail) const {
    for (const std::string& name : Names())
      if (name == tail || name.ends_with("\\" + tail)) return true;
    return false;
  }
  std::string MemberEnding(const std::string& tail) const {
    for (const std::string& name : Names())
      if (name == tail || name.ends_with("\\" + tail)) return name;
    ADD_FAILURE() << "no member " << tail;
    return "";
  }
  // Extracts with the dialog into folder: all files or the selected ones, with folders or without.
  void ExtractInto(const std::string& folder, bool selected, bool withFolders) {
    fs::create_directories(folder);
    OnExtract([&](TExtractDialog& d) {
      Check(d, selected ? "SelectedFiles" : "AllFiles");
      Check(d, "FolderNamesCheckBox", withFolders);
      Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(folder));
    });
    Action("Mainmenu_Extract")->trigger();
  }
  void SetClipboard(const std::map<QString, QByteArray>& formats) {
    auto* mime = new QMimeData;
    for (const auto& [format, bytes] : formats) mime->setData(format, bytes);
    QGuiApplication::clipboard()->setMimeData(mime);
  }
  // A paste through the window, accepted in the Add dialog.
  void Paste() {
    OnAdd();
    Action("Mainmenu_PasteFiles")->trigger();
  }
};

}  // namespace

TEST_F(ContentEndToEnd, TheAddDialogAddsTheBrowsedFilesToANewArchive) {
  Write(Src() + "/readme.txt", "hello\n");
  Write(Src() + "/docs/guide.txt", std::string(5000, 'g'));
  StartWithAdd();
  window->config().addFolder = 1;
  window->config().lastAddFolder = Src();
  const std::string archive = files() + "/made.j";
  ASSERT_TRUE(window->StartNewArchive(archive));
  OnAdd([&](TAddDialog1& d) {
    auto* browser = Child<adddialog::FolderBrowser>(d, "FilesListView1");
    ASSERT_TRUE(ProcessEventsUntil([&] { return browser->Names().contains("readme.txt"); }));
    browser->SelectName("readme.txt");
    browser->SelectName("docs");
  });
  Action("Mainmenu_Add")->trigger();
  EXPECT_TRUE(platform::FileExists(archive));
  EXPECT_TRUE(HasEnding("readme.txt"));
  EXPECT_TRUE(HasEnding("docs\\guide.txt"));
  EXPECT_EQ(window->config().lastAddFolder, Src());
}

TEST_F(ContentEndToEnd, DroppedFilesAreAddedToTheOpenArchiveOrToANewOneNamedDotJ) {
  const std::string demo = MakeDemoArchive();
  Write(files() + "/extra one.txt", "extra\n");
  Write(files() + "/-dash.txt", "dash\n");
  Write(files() + "/@at.txt", "at\n");
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  OnAdd();
  ASSERT_TRUE(DropUris(UriOf(files() + "/extra one.txt") + UriOf(files() + "/-dash.txt") + UriOf(files() + "/@at.txt")));
  ASSERT_TRUE(ProcessEventsUntil([&] { return HasEnding("extra one.txt"); }));
  EXPECT_TRUE(HasEnding("-dash.txt"));
  EXPECT_TRUE(HasEnding("@at.txt"));
  EXPECT_TRUE(HasEnding("readme.txt")) << "nothing of the archive is lost";

  // No archive open: "Untitled" in the first file's folder, made a ".j".
  window->CloseArchive();
  const std::string folder = home.path() + "/loose";
  Write(folder + "/a.txt", "a\n");
  OnAdd();
  ASSERT_TRUE(DropUris(UriOf(folder + "/a.txt")));
  ASSERT_TRUE(ProcessEventsUntil([&] { return !window->config().currentArchive.empty(); }));
  EXPECT_EQ(window->config().currentArchive, folder + "/Untitled.j");
  EXPECT_TRUE(platform::FileExists(folder + "/Untitled.j"));
  EXPECT_TRUE(HasEnding("a.txt"));
  EXPECT_TRUE(Action("Mainmenu_Delete")->isEnabled());
}

TEST_F(ContentEndToEnd, PastedFilesArriveInEachFileManagersFormat) {
  platform::QtClipboard desktop;
  const std::string demo = MakeDemoArchive();
  for (const char* name : {"uri.txt", "gnome.txt", "kde.txt", "per cent%.txt"}) Write(files() + "/" + name, name);
  StartWithAdd({}, &desktop);
  ASSERT_TRUE(window->OpenArchive(demo, false));

  SetClipboard({{kUriListFormat, UriOf(files() + "/uri.txt") + UriOf(files() + "/per cent%.txt")}});
  window->PopupMenu1Popup();
  EXPECT_TRUE(Action("Mainmenu_PasteFiles")->isEnabled());
  Paste();
  EXPECT_TRUE(HasEnding("uri.txt"));
  EXPECT_TRUE(HasEnding("per cent%.txt"));

  SetClipboard({{kGnomeFilesFormat, "cut\n" + QUrl::fromLocalFile(QString::fromStdString(files() + "/gnome.txt")).toEncoded()}});
  Paste();
  EXPECT_TRUE(HasEnding("gnome.txt"));
  EXPECT_TRUE(platform::FileExists(files() + "/gnome.txt")) << "a cut is added like a copy";

  SetClipboard({{kUriListFormat, UriOf(files() + "/kde.txt")}, {kKdeCutFormat, "1"}});
  Paste();
  EXPECT_TRUE(HasEnding("kde.txt"));
  EXPECT_TRUE(platform::FileExists(files() + "/kde.txt"));
  EXPECT_EQ(window->config().currentArchive, demo);

  QGuiApplication::clipboard()->setText("just text");
  window->PopupMenu1Popup();
  EXPECT_FALSE(Action("Mainmenu_PasteFiles")->isEnabled());
}

TEST_F(ContentEndToEnd, TheCommandLineAddsFilesAndOpensAnArchive) {
  Write(files() + "/one.txt", "one\n");
  Write(files() + "/two.txt", "two\n");
  OnAdd([&](TAddDialog1& d) {
    Child<PathField>(d, "FE_ArchiveName")->setText(QString::fromStdString(files() + "/cli.j"));
  });
  StartWithAdd({files() + "/one.txt", files() + "/two.txt"});
  EXPECT_EQ(window->config().currentArchive, files() + "/cli.j");
  EXPECT_TRUE(HasEnding("one.txt"));
  EXPECT_TRUE(HasEnding("two.txt"));
  EXPECT_EQ(window->recentArchives().entries().front(), files() + "/cli.j");
  window.reset();

  StartWithAdd({files() + "/cli.j"});
  EXPECT_EQ(window->config().currentArchive, files() + "/cli.j");
  EXPECT_EQ(Model()->rowCount(), 2);
}

TEST_F(ContentEndToEnd, DeletingSelectedRowsInAFolderAndAChapterRange) {
  const std::string demo = MakeDemoArchive();
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  ASSERT_TRUE(Has("docs\\guide.txt"));
  SelectMembers({"docs\\guide.txt", "docs\\sub\\n.txt"});
  OnDelete([](TDeleteDialog& d) {
    Check(d, "SelectedFiles");
    Check(d, "InAllChaptersCBox");
  });
  Action("Mainmenu_Delete")->trigger();
  EXPECT_FALSE(Has("docs\\guide.txt"));
  EXPECT_FALSE(Has("docs\\sub\\n.txt"));
  EXPECT_TRUE(HasEnding("readme.txt"));
  EXPECT_TRUE(HasEnding("more.txt"));
  EXPECT_EQ(Panel(3), "Selected 0 files; 0 bytes");

  // Chapter 2 alone held more.txt.
  OnDelete([](TDeleteDialog& d) {
    Check(d, "Chapters");
    Child<QSpinBox>(d, "UpDown2")->setValue(2);  // From follows To's bound
    Child<QSpinBox>(d, "UpDown1")->setValue(2);
  });
  Action("Mainmenu_Delete")->trigger();
  EXPECT_FALSE(HasEnding("more.txt"));
  EXPECT_TRUE(HasEnding("readme.txt"));
  EXPECT_EQ(Pane()->Lines().at(0).find("Current Chapter(s): 1"), 0u);
}

TEST_F(ContentEndToEnd, ExtractedFilesAreTheOriginalsByteForByte) {
  const std::string demo = MakeDemoArchive();
  Write(Src() + "/noise.bin", Noise(300000, 7));
  ASSERT_EQ(Jar("a '" + demo + "' noise.bin", Src()), 0);
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  const std::string all = home.path() + "/all", flat = home.path() + "/flat", some = home.path() + "/some";

  ExtractInto(all, false, true);
  for (const char* name : {"readme.txt", "more.txt", "docs/guide.txt", "docs/sub/n.txt", "noise.bin"})
    EXPECT_TRUE(Content(all + "/" + name) == Content(Src() + "/" + name)) << name;
  EXPECT_EQ(window->config().lastExtractFolder, all + "/");

  ExtractInto(flat, false, false);
  for (const char* name : {"readme.txt", "guide.txt", "n.txt", "noise.bin"})
    EXPECT_TRUE(platform::FileExists(flat + "/" + name)) << name;
  EXPECT_FALSE(fs::exists(flat + "/docs/guide.txt"));
  EXPECT_TRUE(Content(flat + "/noise.bin") == Content(Src() + "/noise.bin"));

  SelectMembers({"docs\\guide.txt", MemberEnding("noise.bin")});
  ExtractInto(some, true, true);
  EXPECT_TRUE(Content(some + "/docs/guide.txt") == Content(Src() + "/docs/guide.txt"));
  EXPECT_TRUE(Content(some + "/noise.bin") == Content(Src() + "/noise.bin"));
  EXPECT_FALSE(fs::exists(some + "/readme.txt"));
  EXPECT_EQ(Model()->rowCount(), 7) << "the list stays as it was";
}

// Nobody can answer the archiver's question without a console: files that exist stay, the others
// are extracted, and the run ends.
TEST_F(ContentEndToEnd, ExtractingOverExistingFilesWithoutOverwriteKeepsThemAndEnds) {
  const std::string demo = MakeDemoArchive();
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  const std::string out = home.path() + "/out";
  Write(out + "/readme.txt", "mine\n");
  prompter.expect(BoxKind::Error, "A warning was issued, do you want to see the Jar32 output ?", ButtonNo);
  OnExtract([&](TExtractDialog& d) {
    Check(d, "OverwriteCheckBox", false);
    Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(out));
  });
  Action("Mainmenu_Extract")->trigger();
  EXPECT_EQ(Content(out + "/readme.txt"), "mine\n");
  EXPECT_TRUE(Content(out + "/docs/guide.txt") == Content(Src() + "/docs/guide.txt"));
  EXPECT_EQ(window->jar().exitCode, 1);
  prompter.verifyDone();

  OnExtract([&](TExtractDialog& d) {
    Check(d, "OverwriteCheckBox", true);
    Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(out));
  });
  Action("Mainmenu_Extract")->trigger();
  EXPECT_EQ(Content(out + "/readme.txt"), "hello\n");
}

TEST_F(ContentEndToEnd, TestingAGoodAndADamagedArchive) {
  Write(Src() + "/noise.bin", Noise(200000, 3));
  const std::string archive = files() + "/t.j";
  ASSERT_EQ(Jar("a '" + archive + "' -m0 noise.bin", Src()), 0);
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(archive, false));
  prompter.expect(BoxKind::Information, "No errors detected !");
  Action("Mainmenu_Test")->trigger();
  prompter.verifyDone();

  std::string bytes = Content(archive);
  const size_t at = bytes.find(Noise(200000, 3).substr(100000, 64));
  ASSERT_NE(at, std::string::npos);
  Overwrite(archive, at, std::string(64, '\x55'));
  prompter.expect(BoxKind::Error, "CRC error!\nDo you want to see the Jar32 output ?", ButtonNo);
  Action("Mainmenu_Test")->trigger();
  prompter.verifyDone();
  EXPECT_TRUE(Action("Mainmenu_Test")->isEnabled());
}

TEST_F(ContentEndToEnd, CopyingInPlaceWithANewPasswordListsTheProtectedArchive) {
  const std::string demo = MakeDemoArchive();
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  ASSERT_FALSE(window->archiveProtected());
  OnCopy([](TCopyDialog& d) {
    Child<FileNameField>(d, "FE_OutputArchive")->setText("");
    Check(d, "CB_Password");
    Child<QLineEdit>(d, "ED_NewPassword")->setText("new-secret-1");
  });
  Action("Mainmenu_Copy")->trigger();
  EXPECT_TRUE(window->archiveProtected()) << "listed again after the change in place";
  EXPECT_NE(Pane()->Lines().at(0).find("PROTECTED"), std::string::npos);
  EXPECT_EQ(Model()->rowCount(), 6);
  EXPECT_NE(Jar("t '" + demo + "' -gwrong-password", files()), 0);
  EXPECT_EQ(Jar("t '" + demo + "' -gnew-secret-1", files()), 0);

  // The archive's password is asked for before the test, and a wrong one is said to be wrong.
  window->config().StorePassword("");
  OnPassword("wrong-password");
  prompter.expect(BoxKind::Error, "Incorrect password, please specify (again) or cancel.");
  OnPassword("");  // asked again: given up
  Action("Mainmenu_Test")->trigger();
  EXPECT_TRUE(Action("Mainmenu_Test")->isEnabled());
}

TEST_F(ContentEndToEnd, CopyingIntoAnotherArchiveKeepsTheLock) {
  Write(Src() + "/readme.txt", "hello\n");
  const std::string archive = files() + "/auto.j";
  ASSERT_EQ(Jar("a '" + archive + "' -jl2 readme.txt", Src()), 0);
  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(archive, false));
  ASSERT_NE(window->jar().archiveFlags.find("AUTO_LOCK"), std::string::npos) << window->jar().archiveFlags;
  const std::string copy = files() + "/copy.j";
  OnCopy([&](TCopyDialog& d) {
    EXPECT_TRUE(Child<QCheckBox>(d, "CB_LockArchive")->isChecked());
    Child<FileNameField>(d, "FE_OutputArchive")->setText(copy);
  });
  Action("Mainmenu_Copy")->trigger();
  EXPECT_EQ(window->config().currentArchive, archive) << "a copy elsewhere leaves the open archive";
  ASSERT_TRUE(window->OpenArchive(copy, false));
  EXPECT_NE(window->jar().archiveFlags.find("LOCK"), std::string::npos) << window->jar().archiveFlags;
  EXPECT_TRUE(HasEnding("readme.txt"));

  // In place without a password: the change locks the archive at last, and the window lists it
  // again, though no password was set.
  ASSERT_TRUE(window->OpenArchive(archive, false));
  OnCopy([&](TCopyDialog& d) {
    Child<FileNameField>(d, "FE_OutputArchive")->setText("");
    Check(d, "CB_Password", false);
  });
  Action("Mainmenu_Copy")->trigger();
  EXPECT_EQ(window->jar().archiveFlags, "LOCKED");
  EXPECT_EQ(Pane()->Lines().at(0), "Flags: LOCKED");
  prompter.expect(BoxKind::Information, "Archive is locked, cannot change contents !");
  Action("Mainmenu_Delete")->trigger();
}

// A folder on a file system of 64 KiB: the archiver says the disk is full, the window stays usable,
// the archive is whole, and nothing is written beside the target folder. Needs the right to mount.
TEST_F(ContentEndToEnd, AFullDiskDuringExtractIsReportedAndTheArchiveStaysWhole) {
  const std::string demo = MakeDemoArchive();
  Write(Src() + "/noise.bin", Noise(300000, 9));
  ASSERT_EQ(Jar("a '" + demo + "' noise.bin", Src()), 0);
  const std::string small = home.path() + "/small";
  fs::create_directories(small);
  if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + small + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here";
  struct Unmount {
    std::string at;
    ~Unmount() { std::system(("umount '" + at + "'").c_str()); }
  } unmount{small};
  const std::string before = Content(demo);

  StartWithAdd();
  ASSERT_TRUE(window->OpenArchive(demo, false));
  prompter.expect(BoxKind::Error, "Disk full or write error");
  ExtractInto(small + "/out", false, true);
  prompter.verifyDone();
  EXPECT_EQ(window->jar().exitCode, 5);
  EXPECT_TRUE(Content(demo) == before) << "the archive is as it was";
  for (const auto& entry : fs::directory_iterator(small)) EXPECT_EQ(entry.path().filename(), "out");
  prompter.expect(BoxKind::Information, "No errors detected !");
  Action("Mainmenu_Test")->trigger();
}
