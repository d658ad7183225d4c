// Recovery records, the security envelope and volumes through the window with the real jar32.exe:
// what the Add and Copy dialogs ask for is what the archive gets, the list and the Information
// dialog show it, a signed archive changed on disk and a set with a volume missing are reported.

#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <fstream>

#include "config/ErrorForm_unit.h"
#include "config/InfoDialog_unit.h"
#include "dialogs/AddBrowser.h"
#include "tests/mainwindow/ContentFixture.h"

namespace fs = std::filesystem;
using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;

constexpr const char* kWarning = "A warning was issued, do you want to see the Jar32 output ?";

namespace {

// What the Information dialog shows, read while it is open.
struct InfoShown {
  std::string recoveryRecords, secured, envelope, archiveSize;
};

class SafeguardsEndToEnd : public ContentTest {
 protected:
  std::string Src() const { return home.path() + "/src"; }

  // A new archive of the named files of Src(), added from the Add dialog after act set its options.
  void AddToNewArchive(const std::string& archive, const std::vector<QString>& names,
                       std::function<void(TAddDialog1&)> act) {
    window->config().addFolder = 1;
    window->config().lastAddFolder = Src();
    ASSERT_TRUE(window->StartNewArchive(archive));
    OnAdd([&](TAddDialog1& d) {
      auto* browser = Child<adddialog::FolderBrowser>(d, "FilesListView1");
      ASSERT_TRUE(ProcessEventsUntil([&] { return browser->Names().contains(names.front()); }));
      for (const QString& name : names) browser->SelectName(name);
      act(d);
    });
    Action("Mainmenu_Add")->trigger();
  }

  InfoShown Information() {
    InfoShown shown;
    OnNextModal<TInfoDialog>([&](TInfoDialog& d) {
      shown.recoveryRecords = Child<QLabel>(d, "RecoveryRecords")->text().toStdString();
      shown.secured = Child<QLabel>(d, "Label14")->text().toStdString();
      shown.envelope = Child<QLabel>(d, "Label19")->accessibleDescription().toStdString();
      shown.archiveSize = Child<QLabel>(d, "FileSize")->text().toStdString();
      d.accept();
    });
    Action("Mainmenu_Information")->trigger();
    return shown;
  }

  // The text of the archiver's output window that the next Yes opens.
  void OnOutputWindow(std::string& text) {
    OnNextModal<TErrorForm>([&text](TErrorForm& form) {
      text = form.Memo1->toPlainText().toStdString();
      form.accept();
    });
  }

  // The argument files of the window's runs from now on, read as each run starts.
  void RecordArguments() {
    TJar& jar = window->jar();
    auto before = jar.onRunStart;
    jar.onRunStart = [this, before](TJar& job) {
      std::string text;
      platform::ReadWholeFile(job.argumentsFile, text);
      arguments.push_back(text);
      if (before) before(job);
    };
  }

  // A listing the archiver refuses: its question (Yes shows its words), the listing's failure
  // number, and the window's own message.
  void ExpectRefusedListing(const std::string& archive, const std::string& question) {
    prompter.expect(BoxKind::Error, question, ButtonYes);
    prompter.expect(testsupport::PlainBox, "588");
    prompter.expect(BoxKind::Error, "Could not open archive: " + archive);
  }

  bool Flagged(const char* word) const { return window->jar().archiveFlags.find(word) != std::string::npos; }

  std::vector<std::string> arguments;
  // The archiver's signing key is made here, not in the user's own folder.
  ScopedEnv keys{"XDG_CONFIG_HOME", home.path() + "/config"};
};

}  // namespace

TEST_F(SafeguardsEndToEnd, AddingWithRecoveryRecordsShowsThemInTheListAndTheInformation) {
  Write(Src() + "/letter.txt", Noise(30000, 1));
  StartWithAdd();
  const std::string archive = files() + "/kept.j";
  AddToNewArchive(archive, {"letter.txt"}, [](TAddDialog1& d) { Check(d, "CB_AddRecoveryRecords"); });
  ASSERT_TRUE(Flagged("RECOVERY RECORDS")) << window->jar().archiveFlags;
  EXPECT_EQ(Pane()->Lines().at(0), "Flags: RECOVERY RECORDS");
  const InfoShown shown = Information();
  EXPECT_EQ(shown.recoveryRecords, "Yes");
  EXPECT_EQ(shown.secured, "No");

  // Damaged: without the records the member is refused, through them it comes back whole, and
  // "Recover Broken Archive" writes the archive back as it was.
  const std::string whole = Content(archive);
  Overwrite(archive, whole.find(Noise(30000, 1).substr(9000, 64)), std::string(64, '\x55'));
  const std::string out = home.path() + "/out";
  fs::create_directories(out);
  auto extract = [&](const char* box, bool on) {
    OnExtract([&](TExtractDialog& d) {
      EXPECT_TRUE(Child<QCheckBox>(d, "CheckBox4")->isChecked()) << "offered from the flags";
      Check(d, "CheckBox4", false);
      Check(d, box, on);
      Check(d, "OverwriteCheckBox");
      Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(out));
    });
    Action("Mainmenu_Extract")->trigger();
  };
  prompter.expect(BoxKind::Error, "CRC error!\nDo you want to see the Jar32 output ?", ButtonNo);
  extract("CheckBox4", false);
  prompter.verifyDone();
  EXPECT_EQ(window->jar().exitCode, 3);
  extract("CheckBox4", true);
  EXPECT_TRUE(Content(out + "/letter.txt") == Noise(30000, 1));
  EXPECT_FALSE(Content(archive) == whole);
  extract("CheckBox2", true);
  EXPECT_TRUE(Content(archive) == whole) << "repaired on disk";
}

TEST_F(SafeguardsEndToEnd, CopyingAddsOrRemovesTheRecordsAndCanReadThroughThem) {
  Write(Src() + "/letter.txt", Noise(30000, 2));
  const std::string archive = files() + "/plain.j";
  ASSERT_EQ(Jar("a '" + archive + "' letter.txt", Src()), 0);
  StartWithAdd();
  RecordArguments();
  ASSERT_TRUE(window->OpenArchive(archive, false));
  ASSERT_FALSE(Flagged("RECOVERY RECORDS"));

  // Into another archive with records: the open one stays as it was.
  const std::string kept = files() + "/kept.j";
  OnCopy([&](TCopyDialog& d) {
    EXPECT_FALSE(Child<QCheckBox>(d, "CB_AddRecoveryRecords")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "CB_UseRecoveryRecords")->isEnabled());
    Check(d, "CB_AddRecoveryRecords");
    Child<FileNameField>(d, "FE_OutputArchive")->setText(kept);
  });
  Action("Mainmenu_Copy")->trigger();
  EXPECT_NE(arguments.back().find(" -hk -hx- "), std::string::npos) << arguments.back();
  EXPECT_FALSE(Flagged("RECOVERY RECORDS"));
  ASSERT_TRUE(window->OpenArchive(kept, false));
  ASSERT_TRUE(Flagged("RECOVERY RECORDS")) << "the copy has them";

  // The copy damaged, copied in place through its records without keeping them: whole, no records.
  Overwrite(kept, Content(kept).find(Noise(30000, 2).substr(9000, 64)), std::string(64, '\x55'));
  OnCopy([&](TCopyDialog& d) {
    EXPECT_TRUE(Child<QCheckBox>(d, "CB_AddRecoveryRecords")->isChecked()) << "ticked from the flags";
    Check(d, "CB_UseRecoveryRecords");
    Check(d, "CB_AddRecoveryRecords", false);
    EXPECT_FALSE(Child<QCheckBox>(d, "CB_UseRecoveryRecords")->isEnabled());
    Child<FileNameField>(d, "FE_OutputArchive")->setText("");
  });
  prompter.expect(BoxKind::Error, kWarning, ButtonNo);  // the archiver says what it repaired
  Action("Mainmenu_Copy")->trigger();
  prompter.verifyDone();
  EXPECT_NE(arguments.back().find(" -hk- -hx- "), std::string::npos) << "a disabled box asks for nothing";
  EXPECT_FALSE(Flagged("RECOVERY RECORDS")) << "listed again: " << window->jar().archiveFlags;
  EXPECT_EQ(Jar("t '" + kept + "'", files()), 0) << "repaired on the way";

  // With records again, read through them: the box now reaches the archiver.
  ASSERT_EQ(Jar("y '" + kept + "' -hk -y", files()), 0);
  ASSERT_TRUE(window->OpenArchive(kept, false));
  Overwrite(kept, Content(kept).find(Noise(30000, 2).substr(20000, 64)), std::string(64, '\x55'));
  const std::string repaired = files() + "/repaired.j";
  OnCopy([&](TCopyDialog& d) {
    Check(d, "CB_UseRecoveryRecords");
    Child<FileNameField>(d, "FE_OutputArchive")->setText(repaired);
  });
  prompter.expect(BoxKind::Error, kWarning, ButtonNo);
  Action("Mainmenu_Copy")->trigger();
  prompter.verifyDone();
  EXPECT_NE(arguments.back().find(" -hk -hx "), std::string::npos) << arguments.back();
  EXPECT_EQ(Jar("t '" + repaired + "'", files()), 0);
  ASSERT_TRUE(window->OpenArchive(repaired, false));
  EXPECT_TRUE(Flagged("RECOVERY RECORDS"));
}

TEST_F(SafeguardsEndToEnd, AnArchiveAddedInAnEnvelopeShowsItsSignatureAndATamperedOneIsReported) {
  Write(Src() + "/letter.txt", Noise(20000, 3));
  StartWithAdd();
  const std::string archive = files() + "/signed.j";
  AddToNewArchive(archive, {"letter.txt"}, [](TAddDialog1& d) {
    Check(d, "CB_AddSecurityEnvelope");
    Check(d, "CB_AddRecoveryRecords");
    d.findChild<QComboBox*>("CO_Compression")->setCurrentIndex(0);  // stored, so the bytes can be found
  });
  ASSERT_TRUE(Flagged("SECURED")) << window->jar().archiveFlags;
  EXPECT_TRUE(Flagged("RECOVERY RECORDS"));
  const std::string signature = window->jar().securitySignature;
  EXPECT_NE(signature.find("key "), std::string::npos) << signature;
  EXPECT_NE(signature.find("signed "), std::string::npos) << signature;
  const InfoShown shown = Information();
  EXPECT_EQ(shown.secured, "Yes");
  EXPECT_EQ(shown.recoveryRecords, "Yes");
  EXPECT_EQ(shown.envelope, signature);

  // One byte changed on disk: the archiver refuses the listing (3), and its words say why.
  const size_t at = Content(archive).find(Noise(20000, 3).substr(5000, 64));
  ASSERT_NE(at, std::string::npos);
  Overwrite(archive, at, "\x01");
  ExpectRefusedListing(archive, "CRC error!\nDo you want to see the Jar32 output ?");
  std::string output;
  OnOutputWindow(output);
  EXPECT_FALSE(window->OpenArchive(archive, false));
  prompter.verifyDone();
  EXPECT_EQ(window->jar().exitCode, 3);
  EXPECT_NE(output.find("The JAR SECURITY envelope of " + archive + " is broken"), std::string::npos) << output;

  // Only the envelope changed: extracting without its test gives the member back.
  Overwrite(archive, at, Noise(20000, 3).substr(5000, 1));
  const std::string signedBytes = Content(archive);
  Overwrite(archive, signedBytes.size() - 1, std::string(1, static_cast<char>(signedBytes.back() ^ 1)));
  const std::string out = home.path() + "/out";
  fs::create_directories(out);
  OnExtract([&](TExtractDialog& d) {
    Check(d, "CheckBox3");
    Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(out));
  });
  Action("Mainmenu_Extract")->trigger();
  EXPECT_EQ(window->jar().exitCode, 0);
  EXPECT_TRUE(Content(out + "/letter.txt") == Noise(20000, 3));
}

TEST_F(SafeguardsEndToEnd, AddingIntoVolumesMakesTheSetThatListsAndExtractsWhole) {
  Write(Src() + "/photo.jpg", Noise(900000, 4));
  Write(Src() + "/note.txt", "note\n");
  StartWithAdd();
  RecordArguments();
  const std::string archive = files() + "/set.j";
  AddToNewArchive(archive, {"photo.jpg", "note.txt"}, [](TAddDialog1& d) {
    Check(d, "CB_SpanMultipleDisk");
    d.findChild<QComboBox*>("CO_MultipleDiskSize")->setCurrentIndex(1);  // 360 kb
  });
  ASSERT_FALSE(arguments.empty());
  EXPECT_NE(arguments.front().find(" -v360"), std::string::npos) << arguments.front();
  for (const char* name : {"set.j", "set.j01", "set.j02"}) EXPECT_TRUE(platform::FileExists(files() + "/" + name)) << name;
  EXPECT_FALSE(platform::FileExists(files() + "/set.j03"));
  EXPECT_LE(platform::FileSizeOf(archive), 360 * 1024);
  ASSERT_EQ(Model()->rowCount(), 2);
  const int64_t setSize = platform::FileSizeOf(archive) + platform::FileSizeOf(archive + "01") +
                          platform::FileSizeOf(archive + "02");
  EXPECT_EQ(Information().archiveSize, KilobytesText(setSize, QLocale().groupSeparator().toStdString()))
      << "the size of every volume";

  const std::string out = home.path() + "/out";
  fs::create_directories(out);
  OnExtract([&](TExtractDialog& d) { Child<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(out)); });
  Action("Mainmenu_Extract")->trigger();
  EXPECT_TRUE(Content(out + "/photo.jpg") == Noise(900000, 4));
  EXPECT_EQ(Content(out + "/note.txt"), "note\n");

  // The middle volume gone: the archiver cannot open it (6), and says which it is.
  fs::rename(files() + "/set.j01", home.path() + "/set.j01");
  ExpectRefusedListing(archive, "Cannot open file!\nDo you want to see the Jar32 output ?");
  std::string output;
  OnOutputWindow(output);
  EXPECT_FALSE(window->OpenArchive(archive, false));
  prompter.verifyDone();
  EXPECT_EQ(window->jar().exitCode, 6);
  EXPECT_NE(output.find("Volume 2 of the archive is missing: " + archive + "01"), std::string::npos) << output;
}
