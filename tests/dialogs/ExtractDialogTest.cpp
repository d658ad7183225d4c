#include "dialogs/ExtractDialog_unit.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTreeView>
#include <filesystem>

#include "dialogs/DriveBox.h"
#include "tests/dialogs/OpsDialogFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;

namespace {

class ExtractDialogTest : public OpsDialogTest {
 protected:
  ExtractDialogTest() {
    jar.archiveName = "/archives/a.j";
    target = work.path() + "/out";
    std::filesystem::create_directories(target);
  }

  // Runs the dialog: act sets the controls, then the dialog is closed with "Extract".
  bool Run(int selectedCount, const std::function<void(TExtractDialog&)>& act = {},
           const std::string& start = "") {
    OnNextModal<TExtractDialog>([act](TExtractDialog& d) {
      if (act) act(d);
      Button(d, "Button2")->click();
    });
    return dialog.Execute(selectedCount, start.empty() ? target : start);
  }

  std::string target;
  TExtractDialog dialog{config, prompter, chooser, &owner};
};

}  // namespace

TEST_F(ExtractDialogTest, CaptionsAndDesignedDefaults) {
  EXPECT_EQ(dialog.windowTitle(), "Tamber 2.23 - Extract File(s)");
  EXPECT_EQ(dialog.parentWidget(), &owner);
  QTabWidget* tabs = Tabs(dialog);
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Options");
  EXPECT_EQ(tabs->tabText(1), "Switches");
  EXPECT_EQ(tabs->tabText(2), "&Exclude Files");
  EXPECT_EQ(Find<QLabel>(dialog, "Label1")->text(), "Directory:");
  EXPECT_TRUE(Checked(dialog, "AllFiles"));
  EXPECT_TRUE(Checked(dialog, "OverwriteCheckBox"));
  EXPECT_TRUE(Checked(dialog, "FolderNamesCheckBox"));
  EXPECT_FALSE(Checked(dialog, "CheckBox6"));
  EXPECT_EQ(Button(dialog, "CheckBox6")->toolTip(),
            "If unchecked and there are multiple\nchapter, the last chapter will be \nextracted.");
  EXPECT_EQ(Button(dialog, "OverwriteCheckBox")->toolTip(), "Also use this for overwriting existing files.");
  auto* from = Find<QSpinBox>(dialog, "UpDown1");
  auto* to = Find<QSpinBox>(dialog, "UpDown2");
  EXPECT_EQ(from->value(), 1);
  EXPECT_EQ(from->maximum(), 1);
  EXPECT_EQ(to->value(), 1);
  EXPECT_EQ(to->maximum(), 1000);
  EXPECT_FALSE(from->isEnabled());
  EXPECT_FALSE(to->isEnabled());
  EXPECT_TRUE(Find<QLineEdit>(dialog, "FromEdit")->isReadOnly());
  EXPECT_TRUE(Find<QLineEdit>(dialog, "ToEdit")->isReadOnly());
  EXPECT_EQ(Find<QLabel>(dialog, "Label4")->text(), "To:");
  for (const char* name : {"ComboBox1", "UpdateBox"}) {
    auto* box = Find<QComboBox>(dialog, name);
    EXPECT_EQ(box->currentText(), "Newer Files") << name;
    EXPECT_EQ(box->count(), 3) << name;
    EXPECT_EQ(box->itemText(2), "Date,etc Changed") << name;
    EXPECT_FALSE(box->isEnabled()) << name;
  }
  EXPECT_EQ(Button(dialog, "Button2")->text(), "&Extract");
  EXPECT_TRUE(Find<QPushButton>(dialog, "Button2")->isDefault());
  EXPECT_EQ(Button(dialog, "Button3")->text(), "&Cancel");
  EXPECT_EQ(Button(dialog, "CB_Dosbox")->text(), "Dosbox");
  EXPECT_EQ(Button(dialog, "CheckBox3")->text(), "Skip Security Envelope Test");
}

TEST_F(ExtractDialogTest, AllFilesWithFoldersWritesTheLineInTheJobsOrder) {
  bool focusInFileBox = false;
  int activeTab = -1;
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) {
    focusInFileBox = d.focusWidget() == Find<QWidget>(d, "FileBox");
    activeTab = Tabs(d)->currentIndex();
    Type(d, "Memo1", "old.log\n\n*.bak\n");
  }));
  EXPECT_TRUE(focusInFileBox);
  EXPECT_EQ(activeTab, 0);
  EXPECT_EQ(dialog.operation(), opExtractWithFolders);
  EXPECT_FALSE(dialog.selectedFiles());
  EXPECT_EQ(dialog.outputFolder(), target + "/");
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"*"});
  EXPECT_EQ(jar.excludeList, (std::vector<std::string>{"old.log", "*.bak"}));
  EXPECT_TRUE(jar.useExcludeList);
  EXPECT_FALSE(jar.makeNamesAbsolute);
  const std::string line = Line(dialog.operation());
  EXPECT_EQ(line,
            " x \"/archives/a.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -o\"" + target +
                "/\" -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht- @\"" + jar.filesFile +
                "\" -x\"old.log\" -x\"*.bak\"");
  EXPECT_EQ(FilesFileOf(), " \"*\"");
}

TEST_F(ExtractDialogTest, NoSelectionOffersAllFilesOnlyAndASelectionIsPreselected) {
  bool selectedEnabled = true;
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) { selectedEnabled = Enabled(d, "SelectedFiles"); }));
  EXPECT_FALSE(selectedEnabled);
  EXPECT_FALSE(dialog.selectedFiles());

  TExtractDialog second(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([](TExtractDialog& d) {
    EXPECT_TRUE(Enabled(d, "SelectedFiles"));
    EXPECT_TRUE(Checked(d, "SelectedFiles"));
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(second.Execute(3, target));
  EXPECT_TRUE(second.selectedFiles());
  EXPECT_TRUE(jar.fileList.empty());  // the main window adds the selected rows
}

TEST_F(ExtractDialogTest, WildcardsTakeTheLinesAsNamesAndTheTabSaysSo) {
  QString caption;
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) {
    Button(d, "Wildcards")->click();
    caption = Tabs(d)->tabText(2);
    Type(d, "Memo1", "*.txt\n\n");
  }));
  EXPECT_EQ(caption, "&Wildcards");
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"*.txt"});
  EXPECT_TRUE(jar.excludeList.empty());
  EXPECT_FALSE(jar.useExcludeList);

  // Back to "All Files": the caption follows.
  TExtractDialog second(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    Button(d, "Wildcards")->click();
    Button(d, "AllFiles")->click();
    caption = Tabs(d)->tabText(2);
    d.reject();
  });
  EXPECT_TRUE(second.Execute(0, target));
  EXPECT_EQ(caption, "&Exclude Files");
}

TEST_F(ExtractDialogTest, AQuotedTargetWithoutSeparatorReachesTheJobCleaned) {
  const std::string other = work.path() + "/other folder";
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) {
    Find<QLineEdit>(d, "FileBox")->setText(QString::fromStdString("\"" + other + "\""));
  }));
  EXPECT_EQ(dialog.outputFolder(), other + "/");
  EXPECT_TRUE(jar.useOutputPath);
  EXPECT_EQ(jar.outputPath, other + "/");
  EXPECT_NE(Line(dialog.operation()).find(" -o\"" + other + "/\" "), std::string::npos);
}

TEST_F(ExtractDialogTest, HiddenConsoleDisablesTheQuestionsButTheirStateIsTransferred) {
  config.showDosbox = false;
  bool queryEnabled = true, overwriteEnabled = true;
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) {
    queryEnabled = Enabled(d, "CheckBox1");
    overwriteEnabled = Enabled(d, "OverwriteCheckBox");
    Button(d, "CheckBox1")->setChecked(true);
    Button(d, "OverwriteCheckBox")->setChecked(false);
  }));
  EXPECT_FALSE(queryEnabled);
  EXPECT_FALSE(overwriteEnabled);
  EXPECT_TRUE(jar.queryEachFile);
  EXPECT_FALSE(jar.assumeYes);
  // Without a console nobody could answer: no -y (the archiver's empty input answers no) and no -q.
  const std::string line = Line(dialog.operation());
  EXPECT_NE(line.find(" -hg0 -o"), std::string::npos) << line;
  EXPECT_EQ(line.find(" -y "), std::string::npos) << line;
  EXPECT_NE(line.find(" -q- "), std::string::npos) << line;

  // Ticking "Dosbox" enables both and is remembered in the configuration.
  TExtractDialog second(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    Button(d, "CB_Dosbox")->click();
    queryEnabled = Enabled(d, "CheckBox1");
    overwriteEnabled = Enabled(d, "OverwriteCheckBox");
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(second.Execute(0, target));
  EXPECT_TRUE(queryEnabled);
  EXPECT_TRUE(overwriteEnabled);
  EXPECT_TRUE(config.showDosbox);
}

TEST_F(ExtractDialogTest, ChapterRangeKeepsFromAtMostToAndGoesIntoTheLine) {
  dialog.setChapters(true, 5);
  int toMaximum = 0, fromMaximumAfter = 0, toMinimumAfter = 0;
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) {
    auto* from = Find<QSpinBox>(d, "UpDown1");
    auto* to = Find<QSpinBox>(d, "UpDown2");
    Button(d, "CheckBox6")->click();
    EXPECT_TRUE(from->isEnabled());
    EXPECT_TRUE(to->isEnabled());
    toMaximum = to->maximum();
    from->stepUp();  // cannot pass To (1)
    EXPECT_EQ(from->value(), 1);
    to->setValue(4);
    from->setValue(2);
    to->setValue(3);
    fromMaximumAfter = from->maximum();
    toMinimumAfter = to->minimum();
    to->setValue(1);  // cannot go below From
  }));
  EXPECT_EQ(toMaximum, 5);
  EXPECT_EQ(fromMaximumAfter, 3);
  EXPECT_EQ(toMinimumAfter, 2);
  EXPECT_TRUE(jar.useChapterRange);
  EXPECT_EQ(jar.chapterFrom, 2);
  EXPECT_EQ(jar.chapterTo, 2);
  EXPECT_NE(Line(dialog.operation()).find(" -ht- -jb2-2 @"), std::string::npos);
}

TEST_F(ExtractDialogTest, ASingleChapterArchiveDisablesTheChapterChoice) {
  Button(dialog, "CheckBox6")->setChecked(true);
  dialog.setChapters(false, 0);
  EXPECT_FALSE(Checked(dialog, "CheckBox6"));
  EXPECT_FALSE(Enabled(dialog, "CheckBox6"));
  EXPECT_FALSE(Enabled(dialog, "UpDown1"));
  ASSERT_FALSE(Run(0));
  EXPECT_FALSE(jar.useChapterRange);
  EXPECT_EQ(Line(dialog.operation()).find("-jb"), std::string::npos);
}

TEST_F(ExtractDialogTest, SwitchesTabModesAndFlags) {
  dialog.setUseRecoveryRecords(true);
  ASSERT_FALSE(Run(0, [](TExtractDialog& d) {
    Button(d, "CheckBox5")->click();
    EXPECT_TRUE(Enabled(d, "ComboBox1"));
    Find<QComboBox>(d, "ComboBox1")->setCurrentIndex(1);
    Button(d, "UpdateCBox")->click();
    EXPECT_TRUE(Enabled(d, "UpdateBox"));
    Button(d, "CheckBox2")->click();
    Button(d, "CheckBox3")->click();
    Button(d, "FolderNamesCheckBox")->click();
  }));
  EXPECT_EQ(dialog.operation(), opExtract);
  EXPECT_EQ(jar.freshenMode, 1);
  EXPECT_EQ(jar.updateMode, 0);
  EXPECT_TRUE(jar.recoverBroken);
  EXPECT_TRUE(jar.skipSecurityTest);
  EXPECT_TRUE(jar.useRecoveryRecords);
  const std::string line = Line(dialog.operation());
  EXPECT_EQ(line.rfind(" e \"/archives/a.j\" -g- -b- -f1 -u -m- ", 0), 0u) << line;
  EXPECT_NE(line.find(" -jr -jt- -hk- -hx -jx- -ha- -he -hy- "), std::string::npos) << line;
}

TEST_F(ExtractDialogTest, TheFolderListFollowsTheStartTheTypedFolderAndTheDriveBox) {
  const std::string sub = target + "/sub";
  std::filesystem::create_directories(sub);
  ASSERT_FALSE(Run(0, [&](TExtractDialog& d) {
    auto* fileBox = Find<QLineEdit>(d, "FileBox");
    EXPECT_EQ(fileBox->text().toStdString(), target);
    EXPECT_EQ(d.listedFolder(), target);

    // A typed folder that exists moves the list.
    fileBox->setText(QString::fromStdString(sub));
    Button(d, "SpeedButton1")->click();
    EXPECT_EQ(d.listedFolder(), sub);
    EXPECT_EQ(fileBox->text().toStdString(), sub);

    // One that does not leaves the list where it was; the box shows the normalized text.
    fileBox->setText(QString::fromStdString("\"" + target + "/new\""));
    Button(d, "SpeedButton1")->click();
    EXPECT_EQ(d.listedFolder(), sub);
    EXPECT_EQ(fileBox->text().toStdString(), target + "/new/");

    // Picking the root volume moves the list to its root.
    auto* drives = Find<DriveBox>(d, "DriveBox");
    const int root = VolumeHolding(drives->volumes(), "/");
    ASSERT_GE(root, 0);
    EXPECT_EQ(drives->currentIndex(), VolumeHolding(drives->volumes(), sub));
    emit drives->activated(root);
    EXPECT_EQ(d.listedFolder(), drives->volumes()[static_cast<size_t>(root)].rootPath);

    // Choosing a folder in the tree copies it into the box.
    auto* tree = Find<QTreeView>(d, "DirBox");
    auto* model = tree->model();
    const QModelIndex current = tree->currentIndex();
    ASSERT_TRUE(current.isValid());
    d.SetListedFolder(target);
    EXPECT_EQ(fileBox->text().toStdString(), target);
    tree->setCurrentIndex(model->parent(tree->currentIndex()));
    EXPECT_EQ(fileBox->text().toStdString(), work.path());
    fileBox->setText(QString::fromStdString(target + "/new"));
  }));
  // The typed text is what the job gets, even for a folder that does not exist yet.
  EXPECT_EQ(dialog.outputFolder(), target + "/new/");
}

TEST_F(ExtractDialogTest, AnEmptyStartFolderStartsInTheProgramFolder) {
  config.programFolder = work.path();
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    EXPECT_EQ(Find<QLineEdit>(d, "FileBox")->text().toStdString(), work.path());
    d.reject();
  });
  EXPECT_TRUE(dialog.Execute(0, ""));

  // A start folder that vanished is still shown as the target.
  TExtractDialog second(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    EXPECT_EQ(Find<QLineEdit>(d, "FileBox")->text().toStdString(), work.path() + "/gone");
    d.reject();
  });
  EXPECT_TRUE(second.Execute(0, work.path() + "/gone"));
}

TEST_F(ExtractDialogTest, CancelAndEscapeLeaveTheJobAndTheConfiguration) {
  jar.fileList = {"kept"};
  config.showDosbox = false;
  for (const bool escape : {false, true}) {
    TExtractDialog d(config, prompter, chooser, &owner);
    OnNextModal<TExtractDialog>([escape](TExtractDialog& shown) {
      Button(shown, "CB_Dosbox")->click();
      Type(shown, "Memo1", "x");
      if (escape)
        shown.reject();
      else
        Button(shown, "Button3")->click();
    });
    EXPECT_TRUE(d.Execute(0, target));
  }
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"kept"});
  EXPECT_FALSE(jar.useOutputPath);
  EXPECT_FALSE(config.showDosbox);
}

TEST_F(ExtractDialogTest, RefusesANameWithAQuoteAndAMissingTarget) {
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    // Quotes around a whole line are taken off; one inside cannot reach the archiver.
    Type(d, "Memo1", "\"my file.txt\"\nbad\" \"*\n");
    prompter.expect(BoxKind::Error,
                    "A name or wildcard cannot contain the character \" (the archiver's command file cannot "
                    "carry it):\nbad\" \"*");
    Button(d, "Button2")->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Tabs(d)->currentIndex(), 2);

    Type(d, "Memo1", "\"my file.txt\"\n");
    Find<QLineEdit>(d, "FileBox")->setText("\"\"");
    prompter.expect(BoxKind::Error, "Please enter the folder to extract to !");
    Button(d, "Button2")->click();
    EXPECT_TRUE(d.isVisible());

    Find<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(target + "/what?"));
    prompter.expect(BoxKind::Error, "A folder to extract to cannot contain the characters \" and ? :\n" + target +
                                        "/what?/");
    Button(d, "Button2")->click();
    EXPECT_TRUE(d.isVisible());

    Find<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(target));
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(dialog.Execute(0, target));
  EXPECT_EQ(jar.excludeList, std::vector<std::string>{"my file.txt"});
}

TEST_F(ExtractDialogTest, EveryTabIsLaidOutCleanlyAndReachableByKeyboard) {
  ExpectEveryTabLaidOutCleanlyAndReachable(
      [this] { return std::make_unique<TExtractDialog>(config, prompter, chooser, &owner); });
}
