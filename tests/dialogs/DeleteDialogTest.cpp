#include "dialogs/DeleteDialog_unit.h"

#include <QLabel>
#include <QSpinBox>

#include "tests/dialogs/OpsDialogFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;

namespace {

class DeleteDialogTest : public OpsDialogTest {
 protected:
  DeleteDialogTest() { jar.archiveName = "/archives/a.j"; }

  bool Run(int selectedCount, const std::function<void(TDeleteDialog&)>& act = {}) {
    OnNextModal<TDeleteDialog>([act](TDeleteDialog& d) {
      if (act) act(d);
      Button(d, "OKBtn")->click();
    });
    return dialog.Execute(selectedCount);
  }

  TDeleteDialog dialog{config, prompter, &owner};
};

}  // namespace

TEST_F(DeleteDialogTest, CaptionsAndDesignedDefaults) {
  EXPECT_EQ(dialog.windowTitle(), "Tamber 2.23 - Delete File(s)");
  QTabWidget* tabs = Tabs(dialog);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "&Delete What ?");
  EXPECT_EQ(tabs->tabText(1), "&Exclude Files");
  EXPECT_EQ(Button(dialog, "AllFiles")->text(), "&All Files");
  EXPECT_EQ(Button(dialog, "SelectedFiles")->text(), "&Selected Files");
  EXPECT_EQ(Button(dialog, "Wildcards")->text(), "Wild&cards");
  EXPECT_EQ(Button(dialog, "Chapters")->text(), "C&hapters:");
  EXPECT_TRUE(Checked(dialog, "AllFiles"));
  EXPECT_FALSE(Checked(dialog, "CheckBox2"));
  EXPECT_EQ(Button(dialog, "CheckBox2")->text(), "Assume Yes On All Queries");
  EXPECT_EQ(Button(dialog, "InAllChaptersCBox")->text(), "&In all Chapters");
  EXPECT_EQ(Button(dialog, "CheckBox1")->text(), "Query on each file");
  EXPECT_EQ(Button(dialog, "CB_Dosbox")->text(), "Show Dosbox");
  EXPECT_EQ(Button(dialog, "OKBtn")->text(), "&OK");
  EXPECT_TRUE(Find<QPushButton>(dialog, "OKBtn")->isDefault());
  EXPECT_EQ(Button(dialog, "CancelBtn")->text(), "&Cancel");
  EXPECT_EQ(Find<QPlainTextEdit>(dialog, "WildcardMemo")->toolTip(),
            "You can place your wildcards or exclude files here.\nExclude files: one per line");
  auto* to = Find<QSpinBox>(dialog, "UpDown2");
  EXPECT_EQ(to->maximum(), 1000);
  EXPECT_FALSE(to->isGroupSeparatorShown());
  EXPECT_FALSE(to->isEnabled());
  EXPECT_EQ(Find<QLabel>(dialog, "Label4")->text(), "To:");
}

TEST_F(DeleteDialogTest, AChapterRangeGivesDeleteChaptersWhateverInAllChaptersSays) {
  dialog.setChapters(true, 4);
  ASSERT_FALSE(Run(0, [](TDeleteDialog& d) {
    Button(d, "InAllChaptersCBox")->click();
    Button(d, "Chapters")->click();
    EXPECT_TRUE(Enabled(d, "UpDown1"));
    EXPECT_TRUE(Enabled(d, "ToEdit"));
    EXPECT_EQ(Find<QSpinBox>(d, "UpDown2")->maximum(), 4);
    Find<QSpinBox>(d, "UpDown2")->setValue(3);
    Find<QSpinBox>(d, "UpDown1")->setValue(2);
  }));
  EXPECT_EQ(dialog.operation(), opDeleteChapters);
  EXPECT_TRUE(jar.useChapterRange);
  EXPECT_EQ(jar.chapterFrom, 2);
  EXPECT_EQ(jar.chapterTo, 3);
  EXPECT_EQ(jar.fileList, std::vector<std::string>{});
  EXPECT_EQ(Line(dialog.operation()), " dc \"/archives/a.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- "
                                      "-hk- -hx- -jx- -ha- -he- -hy- -ht- 2-3");
}

TEST_F(DeleteDialogTest, InAllChaptersWithAllFilesDeletesEverywhere) {
  ASSERT_FALSE(Run(0, [](TDeleteDialog& d) { Button(d, "InAllChaptersCBox")->click(); }));
  EXPECT_EQ(dialog.operation(), opDeleteAllChapters);
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"*"});
  EXPECT_FALSE(jar.useChapterRange);
  const std::string line = Line(dialog.operation());
  EXPECT_EQ(line.rfind(" da \"/archives/a.j\" -g- ", 0), 0u) << line;
  EXPECT_NE(line.find(" -ht- @\"" + jar.filesFile + "\""), std::string::npos) << line;
  EXPECT_EQ(FilesFileOf(), " \"*\"");
}

TEST_F(DeleteDialogTest, SelectedFilesLeaveTheListToTheMainWindowAndExcludeTheMemoLines) {
  bool focusOnOk = false;
  int activeTab = -1;
  ASSERT_FALSE(Run(2, [&](TDeleteDialog& d) {
    focusOnOk = d.focusWidget() == Find<QWidget>(d, "OKBtn");
    activeTab = Tabs(d)->currentIndex();
    EXPECT_TRUE(Checked(d, "SelectedFiles"));
    Type(d, "WildcardMemo", "keep.txt\n\n\"with blanks.doc\"\n");
  }));
  EXPECT_TRUE(focusOnOk);
  EXPECT_EQ(activeTab, 0);
  EXPECT_EQ(dialog.operation(), opDelete);
  EXPECT_TRUE(dialog.selectedFiles());
  EXPECT_TRUE(jar.fileList.empty());
  EXPECT_EQ(jar.excludeList, (std::vector<std::string>{"keep.txt", "with blanks.doc"}));
  EXPECT_TRUE(jar.useExcludeList);
  EXPECT_FALSE(jar.makeNamesAbsolute);
  EXPECT_FALSE(jar.makeNamesRelative);
  // What the main window then does: the selected rows as Path + Name.
  jar.fileList = {"docs\\a.txt"};
  const std::string line = Line(dialog.operation());
  EXPECT_EQ(line.rfind(" d \"/archives/a.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -n- -q- ", 0), 0u) << line;
  EXPECT_NE(line.find("\" -x\"keep.txt\" -x\"with blanks.doc\""), std::string::npos) << line;
}

TEST_F(DeleteDialogTest, WithoutSelectionSelectedFilesIsOffAndWildcardsAreNames) {
  ASSERT_FALSE(Run(0, [](TDeleteDialog& d) {
    EXPECT_FALSE(Enabled(d, "SelectedFiles"));
    EXPECT_TRUE(Checked(d, "AllFiles"));
    Button(d, "Wildcards")->click();
    EXPECT_EQ(Tabs(d)->tabText(1), "&Wildcards");
    EXPECT_FALSE(Enabled(d, "UpDown1"));
    Type(d, "WildcardMemo", "*.tmp\n*.bak");
  }));
  EXPECT_EQ(dialog.operation(), opDelete);
  EXPECT_EQ(jar.fileList, (std::vector<std::string>{"*.tmp", "*.bak"}));
  EXPECT_FALSE(jar.useExcludeList);
}

TEST_F(DeleteDialogTest, NoChapterRangeInTheArchiveMeansNoChapterDelete) {
  Button(dialog, "Chapters")->click();
  dialog.setChapters(false, 0);
  EXPECT_FALSE(Enabled(dialog, "Chapters"));
  EXPECT_FALSE(Checked(dialog, "Chapters"));
  EXPECT_TRUE(Checked(dialog, "AllFiles"));
  EXPECT_FALSE(Enabled(dialog, "UpDown2"));
  ASSERT_FALSE(Run(0));
  EXPECT_EQ(dialog.operation(), opDelete);
  EXPECT_FALSE(jar.useChapterRange);
  EXPECT_NO_THROW(Line(dialog.operation()));
}

TEST_F(DeleteDialogTest, TheConsoleDecidesWhetherQuestionsCanBeChosen) {
  config.showDosbox = true;
  ASSERT_FALSE(Run(0, [](TDeleteDialog& d) {
    EXPECT_TRUE(Enabled(d, "CheckBox1"));
    EXPECT_TRUE(Enabled(d, "CheckBox2"));
    Button(d, "CheckBox1")->click();
    Button(d, "CB_Dosbox")->click();
    EXPECT_FALSE(Enabled(d, "CheckBox1"));
    EXPECT_FALSE(Enabled(d, "CheckBox2"));
    Button(d, "CB_Dosbox")->click();
  }));
  EXPECT_TRUE(config.showDosbox);
  EXPECT_TRUE(jar.queryEachFile);
  EXPECT_FALSE(jar.assumeYes);
  // With the console shown and no "yes" the archiver asks, and asks for each file.
  const std::string line = Line(dialog.operation());
  EXPECT_NE(line.find(" -hg0 -n- -q -r "), std::string::npos) << line;
}

TEST_F(DeleteDialogTest, CancelLeavesEverythingAndTheMemoIsCappedAndRefusesQuotes) {
  jar.fileList = {"kept"};
  OnNextModal<TDeleteDialog>([](TDeleteDialog& d) {
    Button(d, "InAllChaptersCBox")->click();
    Button(d, "CancelBtn")->click();
  });
  EXPECT_TRUE(dialog.Execute(0));
  EXPECT_EQ(dialog.operation(), opDelete);
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"kept"});

  TDeleteDialog second(config, prompter, &owner);
  OnNextModal<TDeleteDialog>([&](TDeleteDialog& d) {
    auto* memo = Find<QPlainTextEdit>(d, "WildcardMemo");
    memo->setPlainText(QString(3000, 'n'));
    EXPECT_EQ(memo->toPlainText().size(), 2048);
    memo->setPlainText("a\"b");
    prompter.expect(BoxKind::Error,
                    "A name or wildcard cannot contain the character \" (the archiver's command file cannot "
                    "carry it):\na\"b");
    Button(d, "OKBtn")->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Tabs(d)->currentIndex(), 1);
    Button(d, "CancelBtn")->click();
  });
  EXPECT_TRUE(second.Execute(0));
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"kept"});
}

TEST_F(DeleteDialogTest, EveryTabIsLaidOutCleanlyAndReachableByKeyboard) {
  ExpectEveryTabLaidOutCleanlyAndReachable([this] { return std::make_unique<TDeleteDialog>(config, prompter, &owner); });
}
