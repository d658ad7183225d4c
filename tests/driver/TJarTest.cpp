#include "tests/driver/JarTestFixture.h"

TEST_F(JarTest, ConstructionDefaults) {
  TJar fresh(settings, prompter);
  EXPECT_EQ(fresh.tempFolder, platform::SystemTempFolder());
  EXPECT_EQ(fresh.workingFolder, fresh.tempFolder);
  EXPECT_EQ(fresh.commandClass, 3);
  EXPECT_EQ(fresh.parseMode, 0);
  EXPECT_TRUE(fresh.makeNamesAbsolute);
  EXPECT_TRUE(fresh.recurseFolders);
  EXPECT_TRUE(fresh.assumeYes);
  EXPECT_EQ(fresh.accessProtection, 0);
  EXPECT_FALSE(fresh.running);
  EXPECT_FALSE(fresh.hasComment);
  EXPECT_FALSE(fresh.onRunStart);
  EXPECT_TRUE(fresh.archiveName.empty());
  EXPECT_TRUE(fresh.tempFileList.empty());
}

TEST_F(JarTest, ResetOptionsKeepsTextsAndTheFlagsThatAreNotReset) {
  jar.archiveName = "/a.j";
  jar.archiveFlags = "LOCKED";
  jar.totalFiles = "3";
  jar.SetOutputPath("out");
  jar.volumeSize = "1440";
  jar.sourceFolder = "/src";
  jar.fromCurrentFolder = jar.usePassword = jar.changePassword = jar.archiveCommentIsText = true;
  jar.accessProtection = 1;
  jar.fileList = {"x"};
  jar.excludeList = {"y"};
  jar.useExcludeList = jar.useOutputPath = jar.useChapterRange = jar.multiVolume = true;
  jar.chapterFrom = 2;
  jar.volumeFlags = 9;
  jar.lockMode = 0;
  jar.compressionMethod = 3;
  jar.makeNamesAbsolute = false;
  jar.makeNamesRelative = true;
  jar.recurseFolders = jar.assumeYes = jar.includeSystemAttr = false;
  jar.hideContents = true;

  jar.ResetOptions();
  EXPECT_EQ(jar.archiveName, "/a.j");
  EXPECT_EQ(jar.archiveFlags, "LOCKED");
  EXPECT_EQ(jar.totalFiles, "3");
  EXPECT_EQ(jar.outputPath, "out");
  EXPECT_EQ(jar.volumeSize, "1440");
  EXPECT_EQ(jar.sourceFolder, "/src");
  EXPECT_TRUE(jar.fromCurrentFolder && jar.usePassword && jar.changePassword && jar.archiveCommentIsText);
  EXPECT_EQ(jar.accessProtection, 1);

  EXPECT_TRUE(jar.fileList.empty() && jar.excludeList.empty());
  EXPECT_FALSE(jar.useExcludeList || jar.useOutputPath || jar.useChapterRange || jar.multiVolume);
  EXPECT_EQ(jar.chapterFrom, 0);
  EXPECT_EQ(jar.volumeFlags, 0);
  EXPECT_EQ(jar.lockMode, 3);
  EXPECT_EQ(jar.compressionMethod, 0);
  EXPECT_TRUE(jar.makeNamesAbsolute);
  EXPECT_FALSE(jar.makeNamesRelative);
  EXPECT_TRUE(jar.recurseFolders && jar.assumeYes && jar.includeSystemAttr);
  EXPECT_FALSE(jar.hideContents);
}

TEST_F(JarTest, ClearArchiveForgetsTheArchive) {
  jar.archiveName = "/a.j";
  jar.archiveFlags = "LOCKED";
  jar.createdDate = jar.modifiedDate = "2026-12-08 10:00:00";
  jar.securitySignature = "sig";
  jar.hasComment = true;
  jar.lockMode = 1;
  jar.ClearArchive();
  EXPECT_TRUE(jar.archiveName.empty() && jar.archiveFlags.empty() && jar.createdDate.empty() &&
              jar.modifiedDate.empty() && jar.securitySignature.empty());
  EXPECT_FALSE(jar.hasComment);
  EXPECT_EQ(jar.lockMode, 3);
}

TEST_F(JarTest, SettersFallBackAsDocumented) {
  jar.SetNewPassword("1234567");
  EXPECT_EQ(jar.newPassword, "");
  jar.SetNewPassword("12345678");
  EXPECT_EQ(jar.newPassword, "12345678");
  jar.SetNewPassword("ääääääää");  // eight characters, sixteen bytes
  EXPECT_EQ(jar.newPassword, "ääääääää");

  jar.SetOutputPath("out?");
  EXPECT_EQ(jar.outputPath, "");
  jar.SetOutputPath("\\docs\\");
  EXPECT_EQ(jar.outputPath, "\\docs\\");

  const std::string existing = temp.path() + "/list.txt";
  jar.WriteTextFile(existing, "x");
  jar.SetListFile(existing);
  jar.SetListFile(temp.path() + "/missing.txt");
  EXPECT_EQ(jar.listFileName, existing);  // a missing file keeps the previous name

  jar.SetWorkFolder(temp.path());
  EXPECT_EQ(jar.workFolder, temp.path());
  jar.SetWorkFolder(existing);  // a file, not a folder
  EXPECT_EQ(jar.workFolder, "");

  jar.SetArchiveComment(temp.path() + "/missing.txt");
  EXPECT_EQ(jar.archiveComment, "");
  jar.SetArchiveComment(existing);
  EXPECT_EQ(jar.archiveComment, existing);
  jar.archiveCommentIsText = true;
  jar.SetArchiveComment("just text");
  EXPECT_EQ(jar.archiveComment, "just text");

  jar.SetChapterComment("text but not a file");
  EXPECT_EQ(jar.chapterComment, "");
  jar.chapterCommentIsText = true;
  jar.SetChapterComment("text but not a file");
  EXPECT_EQ(jar.chapterComment, "text but not a file");
}

TEST_F(JarTest, WorkFileHelpers) {
  const std::string a = jar.MakeTempFileName("ArgumentsFile");
  EXPECT_EQ(a.rfind(temp.path() + "/~tb", 0), 0u) << a;
  EXPECT_TRUE(platform::FileExists(a));
  jar.tempFolder = temp.path() + "/missing/";
  EXPECT_EQ(jar.MakeTempFileName("ErrorFile"), temp.path() + "/missing/ErrorFile_");
  EXPECT_EQ(jar.tempFileList.size(), 2u);
  jar.DeleteTempFiles();
  EXPECT_FALSE(platform::PathExists(a));
  EXPECT_TRUE(jar.tempFileList.empty());

  try {
    jar.WriteTextFile(temp.path() + "/missing/x.txt", "x");
    ADD_FAILURE();
  } catch (const JarFailure& f) {
    EXPECT_EQ(f.text, "Error opening: " + temp.path() + "/missing/x.txt");
  }
  EXPECT_EQ(jar.ReadWholeFile(temp.path() + "/missing/x.txt"), "");
}

TEST(SharedUtilities, RemovableDriveNeedsADrivePath) {
  EXPECT_FALSE(LooksLikeDrivePath("", platform::PathStyle::Windows));
  EXPECT_FALSE(LooksLikeDrivePath("\\\\server\\share", platform::PathStyle::Windows));
  EXPECT_TRUE(LooksLikeDrivePath("a:", platform::PathStyle::Windows));
  EXPECT_TRUE(LooksLikeDrivePath("Z:\\x", platform::PathStyle::Windows));
  EXPECT_FALSE(LooksLikeDrivePath("relative/x", platform::PathStyle::Posix));
  EXPECT_TRUE(LooksLikeDrivePath("/media/usb", platform::PathStyle::Posix));
}

TEST(SharedUtilities, PlaceDialog) {
  // Centred across the owner, a quarter down.
  DialogPosition p = PlaceDialog({100, 100, 801, 600}, {0, 0, 301, 200}, 1000);
  EXPECT_EQ(p.x, 100 + 400 - 150);
  EXPECT_EQ(p.y, 100 + 150);
  // Kept above the bottom of the usable screen.
  p = PlaceDialog({0, 700, 800, 400}, {0, 0, 200, 300}, 900);
  EXPECT_EQ(p.y, 600);
  // Never negative.
  p = PlaceDialog({-500, -300, 200, 100}, {0, 0, 400, 2000}, 900);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
}
