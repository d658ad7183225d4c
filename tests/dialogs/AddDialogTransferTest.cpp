// What an accepted Add dialog puts into the job, seen through the argument line the job then
// writes: every option row, the volume sizes, the names of both modes, and a cancelled dialog.

#include <QLabel>

#include "tests/dialogs/AddDialogFixture.h"

using platform::BoxKind;

namespace {

// The line up to the file list and the run's own work-file exclusions (which carry temporary names).
std::string Switches(const std::string& line) { return line.substr(0, std::min(line.find(" @\""), line.find(" -x\""))); }

// The value of the first quoted switch item ( -z"value").
std::string QuotedAfter(const std::string& line, const std::string& item) {
  const size_t at = line.find(item + "\"");
  if (at == std::string::npos) return "";
  const size_t start = at + item.size() + 1;
  return line.substr(start, line.find('"', start) - start);
}

}  // namespace

TEST_F(AddDialogTest, DefaultsGiveTheDefaultAddLine) {
  jar.ResetOptions();
  EXPECT_FALSE(Browse([] {}));
  EXPECT_EQ(Switches(Line()), " a \"" + temp.path() + "/a.j\" -g- -b- -m4 -s- -jl- -hf- -hg0 -o\"\\\" -y -d- -n- -q- -r- "
                              "-jf -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-");
  EXPECT_TRUE(jar.fromCurrentFolder);
  EXPECT_FALSE(jar.makeNamesAbsolute);
  EXPECT_EQ(jar.sourceFolder, tree());
  EXPECT_TRUE(jar.fileList.empty());
  EXPECT_EQ(dialog.operation(), opAdd);
  EXPECT_EQ(dialog.currentFolder(), tree());
}

TEST_F(AddDialogTest, EveryOptionRowReachesTheArgumentLine) {
  const std::string listFile = temp.path() + "/list.txt";  // does not exist yet
  const std::string chapterFile = temp.path() + "/chapter.txt";
  Write(chapterFile, "chapter comment\n");
  jar.ResetOptions();
  Browse([&] {
    Box("CB_ExcludeFiles")->click();
    Memo("ME_ExcludeFiles")->setPlainText("*.bak\n\ntmp/*\n");
    Edit("ED_Subdirectory")->setText("sub\\dir");
    Edit("CO_Password")->setText("secret-pass");
    Box("CB_Password")->click();
    Box("CB_RecurseFolders")->click();
    Box("CB_FromCurrentDir")->click();
    Combo("CO_Compression")->setCurrentIndex(0);
    Box("CB_SpanMultipleDisk")->click();
    Box("CB_Inhibit")->click();
    Box("CB_Beep")->click();
    Combo("CO_MultipleDiskSize")->setCurrentIndex(4);
    Box("CB_ReserveSpace")->click();
    Edit("ED_ReserveSpaceSize")->setText("64k");
    for (const char* name : {"CB_ArchiveBits", "CB_TimeStamp", "CB_LFNProcessing", "CB_ChapterMode", "CB_LockOption",
                             "CB_AccesProtection"})
      Box(name)->click();
    Combo("CO_ArchiveBits")->setCurrentIndex(1);
    Combo("CO_TimeStamp")->setCurrentIndex(1);
    Combo("CO_LFNProcessing")->setCurrentIndex(2);
    Combo("CO_ChapterMode")->setCurrentIndex(1);
    Combo("CO_LockOption")->setCurrentIndex(2);
    Combo("CO_AccesProtection")->setCurrentIndex(1);
    for (const char* name : {"CB_StoreFullPath", "CB_AssumeYesOnAll", "CB_WithDelete", "CB_IgnoreReadOnly",
                             "CB_OnlyNewFiles", "CB_HideArchiveContents", "CB_SkipSecurityEnv", "CB_AddRecoveryRecords",
                             "CB_QueryOnEach", "CB_TestTempArchive", "CB_TestNewUpdatedFiles", "CB_AddSecurityEnvelope",
                             "CB_AttributeArchive", "CB_AttributeDirectory", "CB_AttributeHidden", "CB_AttributeReadOnly",
                             "CB_AttributeSystem", "CB_Dosbox"})
      Box(name)->click();
    Box("CB_CreateFileList")->click();
    Field("DE_CreateFileList")->setText(QString::fromStdString(listFile));
    Box("CB_WorkDir")->click();
    Field("DE_WorkDirectory")->setText(QString::fromStdString(work()));
    Box("CB_ArchiveComments")->click();
    Memo("ME_ArchiveComments")->setPlainText("hello\nworld");
    Box("CB_ChapterComments")->click();
    Box("CB_ChapterCommentsFile")->click();
    Field("FE_ChapterCommentsFile")->setText(QString::fromStdString("\"" + chapterFile + "\""));
  });

  EXPECT_TRUE(config.showDosbox);
  EXPECT_EQ(config.password, "secret-pass");
  EXPECT_TRUE(std::filesystem::exists(listFile));
  const std::string line = Line();
  const std::string comment = QuotedAfter(line, " -z");
  EXPECT_EQ(jar.ReadWholeFile(comment), "hello\nworld");
  EXPECT_EQ(Switches(line), " a \"" + temp.path() + "/a.j\" -g\"secret-pass\" -b1 -m1 -s1 -jl2 -hf2 -hg1 -l\"" +
                                listFile + "\" -o\"sub\\dir\" -w\"" + work() + "/\" -z\"" + comment + "\" -hz\"" +
                                chapterFile + "\" -vi -vv -v2880k -vr64k -hba0 -hbd0 -hbh0 -hbr0 -hbs0 -d -n -q -r -jf- "
                                "-jr- -jt -hk -hx- -jx -ha -he -hy -ht0");
  EXPECT_NE(line.find(" -x\"*.bak\" -x\"tmp/*\""), std::string::npos) << line;
  EXPECT_TRUE(jar.makeNamesAbsolute);
  EXPECT_FALSE(jar.fromCurrentFolder);
  EXPECT_NE(Line(opAddChapter).find(" -js1 "), std::string::npos);
}

TEST_F(AddDialogTest, VolumeSizesFollowTheSizeBox) {
  struct Case {
    int item;
    const char* size;
    const char* switches;
  } cases[] = {{0, "before", " -vi -vv -va"},   {1, "360", " -vi -vv -v360"},       {2, "720", " -vi -vv -v720"},
               {3, "1440", " -vi -vv -v1440"}, {4, "2880k", " -vi -vv -v2880k"},   {5, "100431870", " -vi -vv -v100431870"},
               {-1, "before", " -vi -vv -va"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    jar.ResetOptions();
    jar.volumeSize = "before";
    jar.volumeFlags = TJar::kVolumeAutoSize;
    Browse([&] {
      if (!Box("CB_SpanMultipleDisk")->isChecked()) {
        Box("CB_SpanMultipleDisk")->click();
        Box("CB_Inhibit")->click();
        Box("CB_Beep")->click();
      }
      Combo("CO_MultipleDiskSize")->setCurrentIndex(c.item);
    });
    EXPECT_EQ(jar.volumeSize, c.size);
    const std::string line = Line();
    EXPECT_NE(line.find(std::string(c.switches) + " -y"), std::string::npos) << line;
  }
  // Without spanning the bits of the check boxes are cleared, whatever they show.
  jar.ResetOptions();
  jar.volumeFlags = TJar::kVolumeInhibit | TJar::kVolumeBeep | TJar::kVolumeReserve;
  Browse([&] { Box("CB_SpanMultipleDisk")->click(); });
  EXPECT_FALSE(jar.multiVolume);
  EXPECT_EQ(jar.volumeFlags, TJar::kVolumeReserve);
}

TEST_F(AddDialogTest, UncheckedSwitchesGiveTheirOffValues) {
  jar.ResetOptions();
  jar.accessProtection = 2;
  jar.lockMode = 1;
  Browse([&] {
    Combo("CO_AccesProtection")->setCurrentIndex(1);
    Combo("CO_LockOption")->setCurrentIndex(1);
  });
  EXPECT_EQ(jar.accessProtection, 0);
  EXPECT_EQ(jar.lockMode, 3);
  EXPECT_EQ(jar.archiveBitsMode, 2);
  EXPECT_EQ(jar.lfnMode, 4);
  EXPECT_EQ(jar.chapterMode, 3);
  EXPECT_EQ(jar.timeStampMode, 2);
}

TEST_F(AddDialogTest, AnIllegalListFileOrWorkFolderSwitchesNothingOn) {
  jar.ResetOptions();
  jar.listFileName = temp.path() + "/stale.txt";
  Browse([&] {
    Box("CB_CreateFileList")->click();
    Field("DE_CreateFileList")->setText(QString::fromStdString(temp.path() + "/no/such/folder/list.txt"));
  });
  EXPECT_FALSE(jar.useListFile);
  EXPECT_EQ(Line().find(" -l"), std::string::npos);
  // An unticked work folder leaves the switch off whatever the field holds.
  Browse([&] {
    Field("DE_WorkDirectory")->setText("/no/such/folder");
  });
  EXPECT_FALSE(jar.useWorkFolder);
}

TEST_F(AddDialogTest, CancelLeavesTheJobAloneButKeepsTheControls) {
  jar.ResetOptions();
  jar.fileList = {"kept"};
  const std::string before = Switches(Line());
  EXPECT_TRUE(Browse(
      [&] {
        Combo("CO_Compression")->setCurrentIndex(0);
        Box("CB_WithDelete")->click();
        Box("CB_ArchiveComments")->click();
        Browser()->SelectName("readme.txt");
      },
      false));
  EXPECT_EQ(Switches(Line()), before);
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"kept"});
  EXPECT_FALSE(jar.useArchiveComment);
  Browse([&] {
    EXPECT_EQ(Combo("CO_Compression")->currentIndex(), 0);
    EXPECT_TRUE(Box("CB_WithDelete")->isChecked());
  });
  EXPECT_EQ(jar.compressionMethod, 1);
  EXPECT_TRUE(jar.withDelete);
}

TEST_F(AddDialogTest, BrowserModeAddsWildcardsThenTheSelectionRelativeToTheFolder) {
  jar.ResetOptions();
  Browse([&] {
    WaitForNames({"docs", "readme.txt", "notes.txt"});
    Box("CB_Wildcards")->click();
    Memo("ME_Wildcards")->setPlainText("*.md\n\n a b \n");
    Browser()->SelectName("readme.txt");
    Browser()->SelectName("docs");
  });
  EXPECT_EQ(jar.fileList, (std::vector<std::string>{"*.md", " a b ", "docs\\*", "readme.txt"}));
  EXPECT_EQ(jar.sourceFolder, tree());
  Line();
  EXPECT_EQ(FilesLine(), " \"*.md\" \" a b \" \"docs\\*\" \"readme.txt\"");

  // Not from the current folder: the names are made absolute with the browser's folder.
  jar.ResetOptions();
  Browse([&] {
    WaitForNames({"readme.txt"});
    Box("CB_Wildcards")->click();
    Box("CB_FromCurrentDir")->click();
    Browser()->SelectName("readme.txt");
  });
  EXPECT_EQ(jar.sourceFolder, tree());
  Line();
  EXPECT_EQ(FilesLine(), " \"" + tree() + "/readme.txt\"");
}

TEST_F(AddDialogTest, AtTheRootAnItemIsJoinedWithASingleSeparator) {
  jar.ResetOptions();
  Browse([&] {
    WaitForNames({"tmp"});
    Browser()->SelectName("tmp");
  }, true, "/");
  EXPECT_EQ(jar.sourceFolder, "/");
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"tmp\\*"});
}

TEST_F(AddDialogTest, DroppedModeNamesTheArchiveAndAddsTheDroppedNames) {
  config.systemTempFolder = work() + "/";
  jar.ResetOptions();
  const std::vector<std::string> names = {tree() + "/readme.txt", tree() + "/docs", tree() + "/gone.txt"};
  QString count, archiveName, fromDirectory;
  EXPECT_FALSE(Drop(names, "", [&] {
    count = Find<QLabel>("Label4")->text();
    archiveName = Field("FE_ArchiveName")->text();
    fromDirectory = Field("DE_FromDirectory")->text();
    EXPECT_FALSE(Browser()->isVisibleTo(&dialog));
    EXPECT_FALSE(Box("CB_FromCurrentDir")->isVisibleTo(&dialog));
  }, true, tree() + "/docs"));
  EXPECT_EQ(count, "3");
  EXPECT_EQ(archiveName.toStdString(), tree() + "/docs/Untitled");
  EXPECT_EQ(fromDirectory.toStdString(), work() + "/");
  EXPECT_EQ(dialog.targetArchive(), tree() + "/docs/Untitled");
  EXPECT_EQ(jar.fileList, (std::vector<std::string>{names[0], names[1] + "\\*", names[2]}));
  EXPECT_EQ(jar.sourceFolder, work() + "/");
  EXPECT_FALSE(jar.makeNamesAbsolute);

  // An open archive names the target and the folder; blanks around the folder go, a separator comes.
  Drop({names[0]}, temp.path() + "/open.j", [&] {
    EXPECT_EQ(Field("FE_ArchiveName")->text().toStdString(), temp.path() + "/open.j");
    EXPECT_EQ(Field("DE_FromDirectory")->text().toStdString(), temp.path() + "/");
    Field("DE_FromDirectory")->setText(QString::fromStdString("  " + tree() + "  "));
  });
  EXPECT_EQ(dialog.fromDirectory(), tree() + "/");
  EXPECT_EQ(jar.sourceFolder, tree() + "/");
  EXPECT_TRUE(dialog.fromDirectoryChecked());

  // Without a dropped folder a new archive goes to the program's folder.
  Drop({names[0]}, "", [&] {
    EXPECT_EQ(Field("FE_ArchiveName")->text().toStdString(), JoinFolderAndName(config.programFolder, "Untitled"));
  }, false);
}

TEST_F(AddDialogTest, DroppedModeAppliesTheOptionTabsButNotTheBrowserFolder) {
  jar.ResetOptions();
  jar.fromCurrentFolder = true;
  Drop({tree() + "/readme.txt"}, "", [&] {
    Combo("CO_Compression")->setCurrentIndex(0);
    Edit("CO_Password")->setText("dropped-pw");
    Box("CB_Password")->click();
    Box("CB_Dosbox2")->click();
  });
  EXPECT_EQ(jar.compressionMethod, 1);
  EXPECT_TRUE(jar.usePassword);
  EXPECT_EQ(config.password, "dropped-pw");
  EXPECT_TRUE(config.showDosbox);
  EXPECT_TRUE(jar.fromCurrentFolder);
  EXPECT_FALSE(jar.makeNamesAbsolute);
}
