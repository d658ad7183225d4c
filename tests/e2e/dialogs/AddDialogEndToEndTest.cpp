// Files added through the Add dialog's result by the real jar32.exe, then listed back: browser mode
// with options of every tab, and dropped-files mode.

#include <algorithm>

#include "tests/dialogs/AddDialogFixture.h"

namespace {

const std::string kJar32 = std::string(TAMBER_BIN_DIR) + "/jar32.exe";

struct Rows : JarListSink {
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { names.clear(); }
  void AddRow(const ArchiveEntryRow& row) override { names.push_back(std::string(row.path) + std::string(row.caption)); }
  bool SortingEnabled() const override { return false; }
  void SetSortingEnabled(bool) override {}
  std::vector<std::string> names;
};

struct Comment : JarCommentSink {
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { lines.clear(); }
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// Nothing is to be asked or shown when all goes well.
struct NoDialogs : JarDialogs {
  bool AskPassword() override {
    ADD_FAILURE() << "the password was asked for";
    return false;
  }
  void ShowFile(const std::string& suffix, const std::string& file) override {
    std::string text;
    platform::ReadWholeFile(file, text);
    ADD_FAILURE() << "the archiver's output was shown:" << suffix << "\n" << text;
  }
};

class AddDialogEndToEnd : public AddDialogTest {
 protected:
  AddDialogEndToEnd() {
    config.theJar32Exe = kJar32;
    jar.SetOwner(&loop);
    jar.listView = &rows;
    jar.commentMemo = &comment;
    jar.dialogs = &dialogs;
    std::filesystem::create_directories(tree() + "/docs/sub");
    Write(tree() + "/docs/sub/deep.txt", "deep\n");
    Write(tree() + "/docs/skip.bak", "skip\n");
  }

  void RunAndList(int operation, const std::string& archive) {
    jar.archiveName = archive;
    jar.Run(operation);
    jar.ResetOptions();
    jar.archiveName = archive;
    jar.Run(opList);
  }
  bool Listed(const std::string& name) const {
    return std::find(rows.names.begin(), rows.names.end(), name) != rows.names.end();
  }

  platform::QueueRunEventLoop loop;
  Rows rows;
  Comment comment;
  NoDialogs dialogs;
};

}  // namespace

TEST_F(AddDialogEndToEnd, BrowserModeAddsTheSelectionWithTheChosenOptions) {
  const std::string archive = temp.path() + "/browsed.j";
  jar.ResetOptions();
  EXPECT_FALSE(Browse([&] {
    WaitForNames({"docs", "readme.txt"});
    Browser()->SelectName("docs");
    Browser()->SelectName("readme.txt");
    Box("CB_RecurseFolders")->click();
    Combo("CO_Compression")->setCurrentIndex(0);
    Edit("CO_Password")->setText("end-to-end");
    Box("CB_Password")->click();
    Box("CB_ExcludeFiles")->click();
    Memo("ME_ExcludeFiles")->setPlainText("*.bak");
    Box("CB_ArchiveComments")->click();
    Memo("ME_ArchiveComments")->setPlainText("Added through the dialog.\nSecond line.");
    Box("CB_CreateFileList")->click();
    Field("DE_CreateFileList")->setText(QString::fromStdString(temp.path() + "/processed.txt"));
    Box("CB_WorkDir")->click();
    Field("DE_WorkDirectory")->setText(QString::fromStdString(work()));
  }));
  RunAndList(dialog.operation(), archive);

  EXPECT_TRUE(Listed("\\readme.txt"));
  EXPECT_TRUE(Listed("docs\\guide.txt"));
  EXPECT_TRUE(Listed("docs\\sub\\deep.txt"));
  EXPECT_FALSE(Listed("docs\\skip.bak"));
  EXPECT_NE(jar.archiveFlags.find("PROTECTED"), std::string::npos) << jar.archiveFlags;
  EXPECT_EQ(comment.lines, (std::vector<std::string>{"Added through the dialog.", "Second line."}));
  std::string processed;
  ASSERT_TRUE(platform::ReadWholeFile(temp.path() + "/processed.txt", processed));
  EXPECT_NE(processed.find("readme.txt"), std::string::npos) << processed;

  // Freshen from the same dialog: only a changed file is taken again, nothing new is added.
  Write(tree() + "/readme.txt", "read me again\n");
  std::filesystem::last_write_time(tree() + "/readme.txt",
                                   std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
  Write(tree() + "/new.txt", "new\n");
  jar.ResetOptions();
  EXPECT_FALSE(Browse([&] {
    WaitForNames({"new.txt", "readme.txt"});
    Combo("CO_Action")->setCurrentIndex(2);
    Browser()->SelectName("new.txt");
    Browser()->SelectName("readme.txt");
  }));
  EXPECT_EQ(dialog.operation(), opFreshen);
  RunAndList(dialog.operation(), archive);
  EXPECT_TRUE(Listed("\\readme.txt"));
  EXPECT_FALSE(Listed("\\new.txt"));
}

TEST_F(AddDialogEndToEnd, DroppedModeAddsTheDroppedNames) {
  const std::string archive = temp.path() + "/dropped.j";
  jar.ResetOptions();
  EXPECT_FALSE(Drop({tree() + "/notes.txt", tree() + "/docs"}, archive, [&] {
    Box("CB_RecurseFolders")->click();
  }));
  EXPECT_EQ(dialog.targetArchive(), archive);
  RunAndList(dialog.operation(), dialog.targetArchive());
  const auto endsWith = [&](const std::string& tail) {
    return std::any_of(rows.names.begin(), rows.names.end(), [&](const std::string& n) { return n.ends_with(tail); });
  };
  EXPECT_TRUE(endsWith("tree\\notes.txt"));
  EXPECT_TRUE(endsWith("tree\\docs\\guide.txt"));
  EXPECT_TRUE(endsWith("tree\\docs\\sub\\deep.txt"));
}
