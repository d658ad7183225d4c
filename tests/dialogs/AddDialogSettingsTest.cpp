// Add-settings files through the dialog: a saved file restores every control, "Load Dir." decides
// about the browser's folder, loading runs the rules of the boxes it changes, and failures are
// reported without harm.

#include <QToolButton>

#include "tests/dialogs/AddDialogFixture.h"

using platform::BoxKind;

namespace {

// Every control a settings file holds, as text: name = state.
std::map<std::string, std::string> SavedState(TAddDialog1& d) {
  std::map<std::string, std::string> state;
  for (QCheckBox* box : d.findChildren<QCheckBox*>()) {
    const std::string name = box->objectName().toStdString();
    if (name.starts_with("CB_") && name != "CB_LoadDir" && name != "CB_Dosbox") state[name] = box->isChecked() ? "1" : "0";
  }
  for (QComboBox* box : d.findChildren<QComboBox*>())
    if (box->objectName().startsWith("CO_")) state[box->objectName().toStdString()] = box->currentText().toStdString();
  for (QLineEdit* edit : d.findChildren<QLineEdit*>())
    if (edit->objectName().startsWith("ED_") || edit->objectName() == "CO_Password")
      state[edit->objectName().toStdString()] = edit->text().toStdString();
  for (auto* field : d.findChildren<PathField*>()) state[field->objectName().toStdString()] = field->text().toStdString();
  for (QPlainTextEdit* memo : d.findChildren<QPlainTextEdit*>())
    state[memo->objectName().toStdString()] = memo->toPlainText().toStdString();
  return state;
}

}  // namespace

TEST_F(AddDialogTest, ASavedFileRestoresEveryControl) {
  const std::string file = temp.path() + "/all.tbs";
  // Every control away from its default: boxes flipped, last items, texts of their own.
  for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
    if (box->objectName().startsWith("CB_") && box->objectName() != "CB_Password") box->setChecked(!box->isChecked());
  Edit("CO_Password")->setText("saved-password");
  Box("CB_Password")->setChecked(true);
  for (QComboBox* box : dialog.findChildren<QComboBox*>())
    if (box->objectName().startsWith("CO_")) box->setCurrentIndex(box->count() - 2);
  int n = 0;
  for (const char* name : {"ED_ReserveSpaceSize", "ED_Subdirectory"}) Edit(name)->setText(QString("edit %1").arg(++n));
  for (auto* field : dialog.findChildren<PathField*>()) field->setText(QString("  /field/%1").arg(++n));
  for (QPlainTextEdit* memo : dialog.findChildren<QPlainTextEdit*>())
    memo->setPlainText(QString(" line %1\n\nlast line ").arg(++n));
  const auto saved = SavedState(dialog);
  ASSERT_EQ(saved.size(), 9u + 3u + 41u + 6u + 4u);

  chooser.answer(file);
  Button("Button1")->click();
  EXPECT_EQ(chooser.calls().back().kind, "save");
  EXPECT_EQ(chooser.calls().back().title, "Save Tamber add settings");
  EXPECT_EQ(chooser.calls().back().start, config.programFolder);

  TAddDialog1 fresh(config, prompter, chooser, &owner);
  ASSERT_TRUE(fresh.LoadSettings(file));
  EXPECT_EQ(SavedState(fresh), saved);
  EXPECT_EQ(fresh.operation(), dialog.operation());
  EXPECT_EQ(fresh.findChild<QPushButton*>("AddBtn")->text(), "Move");
  prompter.verifyDone();  // the loaded password is not checked yet
}

TEST_F(AddDialogTest, TheLoadButtonAsksForTheFileAndTheSaveButtonAddsTheExtension) {
  chooser.answer(temp.path() + "/named");
  Button("Button1")->click();
  EXPECT_TRUE(std::filesystem::exists(temp.path() + "/named.tbs"));
  chooser.answer(temp.path() + "/named.tbs");
  chooser.cancel();
  Combo("CO_Compression")->setCurrentIndex(0);
  Button("Button3")->click();
  EXPECT_EQ(Combo("CO_Compression")->currentText(), "Best");
  Button("Button3")->click();  // cancelled: nothing happens
  ASSERT_EQ(chooser.calls().size(), 3u);
  EXPECT_EQ(chooser.calls()[1].kind, "open");
  EXPECT_EQ(chooser.calls()[1].title, "Load Tamber add settings");
  EXPECT_EQ(chooser.calls()[1].filter, "Tamber add settings (*.tbs)");
}

TEST_F(AddDialogTest, LoadDirDecidesAboutTheBrowsersFolder) {
  const std::string file = temp.path() + "/dir.tbs";
  Write(file, "[DIRECTORY]\nFilesListView1=" + tree() + "/docs/\nRzDriveComboBox1=c\n");
  Browse([&] {
    ASSERT_TRUE(dialog.LoadSettings(file));
    EXPECT_EQ(Browser()->Folder().toStdString(), tree());
    Box("CB_LoadDir")->click();
    ASSERT_TRUE(dialog.LoadSettings(file));
    EXPECT_EQ(Browser()->Folder().toStdString(), tree() + "/docs");  // a drive letter names no volume here
    EXPECT_EQ(Edit("Edit2")->text().toStdString(), tree() + "/docs");
    // A folder that is gone is passed over, and so is the drive.
    Write(file, "[DIRECTORY]\nFilesListView1=" + temp.path() + "/gone\nRzDriveComboBox1=/\n");
    ASSERT_TRUE(dialog.LoadSettings(file));
    EXPECT_EQ(Browser()->Folder().toStdString(), tree() + "/docs");
    // The saved volume differs from the folder's: the browser goes to that volume's root.
    Write(file, "[DIRECTORY]\nFilesListView1=" + tree() + "\nRzDriveComboBox1=/\n");
    Find<DriveBox>("RzDriveComboBox1")->SetVolumes({{"/", "/"}, {temp.path(), "t"}});
    ASSERT_TRUE(dialog.LoadSettings(file));
    EXPECT_EQ(Browser()->Folder(), "/");
  }, false);
}

TEST_F(AddDialogTest, LoadingRunsTheRulesOfTheBoxesItChanges) {
  const std::string file = temp.path() + "/rules.tbs";
  Write(file,
        "[COMBOBOXES]\nCO_Action=3\n[CHECKBOXES]\nCB_SpanMultipleDisk=1\nCB_ArchiveComments=1\nCB_Password=1\n"
        "[EDITBOXES]\nCO_Password=short\n[MEMO]\nME_Wildcards_Count=0\nME_ExcludeFiles_Count=2\nME_ExcludeFiles_0=*.o\n");
  Memo("ME_Wildcards")->setPlainText("kept");
  ASSERT_TRUE(dialog.LoadSettings(file));
  EXPECT_EQ(dialog.operation(), opMove);
  EXPECT_EQ(Button("AddBtn")->text(), "Move");
  for (const char* name : {"CO_MultipleDiskSize", "CB_ReserveSpace", "CB_Inhibit", "CB_Beep", "ME_ArchiveComments",
                           "CO_Password"})
    EXPECT_TRUE(dialog.findChild<QWidget*>(name)->isEnabled()) << name;
  EXPECT_EQ(Memo("ME_Wildcards")->toPlainText(), "kept");
  EXPECT_EQ(Memo("ME_ExcludeFiles")->toPlainText(), "*.o");
  EXPECT_EQ(Edit("CO_Password")->text(), "short");
  // The loaded password is checked when the dialog is accepted.
  Browse([&] {
    prompter.expect(BoxKind::Error, "Invalid password, please changed");
    AcceptNow();
    Edit("CO_Password")->setText("long-enough");
  });
}

TEST_F(AddDialogTest, ADamagedFileLoadsWhatItCan) {
  const std::string file = temp.path() + "/damaged.tbs";
  Write(file, std::string("\x01\x02\xff garbage\n[COMBOBOXES]\nCO_Compression=9\nCO_LockOption=2\nCO_Action=-1\n"
                          "[CHECKBOXES]\nCB_WithDelete=yes\nCB_OnlyNewFiles=1\n[MEMO]\nME_Wildcards_Count=1000000000\n"
                          "ME_Wildcards_0=*.c\n[EDITBOXES]\nED_Subdirectory=") +
                  std::string(1 << 20, 'x'));
  ASSERT_TRUE(dialog.LoadSettings(file));
  EXPECT_EQ(Combo("CO_Compression")->currentText(), "Best");
  EXPECT_EQ(Combo("CO_LockOption")->currentText(), "Auto Lockable");
  EXPECT_EQ(Combo("CO_Action")->currentText(), "Add");
  EXPECT_FALSE(Box("CB_WithDelete")->isChecked());
  EXPECT_TRUE(Box("CB_OnlyNewFiles")->isChecked());
  EXPECT_EQ(Memo("ME_Wildcards")->toPlainText(), "*.c");
  EXPECT_EQ(Edit("ED_Subdirectory")->text().size(), Edit("ED_Subdirectory")->maxLength());
}

TEST_F(AddDialogTest, ReadAndWriteFailuresAreReported) {
  const std::string folder = temp.path() + "/a-folder.tbs";
  std::filesystem::create_directories(folder);
  chooser.answer(folder);
  prompter.expect(BoxKind::Error, "Error in loading settings !");
  Button("Button3")->click();
  EXPECT_FALSE(dialog.LoadSettings(folder));  // the caller's own load reports nothing itself
  EXPECT_TRUE(dialog.LoadSettings(temp.path() + "/missing.tbs"));

  chooser.answer(temp.path() + "/no/such/folder/x.tbs");
  prompter.expect(BoxKind::Error, "Error in saving settings !");
  Button("Button1")->click();
}

TEST_F(AddDialogTest, AFileWithAPasswordIsReadableByItsOwnerOnly) {
  const std::string file = temp.path() + "/secret.tbs";
  Edit("CO_Password")->setText("in-the-file");
  chooser.answer(file);
  Button("Button1")->click();
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(file, text));
  EXPECT_NE(text.find("CO_Password=in-the-file\n"), std::string::npos);
}
