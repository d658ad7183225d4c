// The program's window on an archive made by jar32.exe: folders, two chapters and a comment, as a
// user sees them after starting Tamber with the archive.

#include "tests/mainwindow/MainWindowFixture.h"

using V = std::vector<std::string>;

namespace {

class MainWindowEndToEnd : public MainWindowTest {
 protected:
  void SetUp() override { NotTheFirstRun(); }
};

}  // namespace

TEST_F(MainWindowEndToEnd, AnArchiveFromTheCommandLineShowsItsRowsPaneAndTotals) {
  const std::string src = home.path() + "/src";
  Write(src + "/readme.txt", "read me\n");
  Write(src + "/photos/2026/summer.jpg", std::string(48000, 's'));
  Write(src + "/docs/letters/letter one.txt", std::string(1507, 'l'));
  Write(src + "/docs/caf\xC3\xA9.txt", "x");
  Write(home.path() + "/comment.txt", "Family documents\nkept since 2026");
  const std::string archive = home.path() + "/family archive.j";
  ASSERT_EQ(Jar("a '" + archive + "' -r readme.txt docs photos '-z" + home.path() + "/comment.txt'", src), 0);
  Write(src + "/notes.txt", "notes\n");
  ASSERT_EQ(Jar("ac '" + archive + "' -r readme.txt docs photos notes.txt", src), 0);

  TMain& main = Start({archive});

  auto* model = main.findChild<ArchiveListModel*>();
  auto* list = main.findChild<ArchiveListView*>("ListView");
  auto* pane = main.findChild<CommentPane*>("CommentMemo");
  auto panel = [&main](int i) { return main.findChild<QLabel*>(QString("StatusBar1Panel%1").arg(i))->text(); };
  ASSERT_EQ(main.config().currentArchive, archive);
  EXPECT_EQ(main.windowTitle().toStdString(), "Tamber 2.23 - " + archive);

  main.findChild<QAction*>("ByName")->trigger();
  V names, chapters;
  for (int row = 0; row < model->rowCount(); ++row) {
    names.push_back(model->MemberName(row));
    chapters.emplace_back(model->Row(row).chapters);
  }
  // Names sort by their bytes: a blank before letters ("letter one.txt" before "letters\\").
  EXPECT_EQ(names, (V{"photos\\2026\\", "docs\\caf\xC3\xA9.txt", "\\docs\\", "docs\\letters\\letter one.txt",
                      "docs\\letters\\", "\\notes.txt", "\\photos\\", "\\readme.txt", "photos\\2026\\summer.jpg"}));
  EXPECT_EQ(chapters[5], "<2-2>");
  EXPECT_EQ(chapters[7], "<1-2>");
  EXPECT_EQ(model->index(1, 0).data().toString(), QString::fromUtf8("caf\xC3\xA9.txt"));
  EXPECT_EQ(pane->Lines(),
            (V{"Current Chapter(s):  1-2", "Archive Comments:", "Family documents", "kept since 2026"}));
  EXPECT_EQ(panel(0), " 9");
  EXPECT_EQ(panel(1), "49,522");
  EXPECT_TRUE(panel(2).endsWith('%'));
  EXPECT_EQ(panel(3), "Selected 0 files; 0 bytes");

  // Two rows selected: the status bar sums them.
  const QRect letter = list->visualRect(model->index(3, 0));
  const QRect summer = list->visualRect(model->index(8, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, letter.center());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, summer.center());
  EXPECT_EQ(panel(3), "Selected 2 file(s); 49,507 bytes");
  EXPECT_EQ(main.SelectedMemberNames(), (V{"docs\\letters\\letter one.txt", "photos\\2026\\summer.jpg"}));
  main.close();
}

// Archive names a file system allows but text does not expect: each opens as itself, or is
// refused with a clear message.
TEST_F(MainWindowEndToEnd, OddArchiveNamesOpenAsTheyAreOrAreRefusedClearly) {
  Write(home.path() + "/src/a.txt", "a");
  TMain& main = Start();

  for (const std::string name : {"with  blanks <and> angles.j", "line\nbreak.j", "caf\xE9 latin1.j", "tab\there.j"}) {
    const std::string archive = home.path() + "/" + name;
    ASSERT_EQ(Jar("a '" + archive + "' a.txt", home.path() + "/src"), 0) << name;
    EXPECT_TRUE(main.OpenArchive(archive, true)) << name;
    EXPECT_EQ(main.config().currentArchive, archive);
    EXPECT_EQ(main.RowCount(), 1) << name;
    EXPECT_FALSE(main.windowTitle().contains('\n'));
  }

  const std::string quoted = home.path() + "/my \"best\".j";
  ASSERT_EQ(Jar("a '" + quoted + "' a.txt", home.path() + "/src"), 0);
  const std::string before = main.config().currentArchive;
  prompter.expect(platform::BoxKind::Error,
                  "The archive name cannot contain the character \" (the archiver's command file cannot carry it):\n" +
                      quoted);
  prompter.expect(testsupport::PlainBox, "588");
  prompter.expect(platform::BoxKind::Error, "Could not open archive: " + quoted);
  EXPECT_FALSE(main.OpenArchive(quoted, true));
  EXPECT_EQ(main.config().currentArchive, before);
  EXPECT_EQ(main.RowCount(), 1);
  main.close();
}
