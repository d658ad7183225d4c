// The job driving the real jar32.exe on real files: every operation's argument line is accepted,
// listings come back as rows, passwords are asked for, tests and cancels are reported.

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "driver/TJarExec_unit.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

using platform::BoxKind;
using platform::ButtonYes;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace fs = std::filesystem;

namespace {

const std::string kJar32 = std::string(TAMBER_BIN_DIR) + "/jar32.exe";

struct Rows : JarListSink {
  void BeginUpdate() override { ++updates; }
  void EndUpdate() override {}
  void Clear() override { rows.clear(); }
  void AddRow(const ArchiveEntryRow& r) override {
    rows.push_back({std::string(r.path) + std::string(r.caption), std::string(r.size), std::string(r.attributes),
                    std::string(r.chapters), std::string(r.modified), r.imageIndex});
  }
  bool SortingEnabled() const override { return sorting; }
  void SetSortingEnabled(bool on) override { sorting = on; }
  struct Row {
    std::string name, size, attributes, chapters, modified;
    int image;
  };
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Row& r : rows) names.push_back(r.name);
    return names;
  }
  std::vector<Row> rows;
  int updates = 0;
  bool sorting = true;
};

struct Memo : JarCommentSink {
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { lines.clear(); }
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

struct Bar : JarProgressSink {
  void SetMaximum(int64_t m) override { maximum = std::min<int64_t>(m, INT32_MAX); }
  int64_t Maximum() const override { return maximum; }
  void SetPosition(int64_t p) override { position = p; }
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  int64_t maximum = 100, position = 0;
  bool visible = false;
};

struct Dialogs : JarDialogs {
  bool AskPassword() override {
    ++asked;
    if (!answer.empty()) settings->password = answer;
    return !answer.empty();
  }
  void ShowFile(const std::string& suffix, const std::string& file) override { shown.push_back(suffix + " " + file); }
  TJarSettings* settings = nullptr;
  std::string answer;
  int asked = 0;
  std::vector<std::string> shown;
};

std::string Slurp(const std::string& path) {
  std::string text;
  platform::ReadWholeFile(path, text);
  return text;
}

class DriverE2E : public ::testing::Test {
 protected:
  DriverE2E() {
    fs::create_directories(work());
    settings.theJar32Exe = kJar32;
    jar.tempFolder = work() + "/";
    jar.SetOwner(&loop);
    jar.listView = &rows;
    jar.commentMemo = &memo;
    jar.progressBar = &bar;
    jar.dialogs = &dialogs;
    dialogs.settings = &settings;
    // A small tree: nested folders, an empty file, an empty folder, blanks and non-ASCII names.
    fs::create_directories(src() + "/docs/sub");
    fs::create_directories(src() + "/empty");
    Write(src() + "/readme.txt", "read me\n");
    Write(src() + "/docs/guide.txt", std::string(5000, 'g'));
    Write(src() + "/docs/sub/n\xC3\xA4me with blanks.txt", "x");
    Write(src() + "/zero.bin", "");
  }

  std::string work() const { return temp.path() + "/work"; }
  std::string src() const { return temp.path() + "/src"; }
  std::string archive() const { return temp.path() + "/test.j"; }
  static void Write(const std::string& path, const std::string& data) { ASSERT_TRUE(platform::WriteWholeFile(path, data)); }

  // jar32.exe straight from a shell, to prepare archives the way a person would.
  int Jar(const std::string& arguments, const std::string& folder = "") {
    std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + "'" + kJar32 + "' " + arguments +
                          " >'" + temp.path() + "/jar.out' 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Adds the source tree through the job, as the Add dialog does.
  void AddThroughTheJob(int operation = opAdd) {
    jar.ResetOptions();
    jar.archiveName = archive();
    jar.sourceFolder = src();
    jar.fileList = {"readme.txt", "docs", "empty", "zero.bin"};
    jar.Run(operation);
  }

  void List() {
    jar.ResetOptions();
    jar.archiveName = archive();
    jar.Run(opList);
  }

  TempFolder temp;
  TJarSettings settings;
  testsupport::ScriptedPrompter prompter;
  platform::QueueRunEventLoop loop;
  TJar jar{settings, prompter};
  Rows rows;
  Memo memo;
  Bar bar;
  Dialogs dialogs;
};

}  // namespace

TEST_F(DriverE2E, AddedTreeListsBackAsRows) {
  AddThroughTheJob();
  List();
  EXPECT_THAT(rows.Names(), UnorderedElementsAreArray(std::vector<std::string>{
                                "\\readme.txt", "\\docs\\", "\\empty\\", "\\zero.bin", "docs\\guide.txt",
                                "docs\\sub\\", "docs\\sub\\n\xC3\xA4me with blanks.txt"}));
  for (const auto& r : rows.rows) {
    EXPECT_EQ(r.modified.size(), 19u) << r.name;
    EXPECT_EQ(r.attributes.size(), 4u) << r.name;
    EXPECT_EQ(r.chapters, "1") << r.name;  // one chapter: taken from the header line
    EXPECT_EQ(r.image, r.name.back() == '\\' ? 1 : 0) << r.name;
    if (r.name == "docs\\guide.txt") {
      EXPECT_EQ(r.size, "5000");
    }
  }
  EXPECT_EQ(jar.totalFiles, " 7");
  EXPECT_EQ(jar.totalBytes, "5,009");
  EXPECT_EQ(jar.createdDate.size(), 19u);
  EXPECT_EQ(jar.modifiedDate.size(), 19u);
  EXPECT_EQ(jar.archiveFlags, "");
  EXPECT_FALSE(jar.hasComment);
  EXPECT_TRUE(rows.sorting);  // put back after the parse
  EXPECT_FALSE(bar.visible);
}

TEST_F(DriverE2E, ChaptersFlagsAndCommentComeBack) {
  AddThroughTheJob();
  Write(src() + "/docs/guide.txt", std::string(6000, 'h'));
  jar.ResetOptions();
  jar.archiveName = archive();
  jar.sourceFolder = src();
  jar.fileList = {"readme.txt", "docs"};
  jar.archiveCommentIsText = true;
  jar.SetArchiveComment("Weekly backup.\r\nSecond line.");
  jar.useArchiveComment = true;
  jar.lockMode = 0;
  jar.Run(opAddChapter);

  List();
  EXPECT_EQ(jar.archiveFlags, "LOCKED");
  EXPECT_THAT(memo.lines, ElementsAre("Weekly backup.", "Second line."));
  EXPECT_TRUE(jar.hasComment);
  EXPECT_EQ(jar.currentChapters, " 1-2");
  std::map<std::string, std::vector<std::string>> chapters;
  for (const auto& r : rows.rows) chapters[r.name].push_back(r.chapters);
  EXPECT_THAT(chapters["docs\\guide.txt"], UnorderedElementsAreArray({"<1-1>", "<2-2>"}));
  EXPECT_THAT(chapters["\\readme.txt"], ElementsAre("<1-2>"));
  EXPECT_THAT(chapters["\\zero.bin"], ElementsAre("<1-1>"));
}

TEST_F(DriverE2E, EveryOperationsLineIsAccepted) {
  AddThroughTheJob();
  Write(src() + "/readme.txt", "changed\n");
  fs::last_write_time(src() + "/readme.txt", fs::file_time_type::clock::now() + std::chrono::seconds(5));
  AddThroughTheJob(opUpdate);
  AddThroughTheJob(opFreshen);
  AddThroughTheJob(opAddChapter);

  jar.ResetOptions();
  jar.archiveName = archive();
  jar.useChapterRange = true;
  jar.SetChapterFrom(2);
  jar.Run(opDeleteChapters);

  const std::string out = temp.path() + "/out";
  fs::create_directory(out);
  for (int op : {opExtract, opExtractWithFolders}) {
    jar.ResetOptions();
    jar.archiveName = archive();
    jar.fileList = {"\\readme.txt", "docs\\guide.txt"};
    jar.makeNamesAbsolute = false;
    jar.SetOutputPath(out);
    jar.useOutputPath = true;
    jar.Run(op);
  }
  EXPECT_EQ(Slurp(out + "/readme.txt"), "changed\n");
  EXPECT_EQ(Slurp(out + "/docs/guide.txt"), std::string(5000, 'g'));

  jar.ResetOptions();
  jar.archiveName = archive();
  jar.fileList = {"\\zero.bin"};
  jar.makeNamesAbsolute = false;
  jar.Run(opDelete);
  jar.fileList = {"docs\\sub\\*"};
  jar.Run(opDeleteAllChapters);

  jar.ResetOptions();
  jar.archiveName = archive();
  jar.SetOutputPath(temp.path() + "/copy.j");
  jar.useOutputPath = true;
  jar.Run(opCopyArchive);

  prompter.expect(BoxKind::Information, "No errors detected !");
  jar.ResetOptions();
  jar.archiveName = temp.path() + "/copy.j";
  jar.Run(opTest);

  List();
  EXPECT_THAT(rows.Names(), UnorderedElementsAreArray(std::vector<std::string>{
                                "\\readme.txt", "\\docs\\", "\\empty\\", "docs\\guide.txt"}));

  jar.ResetOptions();
  jar.archiveName = archive();
  jar.sourceFolder = src();
  jar.fileList = {"readme.txt"};
  jar.Run(opMove);
  EXPECT_FALSE(fs::exists(src() + "/readme.txt"));

  jar.configFileName = temp.path() + "/generated.cfg";
  jar.Run(opGenerateConfig);
  EXPECT_TRUE(fs::exists(temp.path() + "/generated.cfg"));

  jar.ResetOptions();
  jar.configFileName = archive();
  jar.fromCurrentFolder = true;
  jar.sourceFolder = temp.path();
  jar.Run(opRecoverHeader);
  EXPECT_TRUE(fs::exists(temp.path() + "/$recover.j"));
}

TEST_F(DriverE2E, EmptyArchiveListsAsZeroes) {
  AddThroughTheJob();
  ASSERT_EQ(Jar("da '" + archive() + "' -y '*'"), 0) << Slurp(temp.path() + "/jar.out");
  List();
  EXPECT_TRUE(rows.rows.empty());
  EXPECT_EQ(jar.totalFiles, "0");
  EXPECT_EQ(jar.totalBytes, "0");
  EXPECT_EQ(jar.dataRatio, "0");
}

TEST_F(DriverE2E, HiddenProtectedArchiveAsksForThePasswordAndListsAgain) {
  ASSERT_EQ(Jar("a '" + archive() + "' -gsecret12 -jx -r -y readme.txt docs", src()), 0)
      << Slurp(temp.path() + "/jar.out");
  dialogs.answer = "secret12";
  List();  // -g- first: the archiver says the password is missing; the job asks and lists again
  EXPECT_EQ(dialogs.asked, 1);
  EXPECT_EQ(settings.password, "secret12");
  EXPECT_TRUE(jar.usePassword);
  EXPECT_THAT(jar.archiveFlags, ::testing::HasSubstr("HIDDEN"));
  EXPECT_THAT(rows.Names(), UnorderedElementsAreArray(std::vector<std::string>{
                                "\\readme.txt", "\\docs\\", "docs\\guide.txt", "docs\\sub\\",
                                "docs\\sub\\n\xC3\xA4me with blanks.txt"}));
  EXPECT_FALSE(fs::exists(jar.argumentsFile));  // it held the password

  // A wrong password: told so, asked again; cancelling ends the listing as a failure.
  settings.password = "wrongpass";
  dialogs.answer.clear();
  prompter.expect(BoxKind::Error, "Incorrect password, please specify (again) or cancel.");
  EXPECT_THROW(List(), JarFailure);
  EXPECT_EQ(dialogs.asked, 2);
}

TEST_F(DriverE2E, TestReportsNoErrorsAndDamageAsACrcError) {
  AddThroughTheJob();
  prompter.expect(BoxKind::Information, "No errors detected !");
  jar.ResetOptions();
  jar.archiveName = archive();
  jar.Run(opTest);

  // Damage one byte in the middle of the stored data.
  std::string bytes = Slurp(archive());
  bytes[bytes.size() / 2] ^= 0x55;
  Write(archive(), bytes);
  prompter.expect(BoxKind::Error, "CRC error!\nDo you want to see the Jar32 output ?", platform::ButtonNo);
  jar.Run(opTest);  // reported, not thrown
  EXPECT_EQ(jar.exitCode, 3);
}

TEST_F(DriverE2E, MissingConfigurationWarnsAndStillLists) {
  AddThroughTheJob();
  const std::string bare = temp.path() + "/bare";
  fs::create_directory(bare);
  fs::copy_file(kJar32, bare + "/jar32.exe");
  settings.theJar32Exe = bare + "/jar32.exe";
  prompter.expect(BoxKind::Error, "Jar configuration file: \"" + bare + "/jar.cfg\" not found, use \"Generate Jar.cfg\" to make one!");
  List();
  EXPECT_EQ(rows.rows.size(), 7u);
}

TEST_F(DriverE2E, CancelledAddLeavesTheArchiveAsItWas) {
  AddThroughTheJob();
  const std::string before = Slurp(archive());
  // Enough data that the add takes a while.
  fs::create_directories(src() + "/big");
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (int i = 0; i < 48; ++i) {
    block[0] = static_cast<char>(i);
    Write(src() + "/big/f" + std::to_string(i), block + std::to_string(i));
  }
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes);
  prompter.expect(BoxKind::Error, "Operation terminated");
  // The cancel is the first event the run handles, whether or not the archiver has started yet.
  jar.onRunStart = [this](TJar&) { loop.Post([this] { jar.CancelRun(); }); };
  jar.ResetOptions();
  jar.archiveName = archive();
  jar.sourceFolder = src();
  jar.compressionMethod = 4;
  jar.fileList = {"big"};
  EXPECT_THROW(jar.Run(opAdd), JarFailure);
  EXPECT_EQ(jar.exitCode, 13);
  EXPECT_EQ(Slurp(archive()), before);
  for (const auto& entry : fs::directory_iterator(temp.path()))
    EXPECT_THAT(entry.path().filename().string(), ::testing::Not(::testing::HasSubstr("tmp"))) << "stray file";
}

TEST_F(DriverE2E, ADoubleQuoteStopsTheRunBeforeTheArchiverSeesIt) {
  const std::string quoted = temp.path() + "/my \"best\".j";
  jar.ResetOptions();
  jar.archiveName = quoted;
  jar.sourceFolder = src();
  jar.fileList = {"readme.txt"};
  prompter.expect(BoxKind::Error, "The archive name cannot contain the character \" (the archiver's command file "
                                  "cannot carry it):\n" + quoted);
  EXPECT_THROW(jar.Run(opAdd), JarFailure);
  for (const auto& entry : fs::directory_iterator(temp.path()))
    EXPECT_NE(entry.path().extension(), ".j") << entry.path();  // neither that archive nor another
}

TEST_F(DriverE2E, ASignedSetOfVolumesListsWithItsSignature) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", (temp.path() + "/config").c_str(), 1);
  std::string noise(800000, '\0');
  uint32_t x = 2463534242u;
  for (char& c : noise) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = char(x);
  }
  Write(src() + "/noise.bin", noise);
  jar.ResetOptions();
  jar.archiveName = archive();
  jar.sourceFolder = src();
  jar.fileList = {"readme.txt", "noise.bin"};
  jar.multiVolume = true;
  jar.volumeSize = "360";
  jar.volumeFlags = TJar::kVolumeInhibit;
  jar.addSecurityEnvelope = true;
  jar.Run(opAdd);
  EXPECT_TRUE(fs::exists(archive() + "01"));
  List();
  EXPECT_EQ(jar.archiveFlags, "SECURED");
  EXPECT_NE(jar.securitySignature.find(", key "), std::string::npos) << jar.securitySignature;
  EXPECT_EQ(jar.securitySignature.find("trusted"), std::string::npos) << jar.securitySignature;
  EXPECT_THAT(rows.Names(), UnorderedElementsAreArray(std::vector<std::string>{"\\readme.txt", "\\noise.bin"}));
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}
