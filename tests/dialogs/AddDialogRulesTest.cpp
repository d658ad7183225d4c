// The Add dialog's own rules: what each box enables, the action box, the password box and its
// checks, the closing check, and the controls at creation and after ResetChoices.

#include <QLabel>
#include <QTest>

#include "config/ErrorForm_unit.h"
#include "tests/dialogs/AddDialogFixture.h"

using platform::BoxKind;

namespace {

constexpr const char* kInvalidPassword = "Invalid password, please changed";

}  // namespace

TEST_F(AddDialogTest, CaptionsDefaultsAndResetChoices) {
  EXPECT_EQ(dialog.windowTitle(), "Tamber 2.23 - Add Files");
  EXPECT_EQ(dialog.operation(), opAdd);
  EXPECT_EQ(dialog.currentFolder(), config.programFolder);
  EXPECT_EQ(Combo("CO_MultipleDiskSize")->itemText(1), "  360 kb ");
  EXPECT_EQ(Combo("CO_MultipleDiskSize")->currentText(), "1440 kb");
  EXPECT_EQ(Combo("CO_ChapterMode")->currentText(), "Compress All");
  EXPECT_EQ(Edit("ED_Subdirectory")->text(), "\\");
  EXPECT_EQ(Edit("CO_Password")->echoMode(), QLineEdit::Password);
  for (const char* on : {"CB_FromCurrentDir", "CB_FromDirectory", "CB_AssumeYesOnAll", "CB_StoreFullPath",
                         "CB_PasswordHide", "CB_AttributeArchive", "CB_AttributeSystem"})
    EXPECT_TRUE(Box(on)->isChecked()) << on;
  for (const char* off : {"CO_MultipleDiskSize", "CB_ReserveSpace", "ED_ReserveSpaceSize", "CB_Inhibit", "CO_ArchiveBits",
                          "CO_Password", "DE_WorkDirectory", "ME_ExcludeFiles", "ME_ArchiveComments",
                          "CB_ChapterCommentsFile", "FE_ArchiveCommentsFile", "ME_Wildcards"})
    EXPECT_FALSE(dialog.findChild<QWidget*>(off)->isEnabled()) << off;
  EXPECT_TRUE(Box("CB_ArchiveComments")->isEnabled());
  EXPECT_EQ(Button("AddBtn")->text(), "Add");
  EXPECT_TRUE(Button("AddBtn")->isDefault());

  Combo("CO_Action")->setCurrentIndex(3);
  Combo("CO_Compression")->setCurrentIndex(0);
  Combo("CO_MultipleDiskSize")->setCurrentIndex(5);
  for (const char* name : {"CO_ArchiveBits", "CO_TimeStamp", "CO_LockOption", "CO_LFNProcessing", "CO_AccesProtection"})
    Combo(name)->setCurrentIndex(1);
  dialog.ResetChoices();
  EXPECT_EQ(Combo("CO_Action")->currentText(), "Add");
  EXPECT_EQ(dialog.operation(), opAdd);
  EXPECT_EQ(Combo("CO_Compression")->currentText(), "Best");
  EXPECT_EQ(Combo("CO_MultipleDiskSize")->currentText(), "1440 kb");
  EXPECT_EQ(Combo("CO_ChapterMode")->currentText(), "Method 0");
  for (const char* name : {"CO_ArchiveBits", "CO_TimeStamp", "CO_LockOption", "CO_LFNProcessing", "CO_AccesProtection"})
    EXPECT_EQ(Combo(name)->currentIndex(), 0) << name;
}

TEST_F(AddDialogTest, EachBoxEnablesWhatBelongsToIt) {
  const std::pair<const char*, const char*> pairs[] = {
      {"CB_ArchiveBits", "CO_ArchiveBits"},     {"CB_ChapterMode", "CO_ChapterMode"},
      {"CB_LFNProcessing", "CO_LFNProcessing"}, {"CB_LockOption", "CO_LockOption"},
      {"CB_Password", "CO_Password"},           {"CB_TimeStamp", "CO_TimeStamp"},
      {"CB_AccesProtection", "CO_AccesProtection"}, {"CB_WorkDir", "DE_WorkDirectory"},
      {"CB_CreateFileList", "DE_CreateFileList"}, {"CB_ExcludeFiles", "ME_ExcludeFiles"},
      {"CB_Wildcards", "ME_Wildcards"}};
  for (const auto& [box, control] : pairs) {
    QWidget* target = dialog.findChild<QWidget*>(control);
    Box(box)->click();
    EXPECT_TRUE(target->isEnabled()) << control;
    Box(box)->click();
    EXPECT_FALSE(target->isEnabled()) << control;
  }

  // Spanning enables its four controls; the size edit also needs "Reserve Space:".
  Box("CB_SpanMultipleDisk")->click();
  for (const char* name : {"CO_MultipleDiskSize", "CB_ReserveSpace", "CB_Inhibit", "CB_Beep"})
    EXPECT_TRUE(dialog.findChild<QWidget*>(name)->isEnabled()) << name;
  EXPECT_FALSE(Edit("ED_ReserveSpaceSize")->isEnabled());
  Box("CB_ReserveSpace")->click();
  EXPECT_TRUE(Edit("ED_ReserveSpaceSize")->isEnabled());
  Box("CB_SpanMultipleDisk")->click();
  EXPECT_FALSE(Edit("ED_ReserveSpaceSize")->isEnabled());
  EXPECT_FALSE(Box("CB_ReserveSpace")->isEnabled());

  // Comments: the memo while typing, the file field while "Use File:" is ticked.
  Box("CB_ArchiveComments")->click();
  EXPECT_TRUE(Memo("ME_ArchiveComments")->isEnabled());
  EXPECT_TRUE(Box("CB_ArchiveCommentsFile")->isEnabled());
  EXPECT_FALSE(Field("FE_ArchiveCommentsFile")->isEnabled());
  Box("CB_ArchiveCommentsFile")->click();
  EXPECT_FALSE(Memo("ME_ArchiveComments")->isEnabled());
  EXPECT_TRUE(Field("FE_ArchiveCommentsFile")->isEnabled());
  Box("CB_ArchiveComments")->click();
  EXPECT_FALSE(Box("CB_ArchiveCommentsFile")->isEnabled());
  EXPECT_FALSE(Field("FE_ArchiveCommentsFile")->isEnabled());
  EXPECT_FALSE(Memo("ME_ArchiveComments")->isEnabled());
  Box("CB_ChapterComments")->click();
  EXPECT_TRUE(Memo("ME_ChapterComments")->isEnabled());

  // "Hide" masks the password; the two console boxes mirror each other.
  Box("CB_PasswordHide")->click();
  EXPECT_EQ(Edit("CO_Password")->echoMode(), QLineEdit::Normal);
  Box("CB_Dosbox")->click();
  EXPECT_TRUE(Box("CB_Dosbox2")->isChecked());
  Box("CB_Dosbox2")->click();
  EXPECT_FALSE(Box("CB_Dosbox")->isChecked());
}

TEST_F(AddDialogTest, TheActionButtonAndOperationFollowTheActionBox) {
  const std::pair<const char*, JarOperation> actions[] = {
      {"Add Chapter", opAddChapter}, {"Freshen", opFreshen}, {"Move", opMove}, {"Update", opUpdate}, {"Add", opAdd}};
  QComboBox* action = Combo("CO_Action");
  for (const auto& [text, operation] : actions) {
    action->setCurrentIndex(action->findText(text));
    EXPECT_EQ(Button("AddBtn")->text(), text);
    EXPECT_EQ(dialog.operation(), operation);
  }
  // Typing: text that is no item changes nothing; an item's exact text counts as that item.
  action->setEditText("Mov");
  EXPECT_EQ(dialog.operation(), opAdd);
  EXPECT_EQ(Button("AddBtn")->text(), "Add");
  action->setEditText("Move");
  EXPECT_EQ(dialog.operation(), opMove);
  EXPECT_EQ(Button("AddBtn")->text(), "Move");
}

TEST_F(AddDialogTest, PasswordBoxRefusesShortBlankAndQuotedPasswords) {
  Edit("CO_Password")->setText("seven77");
  prompter.expect(BoxKind::Error, kInvalidPassword);
  Box("CB_Password")->click();
  prompter.verifyDone();
  Box("CB_Password")->click();  // unticking checks nothing

  Edit("CO_Password")->setText("has a blank");
  prompter.expect(BoxKind::Error, kInvalidPassword);
  Box("CB_Password")->click();
  Box("CB_Password")->click();

  Edit("CO_Password")->setText("quote\"inside");
  prompter.expect(BoxKind::Error, TConfig::kPasswordQuoteMessage);
  Box("CB_Password")->click();
  Box("CB_Password")->click();

  Edit("CO_Password")->setText("eight888");
  Box("CB_Password")->click();
  prompter.verifyDone();
}

TEST_F(AddDialogTest, ClosingCheckKeepsTheDialogOpenUntilPasswordAndActionAreRight) {
  jar.ResetOptions();
  bool stayedOpen = false;
  bool focusOnPassword = false, focusOnAction = false;
  EXPECT_FALSE(Browse([&] {
    Edit("CO_Password")->setText("eight888");
    Box("CB_Password")->click();
    Edit("CO_Password")->setText("short");
    prompter.expect(BoxKind::Error, kInvalidPassword);
    AcceptNow();
    stayedOpen = dialog.isVisible();
    focusOnPassword = dialog.focusWidget() == Edit("CO_Password");

    Edit("CO_Password")->setText("long enough");  // holds a blank
    prompter.expect(BoxKind::Error, kInvalidPassword);
    AcceptNow();

    Edit("CO_Password")->setText("long-enough");
    Combo("CO_Action")->setEditText("Nonsense");
    prompter.expect(BoxKind::Error, "Something is wrong with the \"Action\", please change");
    AcceptNow();
    stayedOpen = stayedOpen && dialog.isVisible();
    focusOnAction = dialog.focusWidget() == Combo("CO_Action") || Combo("CO_Action")->isAncestorOf(dialog.focusWidget());

    Box("CB_WorkDir")->click();
    Field("DE_WorkDirectory")->setText("/no/such/folder");
    prompter.expect(BoxKind::Error, "Illegal directory specified, please change it.");
    Combo("CO_Action")->setEditText("Update");
    AcceptNow();
    Field("DE_WorkDirectory")->setText(QString::fromStdString(tree()));
  }));
  EXPECT_TRUE(stayedOpen);
  EXPECT_TRUE(focusOnPassword);
  EXPECT_TRUE(focusOnAction);
  EXPECT_EQ(dialog.operation(), opUpdate);
  EXPECT_EQ(config.password, "long-enough");
  EXPECT_TRUE(jar.useWorkFolder);
  EXPECT_EQ(jar.workFolder, tree() + "/");
}

TEST_F(AddDialogTest, CancelAndEscapeCloseWhateverTheBoxesHold) {
  Edit("CO_Password")->setText("eight888");
  Box("CB_Password")->click();
  Edit("CO_Password")->setText("bad");
  Combo("CO_Action")->setEditText("Nonsense");
  EXPECT_TRUE(Browse([&] { Button("Button2")->click(); }, false));
  EXPECT_TRUE(Browse([&] { QTest::keyClick(&dialog, Qt::Key_Escape); }, false));
  EXPECT_TRUE(Browse([&] { dialog.close(); }, false));
}

TEST_F(AddDialogTest, LeavingThePasswordBoxChecksIt) {
  Edit("CO_Password")->setText("eight888");
  Box("CB_Password")->click();
  Browse([&] {
    QLineEdit* password = Edit("CO_Password");
    dialog.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &dialog; }));
    password->setFocus(Qt::TabFocusReason);
    password->setText("bad");
    prompter.expect(BoxKind::Error, kInvalidPassword);
    Box("CB_RecurseFolders")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(WaitUntil([&] { return prompter.calls().size() == 1 && dialog.focusWidget() == password; }));
    // Moving on to Cancel or to the password's own box asks nothing.
    Box("CB_Password")->setFocus(Qt::TabFocusReason);
    password->setFocus(Qt::TabFocusReason);
    Button("Button2")->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(prompter.calls().size(), 1u);
    password->setText("eight888");
  });
}

TEST_F(AddDialogTest, ARememberedPasswordFillsTheBox) {
  Browse([&] {
    EXPECT_FALSE(Box("CB_Password")->isChecked());
    EXPECT_TRUE(Edit("CO_Password")->text().isEmpty());
  }, false);
  config.StorePassword("remembered");
  Browse([&] {
    EXPECT_TRUE(Box("CB_Password")->isChecked());
    EXPECT_TRUE(Edit("CO_Password")->isEnabled());
    EXPECT_EQ(Edit("CO_Password")->text(), "remembered");
  });
  EXPECT_TRUE(jar.usePassword);
  dialog.setPassword("other-one", false);
  EXPECT_EQ(Edit("CO_Password")->text(), "other-one");
  EXPECT_FALSE(Box("CB_Password")->isChecked());
}

TEST_F(AddDialogTest, OpeningShowsTheOptionsTabWithTheActionButtonFocused) {
  Browse([&] {
    Find<QTabWidget>("OptionTabs")->setCurrentIndex(3);
  }, false);
  Browse([&] {
    EXPECT_EQ(Find<QTabWidget>("OptionTabs")->currentIndex(), 0);
    EXPECT_EQ(dialog.focusWidget(), Button("AddBtn"));
    EXPECT_EQ(Edit("Edit2")->text().toStdString(), tree());
  }, false);
}

TEST_F(AddDialogTest, CheckShowsTheDroppedNames) {
  QString caption, shown;
  OnNextModal<TErrorForm>([&](TErrorForm& viewer) {
    caption = viewer.windowTitle();
    shown = viewer.Memo1->toPlainText();
    viewer.accept();
  });
  Drop({"/one/a.txt", "/two/b c.txt"}, "", [&] { Button("Button4")->click(); }, false);
  EXPECT_EQ(caption, "Tamber 2.23 - Check Dropped/Commandline Files");
  EXPECT_EQ(shown, "/one/a.txt\n/two/b c.txt");
}

TEST_F(AddDialogTest, ArchiveNameButtonsPickTheTarget) {
  chooser.answer(temp.path() + "/new-one");
  chooser.answer(temp.path() + "/existing.jar");
  chooser.cancel();
  Drop({tree() + "/readme.txt"}, temp.path() + "/a.j", [&] {
    Button("NewBtn")->click();
    EXPECT_EQ(Field("FE_ArchiveName")->text().toStdString(), temp.path() + "/new-one.j");
    Button("OpenBtn")->click();
    Field("FE_ArchiveName")->browseButton()->click();
  });
  ASSERT_EQ(chooser.calls().size(), 3u);
  EXPECT_EQ(chooser.calls()[0].kind, "save");
  EXPECT_EQ(chooser.calls()[0].title, "New file");
  EXPECT_EQ(chooser.calls()[1].kind, "open");
  EXPECT_EQ(chooser.calls()[1].title, "Open file");
  EXPECT_EQ(chooser.calls()[1].filter, "Jar Files (*.j *.jar);;All files (*)");
  EXPECT_EQ(chooser.calls()[2].title, "New file/Open file");
  EXPECT_EQ(dialog.targetArchive(), temp.path() + "/existing.jar");
}

TEST_F(AddDialogTest, FolderPickersOpenInTheStartFolderAndEndInASeparator) {
  chooser.answer(work());
  chooser.answer(temp.path() + "/comment.txt");
  Browse([&] {
    Box("CB_WorkDir")->click();
    Field("DE_WorkDirectory")->browseButton()->click();
    EXPECT_EQ(Field("DE_WorkDirectory")->text().toStdString(), work() + "/");
    Box("CB_ArchiveComments")->click();
    Box("CB_ArchiveCommentsFile")->click();
    Field("FE_ArchiveCommentsFile")->browseButton()->click();
  }, false);
  ASSERT_EQ(chooser.calls().size(), 2u);
  EXPECT_EQ(chooser.calls()[0].kind, "folder");
  EXPECT_EQ(chooser.calls()[0].start, tree());
  EXPECT_EQ(chooser.calls()[0].filter, "create");
  EXPECT_EQ(chooser.calls()[1].start, tree());
  EXPECT_EQ(Field("FE_ArchiveCommentsFile")->text().toStdString(), temp.path() + "/comment.txt");
}
