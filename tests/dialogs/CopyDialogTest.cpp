#include "dialogs/CopyDialog_unit.h"

#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "dialogs/FileNameField.h"
#include "tests/dialogs/OpsDialogFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;

namespace {

class CopyDialogTest : public OpsDialogTest {
 protected:
  CopyDialogTest() {
    archiveFolder = work.path() + "/archives";
    std::filesystem::create_directories(archiveFolder);
    config.currentArchive = archiveFolder + "/a.j";
    jar.archiveName = config.currentArchive;
  }

  // One use of a new dialog: act sets the controls, then OK (or whatever act pressed).
  bool Use(const std::function<void(TCopyDialog&)>& act = {}, const std::string& comment = "") {
    TCopyDialog d(config, prompter, chooser, &owner);
    d.setArchiveComment(comment);
    OnNextModal<TCopyDialog>([act](TCopyDialog& shown) {
      if (act) act(shown);
      if (shown.isVisible()) Button(shown, "Button1")->click();
    });
    const bool accepted = d.Execute();
    lastOutput = d.outputArchive();
    lastPasswordChecked = d.passwordChecked();
    return accepted;
  }
  static FileNameField* Field(QWidget& d, const char* name) { return Find<FileNameField>(d, name); }
  static QLineEdit* Edit(QWidget& d, const char* name) { return Find<QLineEdit>(d, name); }

  std::string archiveFolder;
  std::string lastOutput;
  bool lastPasswordChecked = false;
};

}  // namespace

TEST_F(CopyDialogTest, CaptionsAndDesignedDefaults) {
  TCopyDialog d(config, prompter, chooser, &owner);
  EXPECT_EQ(d.windowTitle(), "Tamber 2.2 - Copy archive with new options");
  EXPECT_EQ(Find<QLabel>(d, "Label3")->text(),
            "CAUTION:\nTHIS DIALOG \nHAS NOT \nBEEN\nCOMPLETLY\nTESTED\nYET\nSO\nBE\nCAREFUL");
  QTabWidget* tabs = Tabs(d);
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Options");
  EXPECT_EQ(tabs->tabText(1), "More Options");
  EXPECT_EQ(tabs->tabText(2), "Comments");
  EXPECT_EQ(Field(d, "FE_OutputArchive")->edit()->toolTip(), "Specify output archive.");
  auto* sizes = Find<QComboBox>(d, "CO_MultipleDiskSize");
  ASSERT_EQ(sizes->count(), 6);
  EXPECT_EQ(sizes->itemText(1), "  360 kb ");
  EXPECT_EQ(sizes->itemText(5), "100 Mb (zip disk)");
  EXPECT_EQ(sizes->currentText(), "1440 kb");
  for (const char* name : {"CO_MultipleDiskSize", "CB_ReserveSpace", "ED_ReserveSpaceSize", "CB_Inhibit", "CB_Beep",
                           "ED_OldPassword", "ED_NewPassword", "CO_LockOption", "ME_ArchiveComments",
                           "CB_ArchiveCommentsFile", "FE_ArchiveCommentsFile", "ME_ChapterComments",
                           "CB_ChapterCommentsFile", "FE_ChapterCommentsFile"})
    EXPECT_FALSE(Enabled(d, name)) << name;
  EXPECT_TRUE(Checked(d, "CB_HideOldPassword"));
  EXPECT_TRUE(Checked(d, "CB_HideNewPassword"));
  EXPECT_FALSE(Checked(d, "CB_AssumeYesOnAll"));
  auto* locks = Find<QComboBox>(d, "CO_LockOption");
  EXPECT_EQ(locks->itemText(2), "Auto Lockable");
  EXPECT_EQ(Button(d, "CB_AddRecoveryRecords")->toolTip(),
            "When unchecked, this will REMOVE\nrecovery records, otherwise it will add\nrecovery records.");
  EXPECT_EQ(Button(d, "CB_HideArchiveContents")->toolTip(), "Only useful with password.");
  EXPECT_EQ(Find<QPlainTextEdit>(d, "ME_ArchiveComments")->toolTip(), "Maximum comment size is 4 KB.");
  EXPECT_EQ(Button(d, "Button1")->text(), "OK");
  EXPECT_TRUE(Find<QPushButton>(d, "Button1")->isDefault());
  EXPECT_EQ(Button(d, "Button2")->text(), "Cancel");
  EXPECT_EQ(Button(d, "CB_Dosbox")->text(), "DosBox");
}

TEST_F(CopyDialogTest, InPlaceCopyStartsInTheArchivesFolderWithTheJobsLine) {
  int activeTab = -1;
  ASSERT_TRUE(Use([&](TCopyDialog& d) { activeTab = Tabs(d)->currentIndex(); }));
  EXPECT_EQ(activeTab, 0);
  EXPECT_FALSE(jar.useOutputPath);
  EXPECT_TRUE(jar.fromCurrentFolder);
  EXPECT_EQ(jar.sourceFolder, archiveFolder + "/");
  EXPECT_EQ(jar.lockMode, 3);
  EXPECT_FALSE(jar.assumeYes);
  EXPECT_EQ(Line(opCopyArchive), " y \"" + config.currentArchive +
                                     "\" -g- -jg -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- "
                                     "-jx- -ha- -he- -hy- -ht-");
}

TEST_F(CopyDialogTest, TheOutputArchiveDecidesTheStartFolderUnlessItIsABareName) {
  ASSERT_TRUE(Use([](TCopyDialog& d) { Field(d, "FE_OutputArchive")->setText("copy.j"); }));
  EXPECT_EQ(lastOutput, "copy.j");
  EXPECT_TRUE(jar.useOutputPath);
  EXPECT_EQ(jar.outputPath, "copy.j");
  EXPECT_EQ(jar.sourceFolder, archiveFolder + "/");

  const std::string elsewhere = work.path() + "/elsewhere/copy.j";
  ASSERT_TRUE(Use([&](TCopyDialog& d) { Field(d, "FE_OutputArchive")->setText(elsewhere); }));
  EXPECT_EQ(jar.sourceFolder, work.path() + "/elsewhere/");
  EXPECT_NE(Line(opCopyArchive).find(" -o\"" + elsewhere + "\" "), std::string::npos);
}

TEST_F(CopyDialogTest, TheBrowseButtonsStartInTheArchivesFolder) {
  chooser.answer(work.path() + "/picked.j");
  chooser.answer(archiveFolder + "/note.txt");
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    Field(d, "FE_OutputArchive")->browseButton()->click();
    Button(d, "CB_ArchiveComments")->click();
    Button(d, "CB_ArchiveCommentsFile")->click();
    Field(d, "FE_ArchiveCommentsFile")->browseButton()->click();
  }));
  ASSERT_EQ(chooser.calls().size(), 2u);
  EXPECT_EQ(chooser.calls()[0].kind, "save");
  EXPECT_EQ(chooser.calls()[0].start, archiveFolder + "/");
  EXPECT_EQ(chooser.calls()[1].kind, "open");
  EXPECT_EQ(chooser.calls()[1].start, archiveFolder + "/");
  EXPECT_EQ(lastOutput, work.path() + "/picked.j");
  // The comment file does not exist: the job keeps no name for it.
  EXPECT_FALSE(jar.archiveCommentIsText);
  EXPECT_EQ(jar.archiveComment, "");
}

TEST_F(CopyDialogTest, AProtectedArchiveOpensWithThePasswordAndANewOneIsSet) {
  config.StorePassword("old-secret");
  jar.archiveFlags = "PROTECTED, ENCRYPTED";
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    EXPECT_TRUE(Checked(d, "CB_Password"));
    EXPECT_TRUE(Enabled(d, "ED_OldPassword"));
    EXPECT_TRUE(Enabled(d, "ED_NewPassword"));
    EXPECT_EQ(Edit(d, "ED_OldPassword")->text(), "old-secret");
    EXPECT_EQ(Edit(d, "ED_NewPassword")->text(), "old-secret");
    EXPECT_EQ(Edit(d, "ED_NewPassword")->displayText(), QString(10, '#'));
    Button(d, "CB_HideNewPassword")->click();
    EXPECT_EQ(Edit(d, "ED_NewPassword")->displayText(), "old-secret");
    Edit(d, "ED_NewPassword")->setText("new-secret");
  }));
  EXPECT_TRUE(lastPasswordChecked);
  EXPECT_TRUE(jar.changePassword);
  EXPECT_TRUE(jar.usePassword);
  EXPECT_EQ(jar.newPassword, "new-secret");
  EXPECT_EQ(config.password, "old-secret");
  // Both passwords are given, and the method switch is left out for a password change.
  const std::string line = Line(opCopyArchive);
  EXPECT_EQ(line.rfind(" y \"" + config.currentArchive + "\" -g\"old-secret\" -jg\"new-secret\" -b- ", 0), 0u) << line;
  EXPECT_EQ(line.find("-hg"), std::string::npos) << line;
}

TEST_F(CopyDialogTest, PasswordsTheArchiverCannotTakeAreRefusedWhereTyped) {
  ASSERT_TRUE(Use([&](TCopyDialog& d) {
    Button(d, "CB_Password")->click();
    Tabs(d)->setCurrentIndex(2);
    Edit(d, "ED_NewPassword")->setText("quote\"inside");
    prompter.expect(BoxKind::Error, TConfig::kPasswordQuoteMessage);
    Button(d, "Button1")->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Tabs(d)->currentIndex(), 0);

    Edit(d, "ED_NewPassword")->setText("good-password");
    Edit(d, "ED_OldPassword")->setText("old\"one-here");
    prompter.expect(BoxKind::Error, TConfig::kPasswordQuoteMessage);
    Button(d, "Button1")->click();
    EXPECT_TRUE(d.isVisible());

    // A new password the password dialog would refuse could never be given back.
    Edit(d, "ED_OldPassword")->clear();
    for (const char* refused : {"short", "has a blank"}) {
      Edit(d, "ED_NewPassword")->setText(refused);
      prompter.expect(BoxKind::Error, "Invalid password ! Try again.");
      Button(d, "Button1")->click();
      EXPECT_TRUE(d.isVisible());
    }
    Edit(d, "ED_NewPassword")->setText("good-password");
  }));
  EXPECT_EQ(jar.newPassword, "good-password");
  EXPECT_NE(Line(opCopyArchive).find(" -g- -jg\"good-password\" "), std::string::npos);
}

TEST_F(CopyDialogTest, AnInvalidOldPasswordIsNotRemembered) {
  config.StorePassword("remembered");
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    Button(d, "CB_Password")->click();
    Edit(d, "ED_OldPassword")->setText("short");
    Edit(d, "ED_NewPassword")->clear();
  }));
  EXPECT_EQ(config.password, "remembered");
  EXPECT_EQ(jar.newPassword, "");
  EXPECT_NE(Line(opCopyArchive).find(" -g\"remembered\" -jg -b- "), std::string::npos);
}

TEST_F(CopyDialogTest, LocksCanBeKeptOrDroppedButNeverAdded) {
  jar.archiveFlags = "LOCKED";
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    EXPECT_TRUE(Checked(d, "CB_LockArchive"));
    EXPECT_TRUE(Enabled(d, "CB_LockArchive"));
    EXPECT_TRUE(Enabled(d, "CO_LockOption"));
    EXPECT_EQ(Find<QComboBox>(d, "CO_LockOption")->currentText(), "Lock Archive");
  }));
  EXPECT_EQ(jar.lockMode, 0);
  EXPECT_NE(Line(opCopyArchive).find(" -jl -hf-"), std::string::npos);

  ASSERT_TRUE(Use([](TCopyDialog& d) { Button(d, "CB_LockArchive")->click(); }));
  EXPECT_EQ(jar.lockMode, 3);

  // The automatic lock is kept as it is, not turned into a full lock.
  jar.archiveFlags = "AUTO_LOCK, PROTECTED";
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    EXPECT_TRUE(Checked(d, "CB_LockArchive"));
    EXPECT_EQ(Find<QComboBox>(d, "CO_LockOption")->currentText(), "Auto Lockable");
  }));
  EXPECT_EQ(jar.lockMode, 2);

  // An unlocked archive: unticked and disabled, although it was ticked last time.
  jar.archiveFlags = "";
  ASSERT_TRUE(Use([](TCopyDialog& d) { Button(d, "CB_LockArchive")->setChecked(true); }));
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    EXPECT_FALSE(Checked(d, "CB_LockArchive"));
    EXPECT_FALSE(Enabled(d, "CB_LockArchive"));
    EXPECT_FALSE(Enabled(d, "CO_LockOption"));
  }));
  EXPECT_EQ(jar.lockMode, 3);
}

TEST_F(CopyDialogTest, FlagsTickRecoveryRecordsAndHiddenContentsOverRememberedValues) {
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    Tabs(d)->setCurrentIndex(1);
    Button(d, "CB_HideArchiveContents")->setChecked(true);
  }));
  jar.archiveFlags = "RECOVERY RECORDS";
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    EXPECT_TRUE(Checked(d, "CB_AddRecoveryRecords"));
    EXPECT_TRUE(Enabled(d, "CB_UseRecoveryRecords"));
    EXPECT_FALSE(Checked(d, "CB_HideArchiveContents"));
    Button(d, "CB_AddRecoveryRecords")->click();
    EXPECT_FALSE(Enabled(d, "CB_UseRecoveryRecords"));
    Button(d, "CB_AddRecoveryRecords")->click();
    Button(d, "CB_UseRecoveryRecords")->click();
    Button(d, "CB_Security_Envelope")->click();
    Button(d, "CB_TestTempArchive")->click();
  }));
  EXPECT_TRUE(jar.addRecoveryRecords);
  EXPECT_FALSE(jar.hideContents);
  EXPECT_TRUE(jar.addSecurityEnvelope);
  EXPECT_TRUE(jar.testTempArchive);
  EXPECT_TRUE(jar.useRecoveryRecords);
  EXPECT_NE(Line(opCopyArchive).find(" -jf- -jr- -jt -hk -hx -jx- -ha- -he- -hy -ht-"), std::string::npos);

  jar.archiveFlags = "HIDDEN, PROTECTED, ENCRYPTED";
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    EXPECT_TRUE(Checked(d, "CB_HideArchiveContents"));
    EXPECT_FALSE(Checked(d, "CB_AddRecoveryRecords"));
    EXPECT_TRUE(Checked(d, "CB_UseRecoveryRecords"));  // remembered
    EXPECT_FALSE(Enabled(d, "CB_UseRecoveryRecords"));
  }));
  EXPECT_TRUE(jar.hideContents);
  EXPECT_FALSE(jar.useRecoveryRecords) << "a ticked box that is not offered asks for nothing";
}

TEST_F(CopyDialogTest, SpanningSetsTheVolumeSwitches) {
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    Button(d, "CB_SpanMultipleDisk")->click();
    EXPECT_TRUE(Enabled(d, "CO_MultipleDiskSize"));
    EXPECT_FALSE(Enabled(d, "ED_ReserveSpaceSize"));
    Button(d, "CB_ReserveSpace")->click();
    EXPECT_TRUE(Enabled(d, "ED_ReserveSpaceSize"));
    Find<QComboBox>(d, "CO_MultipleDiskSize")->setCurrentIndex(4);
    Edit(d, "ED_ReserveSpaceSize")->setText("64k");
    Button(d, "CB_Inhibit")->click();
  }));
  EXPECT_TRUE(jar.multiVolume);
  EXPECT_EQ(jar.volumeSize, "2880k");
  EXPECT_EQ(jar.volumeFlags, TJar::kVolumeInhibit | TJar::kVolumeReserve);
  EXPECT_NE(Line(opCopyArchive).find(" -vi -v2880k -vr64k -y "), std::string::npos);

  // "Autodetect" keeps the size and the other bits; without spanning the size box is not read.
  jar.volumeFlags = TJar::kVolumeBeep;
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    Find<QComboBox>(d, "CO_MultipleDiskSize")->setCurrentIndex(0);
    Button(d, "CB_Inhibit")->setChecked(false);
    Button(d, "CB_Beep")->setChecked(true);
  }));
  EXPECT_EQ(jar.volumeSize, "2880k");
  EXPECT_EQ(jar.volumeFlags, TJar::kVolumeAutoSize | TJar::kVolumeBeep | TJar::kVolumeReserve);
  EXPECT_NE(Line(opCopyArchive).find(" -vv -va -vr64k -y "), std::string::npos);

  jar.ResetOptions();
  ASSERT_TRUE(Use([](TCopyDialog& d) { Button(d, "CB_SpanMultipleDisk")->click(); }));
  EXPECT_FALSE(jar.multiVolume);
  EXPECT_EQ(jar.volumeFlags, 0);
  EXPECT_EQ(Line(opCopyArchive).find(" -v"), std::string::npos);
}

TEST_F(CopyDialogTest, TheReserveSpaceBoxTakesANumberWithAnOptionalK) {
  ASSERT_TRUE(Use([](TCopyDialog& d) {
    Button(d, "CB_SpanMultipleDisk")->click();
    Button(d, "CB_ReserveSpace")->click();
    QLineEdit* edit = Edit(d, "ED_ReserveSpaceSize");
    edit->setFocus();
    QTest::keyClicks(edit, "12 -jg-k9");
    EXPECT_EQ(edit->text(), "12k");
  }));
  EXPECT_EQ(jar.reserveSpace, "12k");
}

TEST_F(CopyDialogTest, CommentsFromTheMemoOrAFile) {
  const std::string chapterNote = archiveFolder + "/chapter note.txt";
  ASSERT_TRUE(platform::WriteWholeFile(chapterNote, "from a file"));
  ASSERT_TRUE(Use(
      [&](TCopyDialog& d) {
        Tabs(d)->setCurrentIndex(2);
        EXPECT_EQ(Find<QPlainTextEdit>(d, "ME_ArchiveComments")->toPlainText(), "The archive's comment");
        Button(d, "CB_ArchiveComments")->click();
        EXPECT_TRUE(Enabled(d, "ME_ArchiveComments"));
        EXPECT_TRUE(Enabled(d, "CB_ArchiveCommentsFile"));
        EXPECT_FALSE(Enabled(d, "FE_ArchiveCommentsFile"));
        Type(d, "ME_ArchiveComments", "First line\nSecond line");
        Button(d, "CB_ChapterComments")->click();
        Button(d, "CB_ChapterCommentsFile")->click();
        EXPECT_FALSE(Enabled(d, "ME_ChapterComments"));
        EXPECT_TRUE(Enabled(d, "FE_ChapterCommentsFile"));
        Field(d, "FE_ChapterCommentsFile")->setText("\"" + chapterNote + "\"");
      },
      "The archive's comment"));
  EXPECT_TRUE(jar.useArchiveComment);
  EXPECT_TRUE(jar.archiveCommentIsText);
  EXPECT_EQ(jar.archiveComment, "First line\nSecond line");
  EXPECT_TRUE(jar.useChapterComment);
  EXPECT_FALSE(jar.chapterCommentIsText);
  EXPECT_EQ(jar.chapterComment, chapterNote);
  const std::string line = Line(opCopyArchive);
  const size_t z = line.find(" -z\"");
  ASSERT_NE(z, std::string::npos) << line;
  const std::string commentFile = line.substr(z + 4, line.find('"', z + 4) - z - 4);
  EXPECT_EQ(jar.ReadWholeFile(commentFile), "First line\nSecond line");
  EXPECT_NE(line.find(" -hz\"" + chapterNote + "\""), std::string::npos) << line;

  // The memo holds at most 4096 bytes as the archiver counts them (UTF-8), never half a character.
  TCopyDialog d(config, prompter, chooser, &owner);
  auto* memo = Find<QPlainTextEdit>(d, "ME_ArchiveComments");
  memo->setPlainText(QString(2049, QChar(0x00E9)));
  EXPECT_EQ(memo->toPlainText(), QString(2048, QChar(0x00E9)));
}

TEST_F(CopyDialogTest, RememberedValuesComeBackAndCancelForgetsTheUse) {
  ASSERT_TRUE(Use(
      [](TCopyDialog& d) {
        Button(d, "CB_AssumeYesOnAll")->click();
        Button(d, "CB_SpanMultipleDisk")->click();
        Button(d, "CB_ReserveSpace")->click();
        Edit(d, "ED_ReserveSpaceSize")->setText("100");
        Button(d, "CB_Password")->click();
        Button(d, "CB_HideOldPassword")->click();
        Field(d, "FE_OutputArchive")->setText("/backups/out.j");
        Button(d, "CB_ChapterComments")->click();
        Type(d, "ME_ChapterComments", "chapter one\nline two");
        Type(d, "ME_ArchiveComments", "typed comment");
      },
      "original"));
  EXPECT_EQ(store.readNumber(TCopyDialog::kKey, "CB_AssumeYesOnAll.Checked"), 1u);
  EXPECT_EQ(store.readString(TCopyDialog::kKey, "FE_OutputArchive.FileName"), "/backups/out.j");
  EXPECT_EQ(store.readString(TCopyDialog::kKey, "ME_ChapterComments.Lines"), "chapter one\nline two");

  // Cancelled: the values of that use are not saved, and the job is untouched.
  jar.ResetOptions();
  EXPECT_FALSE(Use([](TCopyDialog& d) {
    Button(d, "CB_AssumeYesOnAll")->click();
    Field(d, "FE_OutputArchive")->setText("/elsewhere.j");
    Button(d, "Button2")->click();
  }));
  EXPECT_FALSE(jar.useOutputPath);
  EXPECT_TRUE(jar.assumeYes);
  EXPECT_EQ(store.readNumber(TCopyDialog::kKey, "CB_AssumeYesOnAll.Checked"), 1u);

  // A new settings store from the same file sees them too: they were written to disk.
  platform::SettingsStore reread(home.path() + "/registry.reg");
  EXPECT_EQ(reread.readString(TCopyDialog::kKey, "ED_ReserveSpaceSize.Text"), "100");

  ASSERT_TRUE(Use(
      [](TCopyDialog& d) {
        EXPECT_TRUE(Checked(d, "CB_AssumeYesOnAll"));
        EXPECT_TRUE(Checked(d, "CB_SpanMultipleDisk"));
        EXPECT_TRUE(Enabled(d, "ED_ReserveSpaceSize"));
        EXPECT_EQ(Edit(d, "ED_ReserveSpaceSize")->text(), "100");
        EXPECT_TRUE(Checked(d, "CB_Password"));
        EXPECT_TRUE(Enabled(d, "ED_NewPassword"));
        EXPECT_FALSE(Checked(d, "CB_HideOldPassword"));
        EXPECT_EQ(Edit(d, "ED_OldPassword")->echoMode(), QLineEdit::Normal);
        EXPECT_EQ(Field(d, "FE_OutputArchive")->text(), "/backups/out.j");
        EXPECT_TRUE(Checked(d, "CB_ChapterComments"));
        EXPECT_EQ(Find<QPlainTextEdit>(d, "ME_ChapterComments")->toPlainText(), "chapter one\nline two");
        // The open archive's comment is shown, not the one typed for another archive.
        EXPECT_EQ(Find<QPlainTextEdit>(d, "ME_ArchiveComments")->toPlainText(), "this archive's comment");
      },
      "this archive's comment"));
  EXPECT_TRUE(jar.assumeYes);
}

TEST_F(CopyDialogTest, DamagedRememberedValuesAreIgnored) {
  store.writeString(TCopyDialog::kKey, "CB_Password.Checked", "1");
  store.writeNumber(TCopyDialog::kKey, "FE_OutputArchive.Text", 7);
  store.writeString(TCopyDialog::kKey, "ED_ReserveSpaceSize.Text", "1 -jg-");
  store.writeNumber(TCopyDialog::kKey, "CB_SpanMultipleDisk.Checked", 2);
  store.writeString(TCopyDialog::kKey, "ME_ArchiveComments.Lines", std::string(9000, 'c'));
  TCopyDialog d(config, prompter, chooser, &owner);
  OnNextModal<TCopyDialog>([](TCopyDialog& shown) {
    EXPECT_FALSE(Checked(shown, "CB_Password"));
    EXPECT_TRUE(Checked(shown, "CB_SpanMultipleDisk"));
    EXPECT_EQ(Field(shown, "FE_OutputArchive")->text(), "");
    EXPECT_EQ(Edit(shown, "ED_ReserveSpaceSize")->text(), "");
    EXPECT_EQ(Find<QPlainTextEdit>(shown, "ME_ArchiveComments")->toPlainText().size(), 4096);
    shown.reject();
  });
  EXPECT_FALSE(d.Execute());
}

TEST_F(CopyDialogTest, EveryTabIsLaidOutCleanlyAndReachableByKeyboard) {
  ExpectEveryTabLaidOutCleanlyAndReachable([this] {
    auto d = std::make_unique<TCopyDialog>(config, prompter, chooser, &owner);
    Button(*d, "CB_Password")->setChecked(true);
    Button(*d, "CB_SpanMultipleDisk")->setChecked(true);
    return d;
  });
}
