#include <gmock/gmock.h>

#include <functional>

#include "tests/driver/JarTestFixture.h"

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {
const std::string kListTail =
    " -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-";
}

TEST_F(JarTest, ListLineWithDefaultOptionsIsExact) {
  jar.archiveName = "C:\\A.J";
  EXPECT_EQ(Line(opList), " l -jb1- \"C:\\A.J\"" + kListTail);
  jar.archiveName = "/A.J";
  EXPECT_EQ(Line(opList), " l -jb1- \"/A.J\"" + kListTail);
}

TEST_F(JarTest, RunWritesTheListLineAndTheCommandLine) {
  settings.showDosbox = true;
  jar.fromCurrentFolder = true;
  jar.archiveName = "/A.J";
  prompter.expect(platform::BoxKind::Error, "Outputfile is empty !");  // the stand-in lists nothing
  jar.Run(opList);
  EXPECT_EQ(jar.ReadWholeFile(jar.argumentsFile), " l -jb1- \"/A.J\"" + kListTail);
  EXPECT_EQ(jar.commandLine.program, kFakeArchiver);
  EXPECT_EQ(jar.commandLine.argument, "@" + jar.argumentsFile);  // one argument, never split
  EXPECT_EQ(jar.commandLine.Text(), kFakeArchiver + " @" + jar.argumentsFile);
  EXPECT_FALSE(jar.fromCurrentFolder);  // a listing always starts in the temporary folder
  EXPECT_TRUE(settings.showDosbox);     // put back after the run
  for (const std::string* f : {&jar.argumentsFile, &jar.errorFile, &jar.outputFile, &jar.inputFile})
    EXPECT_TRUE(platform::FileExists(*f)) << *f;
}

TEST_F(JarTest, AddLineWithFilesExcludesTheWorkFiles) {
  jar.archiveName = "/data/a.j";
  jar.sourceFolder = "/src";
  jar.fileList = {"sub/a.txt", "/abs/b c.txt"};
  const std::string line = Line(opAdd);
  EXPECT_EQ(line, " a \"/data/a.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -d- -n- -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- "
                  "-he- -hy- -ht- @\"" + jar.filesFile + "\" -x\"" + jar.errorFile + "\" -x\"" + jar.inputFile +
                  "\" -x\"" + jar.outputFile + "\" -x\"" + jar.argumentsFile + "\" -x\"" + jar.filesFile + "\"");
  EXPECT_EQ(jar.ReadWholeFile(jar.filesFile), " \"/src/sub/a.txt\" \"/abs/b c.txt\"");
}

TEST_F(JarTest, FileListNameModes) {
  jar.sourceFolder = "/src/";
  jar.fileList = {"/src/x/a.txt", "b.txt"};
  jar.makeNamesAbsolute = false;
  Line(opAdd);
  EXPECT_EQ(jar.ReadWholeFile(jar.filesFile), " \"/src/x/a.txt\" \"b.txt\"");
  jar.makeNamesRelative = true;
  Line(opAdd);
  EXPECT_EQ(jar.ReadWholeFile(jar.filesFile), " \"x/a.txt\" \"b.txt\"");
}

TEST_F(JarTest, NoFileListMeansNoFilesFileAndThePreviousNameInTheExclusions) {
  jar.fileList = {"/a"};
  Line(opAdd);
  const std::string previous = jar.filesFile;
  jar.fileList.clear();
  const size_t filesBefore = jar.tempFileList.size();
  const std::string line = Line(opAdd);
  EXPECT_EQ(jar.tempFileList.size(), filesBefore + 4);  // no FilesFile this time
  EXPECT_THAT(line, Not(HasSubstr(" @")));
  EXPECT_THAT(line, EndsWith(" -x\"" + previous + "\""));

  TJar fresh(settings, prompter);
  fresh.tempFolder = jar.tempFolder;
  fresh.BuildArguments(opAdd);
  EXPECT_THAT(fresh.ReadWholeFile(fresh.argumentsFile), EndsWith(" -x\"\""));
}

TEST_F(JarTest, ChapterRangesWithOpenBounds) {
  jar.useChapterRange = true;
  const std::pair<std::pair<int, int>, const char*> ranges[] = {
      {{3, 0}, "3-"}, {{0, 5}, "-5"}, {{2, 4}, "2-4"}, {{0, 0}, "-"}};
  for (const auto& [bounds, text] : ranges) {
    jar.SetChapterFrom(bounds.first);
    jar.SetChapterTo(bounds.second);
    EXPECT_THAT(Line(opExtract), EndsWith(std::string(" -ht- -jb") + text));
    EXPECT_THAT(Line(opExtractWithFolders), EndsWith(std::string(" -ht- -jb") + text));
    EXPECT_THAT(Line(opList), EndsWith(std::string(" -ht- -jb") + text));
    // Deleting chapters takes the bare range, no switch.
    EXPECT_THAT(Line(opDeleteChapters), EndsWith(std::string(" -ht- ") + text));
    EXPECT_THAT(Line(opTest), EndsWith(" -ht-"));
  }
  jar.useChapterRange = false;
  EXPECT_THAT(Line(opExtract), EndsWith(" -ht-"));
}

TEST_F(JarTest, CopyArchivePasswordSwitches) {
  settings.password = "oldpassw";
  jar.usePassword = true;
  // No new password: a bare -jg, and the access protection is written.
  std::string line = Line(opCopyArchive);
  EXPECT_THAT(line, HasSubstr(" -g\"oldpassw\" -jg -b-"));
  EXPECT_THAT(line, HasSubstr(" -hg0"));

  jar.SetNewPassword("newpassw");
  jar.changePassword = true;
  line = Line(opCopyArchive);
  EXPECT_THAT(line, HasSubstr(" -jg\"newpassw\" -b-"));
  EXPECT_THAT(line, Not(HasSubstr(" -hg")));  // omitted when the password changes

  // Any missing piece brings the protection back.
  jar.usePassword = false;
  line = Line(opCopyArchive);
  EXPECT_THAT(line, HasSubstr(" -g- -jg\"newpassw\""));
  EXPECT_THAT(line, HasSubstr(" -hg0"));
  jar.usePassword = true;
  jar.changePassword = false;
  line = Line(opCopyArchive);
  EXPECT_THAT(line, HasSubstr(" -jg -b-"));
  EXPECT_THAT(line, HasSubstr(" -hg0"));

  jar.accessProtection = 2;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg- "));
  jar.accessProtection = 1;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg1 "));
  EXPECT_THAT(Line(opAdd), Not(HasSubstr(" -jg")));
}

TEST_F(JarTest, PasswordIsPassedOnlyWhenAskedFor) {
  settings.password = "secret12";
  EXPECT_THAT(Line(opList), HasSubstr(" -g- "));
  jar.usePassword = true;
  EXPECT_THAT(Line(opList), HasSubstr(" -g\"secret12\" "));
  settings.password.clear();
  EXPECT_THAT(Line(opList), HasSubstr(" -g- "));
}

TEST_F(JarTest, VolumeSwitches) {
  jar.multiVolume = true;
  jar.volumeSize = "1440";
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -v1440 -y"));
  jar.volumeFlags = TJar::kVolumeInhibit | TJar::kVolumeBeep | TJar::kVolumeAutoSize;
  EXPECT_THAT(Line(opAddChapter), HasSubstr(" -hg0 -vi -vv -va -y"));
  jar.volumeFlags = TJar::kVolumeReserve;
  EXPECT_THAT(Line(opCopyArchive), HasSubstr(" -v1440 -y"));  // reserve needs a size text
  jar.reserveSpace = "100k";
  EXPECT_THAT(Line(opCopyArchive), HasSubstr(" -v1440 -vr100k -y"));
  jar.volumeSize.clear();
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -vr100k -y"));
  for (int op : {opUpdate, opFreshen, opMove, opExtract, opList}) EXPECT_THAT(Line(op), Not(HasSubstr(" -v")));
  jar.multiVolume = false;
  EXPECT_THAT(Line(opAdd), Not(HasSubstr(" -v")));
}

TEST_F(JarTest, ExcludeForms) {
  jar.excludeList = {"*.bak", "a b.txt"};
  jar.useExcludeList = true;
  EXPECT_THAT(Line(opAdd), EndsWith("\" -x\"*.bak\" -x\"a b.txt\""));
  EXPECT_THAT(Line(opExtract), EndsWith(" -ht- -x\"*.bak\" -x\"a b.txt\""));
  jar.useChapterRange = true;
  jar.SetChapterFrom(2);
  EXPECT_THAT(Line(opDeleteChapters), EndsWith(" -ht- 2- -x*.bak -xa b.txt"));
  EXPECT_THAT(Line(opList), EndsWith(" -ht- -jb2-"));  // a listing never excludes
  jar.useExcludeList = false;
  EXPECT_THAT(Line(opExtract), Not(HasSubstr(" -x")));
}

TEST_F(JarTest, ExtractFreshenAndUpdateModes) {
  EXPECT_THAT(Line(opExtract), HasSubstr(" -b- -m-"));
  jar.freshenMode = 0;
  EXPECT_THAT(Line(opExtract), HasSubstr(" -b- -f -m-"));
  jar.freshenMode = 1;
  jar.updateMode = 0;
  EXPECT_THAT(Line(opExtract), HasSubstr(" -b- -f1 -u -m-"));
  jar.updateMode = 2;
  EXPECT_THAT(Line(opExtractWithFolders), HasSubstr(" -b- -f1 -u2 -m-"));
  EXPECT_THAT(Line(opAdd), HasSubstr(" -b- -m-"));  // extract group only
}

TEST_F(JarTest, AddGroupSwitches) {
  jar.compressionMethod = 4;
  jar.archiveBitsMode = 1;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -b1 -m4 "));
  for (int op : {opExtract, opDelete, opList, opTest, opCopyArchive})
    EXPECT_THAT(Line(op), HasSubstr(" -b- -m- ")) << op;

  jar.includeArchiveAttr = false;
  jar.includeReadOnlyAttr = false;
  jar.includeSystemAttr = false;
  EXPECT_THAT(Line(opUpdate), HasSubstr(" -hg0 -hba0 -hbr0 -hbs0 -y"));
  EXPECT_THAT(Line(opExtract), Not(HasSubstr(" -hb")));

  jar.withDelete = true;
  jar.onlyNewFiles = true;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -y -d -n -q-"));
  EXPECT_THAT(Line(opMove), HasSubstr(" -y -d -q-"));     // -n only for add and delete
  EXPECT_THAT(Line(opDelete), HasSubstr(" -y -n -q-"));   // -d only for the add group
  EXPECT_THAT(Line(opExtract), HasSubstr(" -y -q-"));
}

TEST_F(JarTest, ModeSwitchForms) {
  const std::pair<int, const char*> stamps[] = {{0, " -s "}, {1, " -s1 "}, {2, " -s- "}, {7, " -s1 "}};
  for (auto [mode, text] : stamps) {
    jar.timeStampMode = mode;
    EXPECT_THAT(Line(opAdd), HasSubstr(text));
  }
  const std::pair<int, const char*> locks[] = {{0, " -jl "}, {1, " -jl1 "}, {2, " -jl2 "}, {3, " -jl- "}};
  for (auto [mode, text] : locks) {
    jar.lockMode = mode;
    EXPECT_THAT(Line(opCopyArchive), HasSubstr(text));
  }
  const std::pair<int, const char*> lfn[] = {{0, " -hf "}, {3, " -hf3 "}, {4, " -hf- "}};
  for (auto [mode, text] : lfn) {
    jar.lfnMode = mode;
    EXPECT_THAT(Line(opAdd), HasSubstr(text));
  }
  jar.lockMode = 3;
  jar.lfnMode = 4;
  const std::pair<int, const char*> chapters[] = {{0, " -jl- -js0 -hf-"}, {1, " -jl- -js1 -hf-"}, {2, " -jl- -js -hf-"},
                                                  {3, " -jl- -hf-"}};
  for (auto [mode, text] : chapters) {
    jar.chapterMode = mode;
    EXPECT_THAT(Line(opAddChapter), HasSubstr(text));
  }
  jar.chapterMode = 1;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -jl- -hf-"));  // chapter mode only with add chapter
}

TEST_F(JarTest, ConsoleDecidesAssumeYesAndQueries) {
  settings.showDosbox = true;
  jar.assumeYes = false;
  jar.queryEachFile = true;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -d- -n- -q -r"));  // no -y
  EXPECT_THAT(Line(opList), HasSubstr(" -hg0 -y -q- -r"));     // a listing never shows a console
  jar.assumeYes = true;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -y -d- -n- -q -r"));
  settings.showDosbox = false;
  jar.assumeYes = false;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -y -d- -n- -q- -r"));
}

// Without a console nobody can answer the archiver: an extract that may not replace files gets no
// -y, and its empty standard input says no; the other commands keep -y.
TEST_F(JarTest, HiddenExtractWithoutAssumeYesIsAnsweredNo) {
  settings.showDosbox = false;
  jar.assumeYes = false;
  for (int op : {opExtract, opExtractWithFolders}) EXPECT_THAT(Line(op), HasSubstr(" -hg0 -q- -r")) << op;
  for (int op : {opDelete, opTest, opCopyArchive}) EXPECT_THAT(Line(op), HasSubstr(" -y -")) << op;
  jar.assumeYes = true;
  EXPECT_THAT(Line(opExtract), HasSubstr(" -hg0 -y -q- -r"));
}

TEST_F(JarTest, OnOffSwitchesFollowTheirFlags) {
  jar.recurseFolders = false;
  jar.storeFullPath = jar.recoverBroken = jar.testTempArchive = jar.addRecoveryRecords = true;
  jar.useRecoveryRecords = jar.hideContents = jar.ignoreReadOnly = jar.skipSecurityTest = true;
  jar.addSecurityEnvelope = jar.testNewFiles = true;
  EXPECT_THAT(Line(opTest), EndsWith(" -y -q- -r- -jf -jr -jt -hk -hx -jx -ha -he -hy -ht0"));
}

TEST_F(JarTest, Comments) {
  jar.useArchiveComment = true;
  jar.archiveCommentIsText = true;
  jar.SetArchiveComment("First line\r\nSecond line");
  std::string line = Line(opAdd);
  ASSERT_EQ(jar.tempFileList.size(), 5u);  // the four work files, then the comment file
  const std::string commentFile = jar.tempFileList[4];
  EXPECT_THAT(line, HasSubstr(" -hg0 -z\"" + commentFile + "\" -y"));
  EXPECT_EQ(jar.ReadWholeFile(commentFile), "First line\r\nSecond line");

  jar.SetArchiveComment("NUL");
  const size_t before = jar.tempFileList.size();
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -zNUL -y"));
  EXPECT_EQ(jar.tempFileList.size(), before + 4);  // no comment file

  jar.SetArchiveComment("nul");  // only the exact word removes the comment
  line = Line(opAdd);
  EXPECT_THAT(line, HasSubstr(" -z\"" + jar.tempFileList.back() + "\""));
  EXPECT_EQ(jar.ReadWholeFile(jar.tempFileList.back()), "nul");

  jar.useArchiveComment = false;
  jar.useChapterComment = true;
  const std::string file = temp.path() + "/chapter.txt";
  jar.WriteTextFile(file, "chapter notes");
  jar.SetChapterComment(file);  // a file name, not text
  EXPECT_THAT(Line(opAddChapter), HasSubstr(" -hg0 -hz\"" + file + "\" -y"));
  jar.chapterCommentIsText = true;
  jar.SetChapterComment("NUL");
  EXPECT_THAT(Line(opAddChapter), HasSubstr(" -hg0 -hzNUL -y"));
}

TEST_F(JarTest, ListFileOutputPathAndWorkFolder) {
  const std::string list = temp.path() + "/list.txt";
  jar.WriteTextFile(list, "");
  jar.SetListFile(list);
  jar.useListFile = true;
  jar.SetOutputPath("\\");
  jar.useOutputPath = true;
  jar.SetWorkFolder(temp.path());
  jar.useWorkFolder = true;
  EXPECT_THAT(Line(opAdd), HasSubstr(" -hg0 -l\"" + list + "\" -o\"\\\" -w\"" + temp.path() + "\" -y"));
}

TEST_F(JarTest, MaintenanceCommands) {
  jar.configFileName = "/opt/jar/jar.cfg";
  EXPECT_EQ(Line(opGenerateConfig), " CFG \"/opt/jar/jar.cfg\"");
  jar.configFileName = "/data/broken archive.j";
  EXPECT_EQ(Line(opRecoverHeader), " rh -y \"/data/broken archive.j\"");
  settings.password = "secret12";
  EXPECT_EQ(Line(opRecoverHeader), " rh -y \"/data/broken archive.j\"");
  jar.usePassword = true;
  EXPECT_EQ(Line(opRecoverHeader), " rh -y \"/data/broken archive.j\" -gsecret12");
}

TEST_F(JarTest, RunRefusesWithoutStartingAnything) {
  const std::pair<int, const char*> refusals[] = {
      {15, "Command NOT supported (yet) !"},
      {-1, "Command NOT supported (yet) !"},
  };
  for (auto [op, text] : refusals) {
    try {
      jar.Run(op);
      ADD_FAILURE() << "no failure for " << op;
    } catch (const JarFailure& f) {
      EXPECT_EQ(f.text, text);
    }
  }
  jar.useChapterRange = true;
  for (int op : {opDelete, opDeleteAllChapters}) {
    try {
      jar.Run(op);
      ADD_FAILURE();
    } catch (const JarFailure& f) {
      EXPECT_EQ(f.text, "Can't use a chapter selecting with deletion!");
    }
  }
  jar.useChapterRange = false;
  try {
    jar.Run(opDeleteChapters);
    ADD_FAILURE();
  } catch (const JarFailure& f) {
    EXPECT_EQ(f.text, "No Chapter(s) selected, nothing to delete");
  }
  EXPECT_TRUE(jar.tempFileList.empty());
  EXPECT_EQ(jar.commandClass, 2);
}

TEST_F(JarTest, RunReportsABuilderFailureOnceAndRestoresTheConsoleSetting) {
  jar.tempFolder = temp.path() + "/missing/";
  settings.showDosbox = true;
  prompter.expect(platform::BoxKind::Error, "Error opening Argumentsfile: " + temp.path() + "/missing/ArgumentsFile_");
  try {
    jar.Run(opList);
    ADD_FAILURE();
  } catch (const JarFailure& f) {
    EXPECT_EQ(f.text, "");  // already reported
  }
  EXPECT_TRUE(settings.showDosbox);
  EXPECT_EQ(jar.tempFileList.size(), 4u);  // the fallback names are remembered all the same
}

TEST_F(JarTest, WorkFilesStayUntilTheNextRun) {
  jar.archiveName = "/a.j";
  jar.fileList = {"/x"};
  jar.Run(opAdd);
  const std::vector<std::string> first = jar.tempFileList;
  ASSERT_EQ(first.size(), 5u);
  for (const std::string& f : first) EXPECT_TRUE(platform::FileExists(f)) << f;
  jar.fileList.clear();
  prompter.expect(platform::BoxKind::Information, "No errors detected !");
  jar.Run(opTest);
  for (const std::string& f : first) EXPECT_FALSE(platform::PathExists(f)) << f;
  EXPECT_EQ(jar.tempFileList.size(), 4u);
  EXPECT_EQ(jar.commandClass, 3);
}

TEST_F(JarTest, RunRefusesADoubleQuoteBeforeAnythingRuns) {
  const std::string cannot = " cannot contain the character \" (the archiver's command file cannot carry it)";
  struct Case {
    const char* what;
    int operation;
    std::function<void(TJar&, TJarSettings&)> set;
    std::string message;
  };
  const Case cases[] = {
      {"archive", opList, [](TJar& j, TJarSettings&) { j.archiveName = "/tmp/my \"best\".j"; },
       "The archive name" + cannot + ":\n/tmp/my \"best\".j"},
      {"file list entry", opDelete, [](TJar& j, TJarSettings&) { j.fileList = {"a.txt", "say \"hi\".txt"}; },
       "A file name" + cannot + ":\n/src/say \"hi\".txt"},
      {"source folder", opAdd, [](TJar& j, TJarSettings&) { j.sourceFolder = "/my \"src\""; j.fileList = {"a"}; },
       "A file name" + cannot + ":\n/my \"src\"/a"},
      {"output path", opExtract, [](TJar& j, TJarSettings&) { j.SetOutputPath("/out/\"x\""); j.useOutputPath = true; },
       "The output path" + cannot + ":\n/out/\"x\""},
      {"password", opTest, [](TJar& j, TJarSettings& s) { s.password = "pass\"word"; j.usePassword = true; },
       "The password" + cannot + "."},
      {"header recovery password", opRecoverHeader,
       [](TJar& j, TJarSettings& s) { s.password = "pass\"word"; j.usePassword = true; }, "The password" + cannot + "."},
      {"new password", opCopyArchive,
       [](TJar& j, TJarSettings&) { j.SetNewPassword("new\"password"); j.changePassword = true; },
       "The new password" + cannot + "."},
      {"configuration file", opGenerateConfig, [](TJar& j, TJarSettings&) { j.configFileName = "/a\"b/jar.cfg"; },
       "The configuration file name" + cannot + ":\n/a\"b/jar.cfg"},
      {"excluded name", opExtract,
       [](TJar& j, TJarSettings&) { j.excludeList = {"*.\"o\""}; j.useExcludeList = true; },
       "An excluded name" + cannot + ":\n*.\"o\""},
      {"comment file", opAdd,
       [](TJar& j, TJarSettings&) { j.archiveComment = "/c\"d"; j.archiveCommentIsText = false; j.useArchiveComment = true; },
       "The archive comment file name" + cannot + ":\n/c\"d"},
      {"temporary folder", opAdd, [this](TJar& j, TJarSettings&) { j.tempFolder = temp.path() + "/\"tmp\"/"; },
       "The temporary folder" + cannot + ":\n" + temp.path() + "/\"tmp\"/"},
  };
  int started = 0;
  jar.onRunStart = [&](TJar&) { ++started; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TJarSettings caseSettings = settings;
    TJar job(caseSettings, prompter);
    job.SetOwner(&loop);
    job.tempFolder = jar.tempFolder;
    job.archiveName = "/data/a.j";
    job.sourceFolder = "/src";
    job.onRunStart = jar.onRunStart;
    c.set(job, caseSettings);
    prompter.expect(platform::BoxKind::Error, c.message);
    try {
      job.Run(c.operation);
      ADD_FAILURE() << "the run went ahead";
    } catch (const JarFailure& f) {
      EXPECT_EQ(f.text, "");  // reported
    }
    EXPECT_TRUE(job.tempFileList.empty()) << "work files were made";
    prompter.verifyDone();
  }
  EXPECT_EQ(started, 0);

  // A quote in a comment given as text goes into a work file and is fine.
  jar.archiveComment = "say \"hi\"";
  jar.archiveCommentIsText = true;
  jar.useArchiveComment = true;
  jar.archiveName = "/data/a.j";
  EXPECT_THAT(Line(opAdd), HasSubstr(" -z\""));
}
