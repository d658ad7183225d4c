// Copying, moving, renaming and deleting the archive file from the File menu.

#include <sys/resource.h>

#include <QInputDialog>
#include <csignal>
#include <cstring>

#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;
using V = std::vector<std::string>;

namespace {

class FileCommandsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    NotTheFirstRun();
    archive = MakeDemoArchive();
    ASSERT_TRUE(platform::ReadWholeFile(archive, bytes));
    other = home.path() + "/other";
    std::filesystem::create_directories(other);
    Start();
    ASSERT_TRUE(window->OpenArchive(archive, true));
  }
  void AnswerRename(const QString& text) {
    OnNextModal<QInputDialog>([text](QInputDialog& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Tamber 2.2 - Rename Archive");
      EXPECT_EQ(dialog.labelText(), "Give new name for: \"demo.j\"");
      EXPECT_EQ(dialog.textValue(), "demo.j");
      dialog.setTextValue(text);
      dialog.accept();
    });
  }
  std::string archive, bytes, other;
};

}  // namespace

TEST_F(FileCommandsTest, CopyPutsACopyInTheChosenFolderUnderAFreeName) {
  chooser.answer(other);
  Action("Mainmenu_CopyArchive")->trigger();
  EXPECT_EQ(chooser.calls().back().kind, "folder");
  EXPECT_EQ(chooser.calls().back().start, files());
  EXPECT_EQ(chooser.calls().back().filter, "create") << "the picker may make a folder";
  EXPECT_EQ(Content(other + "/demo.j"), bytes);

  chooser.answer(other);
  Action("Mainmenu_CopyArchive")->trigger();
  EXPECT_EQ(Content(other + "/demo (2).j"), bytes);
  EXPECT_EQ(window->config().currentArchive, archive) << "the copy is not opened";

  chooser.cancel();
  Action("Mainmenu_CopyArchive")->trigger();
  chooser.answer(home.path() + "/no such folder");
  Action("Mainmenu_CopyArchive")->trigger();
  EXPECT_FALSE(platform::PathExists(home.path() + "/no such folder"));
}

TEST_F(FileCommandsTest, ACopyThatCannotBeWrittenSaysWhyAndLeavesNothingBehind) {
  // The process may write no file beyond a few bytes: the copy fails as on a full disk.
  struct rlimit before;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit small = before;
  small.rlim_cur = 64;
  auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  chooser.answer(other);
  prompter.expect(BoxKind::Error,
                  "Cannot copy \"" + archive + "\" to \"" + other + "/demo.j\":\n" + std::strerror(EFBIG));
  Action("Mainmenu_CopyArchive")->trigger();
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  prompter.verifyDone();
  EXPECT_TRUE(std::filesystem::is_empty(other)) << "no half file, no temporary";
  EXPECT_EQ(Content(archive), bytes);
}

TEST_F(FileCommandsTest, MoveFollowsTheArchiveOrClosesItWhenItGotAnotherName) {
  chooser.answer(other);
  Action("Mainmenu_MoveArchive")->trigger();
  const std::string moved = other + "/demo.j";
  EXPECT_FALSE(platform::FileExists(archive));
  EXPECT_EQ(Content(moved), bytes);
  EXPECT_EQ(window->config().currentArchive, moved);
  EXPECT_EQ(window->windowTitle().toStdString(), "Tamber 2.23 - " + moved);
  EXPECT_EQ(window->recentArchives().entries(), (V{moved, archive}));
  EXPECT_EQ(window->config().theStartupFolder, other + "/");

  // Back where a file of that name now exists: the moved file gets another name and is closed.
  Write(archive, "in the way");
  chooser.answer(files());
  Action("Mainmenu_MoveArchive")->trigger();
  EXPECT_EQ(Content(files() + "/demo (2).j"), bytes);
  EXPECT_EQ(Content(archive), "in the way");
  EXPECT_EQ(window->config().currentArchive, "");
  EXPECT_EQ(window->RowCount(), 0);
  EXPECT_FALSE(platform::FileExists(moved));
}

TEST_F(FileCommandsTest, RenameGivesANameInTheSameFolder) {
  AnswerRename("renamed");
  Action("Mainmenu_RenameArchive")->trigger();
  const std::string renamed = files() + "/renamed.j";
  EXPECT_EQ(Content(renamed), bytes);
  EXPECT_FALSE(platform::FileExists(archive));
  EXPECT_EQ(window->config().currentArchive, renamed);
  EXPECT_EQ(window->recentArchives().entries(), (V{renamed, archive})) << "the old name stays too";

  // Quotes go, a folder typed in the answer is ignored, an extension is kept.
  OnNextModal<QInputDialog>([](QInputDialog& dialog) {
    dialog.setTextValue("\"/somewhere/else/final.arc\"");
    dialog.accept();
  });
  Action("Mainmenu_RenameArchive")->trigger();
  EXPECT_EQ(window->config().currentArchive, files() + "/final.arc");
  EXPECT_TRUE(platform::FileExists(files() + "/final.arc"));
}

TEST_F(FileCommandsTest, RenameRefusesATakenNameAndIgnoresEmptyAnswers) {
  Write(files() + "/taken.j", "x");
  AnswerRename("taken");
  prompter.expect(BoxKind::Error, "File: \"" + files() + "/taken.j\" already exists !");
  Action("Mainmenu_RenameArchive")->trigger();
  EXPECT_EQ(window->config().currentArchive, archive);
  for (const char* answer : {"", "\"\"", "dir/"}) {
    AnswerRename(answer);
    Action("Mainmenu_RenameArchive")->trigger();
    EXPECT_EQ(window->config().currentArchive, archive) << answer;
  }
  OnNextModal<QInputDialog>([](QInputDialog& dialog) { dialog.reject(); });
  Action("Mainmenu_RenameArchive")->trigger();
  EXPECT_EQ(Content(archive), bytes);
}

TEST_F(FileCommandsTest, RenamingANewArchiveOnlyChangesItsName) {
  prompter.expect(BoxKind::Confirmation,
                  "Archive: \"" + files() + "/draft.j\" does not exist!\nDo you want to make a new archive with this name ?",
                  ButtonYes);
  ASSERT_TRUE(window->OpenArchive(files() + "/draft.j", false));
  OnNextModal<QInputDialog>([](QInputDialog& dialog) {
    dialog.setTextValue("final");
    dialog.accept();
  });
  Action("Mainmenu_RenameArchive")->trigger();
  EXPECT_EQ(window->config().currentArchive, files() + "/final.j");
  EXPECT_FALSE(platform::PathExists(files() + "/final.j"));
}

TEST_F(FileCommandsTest, DeleteMovesTheArchiveToTheTrashAfterAsking) {
  const std::string question = "Do you really want to remove archive: \"" + archive + "\" ?";
  prompter.expect(BoxKind::Confirmation, question, ButtonNo, ButtonYes | ButtonNo);
  Action("Mainmenu_DeleteArchive")->trigger();
  EXPECT_TRUE(platform::FileExists(archive));
  EXPECT_EQ(window->config().currentArchive, archive);

  prompter.expect(BoxKind::Confirmation, question, ButtonYes, ButtonYes | ButtonNo);
  Action("Mainmenu_DeleteArchive")->trigger();
  EXPECT_FALSE(platform::FileExists(archive));
  const std::string trash = home.path() + "/data/Trash";
  EXPECT_EQ(Content(trash + "/files/demo.j"), bytes);
  EXPECT_NE(Content(trash + "/info/demo.j.trashinfo").find("Path=" + archive), std::string::npos);
  EXPECT_EQ(window->config().currentArchive, "");
  EXPECT_EQ(window->RowCount(), 0);
  // Nothing left to delete.
  Action("Mainmenu_DeleteArchive")->trigger();
}

// A volume set (set.j, set.j01, set.j02) goes whole: copied, renamed, moved and deleted, each volume
// under the first volume's new name, and the archiver still reads it.
TEST_F(FileCommandsTest, AVolumeSetIsCopiedRenamedMovedAndDeletedWhole) {
  const std::string src = home.path() + "/src";
  Write(src + "/photo.jpg", Noise(900000, 5));
  const std::string set = files() + "/set.j";
  ASSERT_EQ(Jar("a '" + set + "' -v360 photo.jpg", src), 0);
  ASSERT_TRUE(platform::FileExists(set + "02"));
  std::vector<std::string> volumes;
  for (const char* suffix : {"", "01", "02"}) volumes.push_back(Content(set + suffix));
  ASSERT_TRUE(window->OpenArchive(set, false));
  auto expectSet = [&](const std::string& first) {
    for (size_t i = 0; i < volumes.size(); ++i) {
      const std::string name = first + (i == 0 ? "" : "0" + std::to_string(i));
      EXPECT_TRUE(Content(name) == volumes[i]) << name;
    }
    EXPECT_FALSE(platform::PathExists(first + "03"));
    EXPECT_EQ(Jar("t '" + first + "'", files()), 0) << first;
  };

  // Copied twice into a folder where a stray file stands in a later volume's place.
  Write(other + "/set.j02", "stray");
  chooser.answer(other);
  Action("Mainmenu_CopyArchive")->trigger();
  expectSet(other + "/set (2).j");
  EXPECT_FALSE(platform::PathExists(other + "/set.j"));
  EXPECT_EQ(Content(other + "/set.j02"), "stray");
  chooser.answer(other);
  Action("Mainmenu_CopyArchive")->trigger();
  expectSet(other + "/set (3).j");

  // Renamed: refused while a volume's new name is taken.
  Write(files() + "/album.j01", "taken");
  OnNextModal<QInputDialog>([](QInputDialog& dialog) {
    dialog.setTextValue("album");
    dialog.accept();
  });
  prompter.expect(BoxKind::Error, "File: \"" + files() + "/album.j01\" already exists !");
  Action("Mainmenu_RenameArchive")->trigger();
  prompter.verifyDone();
  expectSet(set);
  OnNextModal<QInputDialog>([](QInputDialog& dialog) {
    dialog.setTextValue("holiday");
    dialog.accept();
  });
  Action("Mainmenu_RenameArchive")->trigger();
  const std::string holiday = files() + "/holiday.j";
  expectSet(holiday);
  EXPECT_FALSE(platform::PathExists(set + "01"));
  EXPECT_EQ(window->config().currentArchive, holiday);

  const std::string away = home.path() + "/away";
  std::filesystem::create_directories(away);
  chooser.answer(away);
  Action("Mainmenu_MoveArchive")->trigger();
  expectSet(away + "/holiday.j");
  EXPECT_FALSE(platform::PathExists(holiday + "01"));
  EXPECT_EQ(window->config().currentArchive, away + "/holiday.j");
  ASSERT_TRUE(window->OpenArchive(away + "/holiday.j", false));
  EXPECT_EQ(window->RowCount(), 1);

  prompter.expect(BoxKind::Confirmation, "Do you really want to remove archive: \"" + away + "/holiday.j\" ?",
                  ButtonYes, ButtonYes | ButtonNo);
  Action("Mainmenu_DeleteArchive")->trigger();
  EXPECT_TRUE(std::filesystem::is_empty(away)) << "no volume left behind";
  EXPECT_TRUE(Content(home.path() + "/data/Trash/files/holiday.j02") == volumes[2]);
}
