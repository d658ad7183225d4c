// The Add dialog's file browser: up one level and the top, the drive box, (de)select all, the view
// styles, entering folders, and folders or names that do not behave.

#include <QListView>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "tests/dialogs/AddDialogFixture.h"

using platform::BoxKind;

namespace {

// A double click as the window system delivers it: press, release, then the second press as a
// double-click event.
void DoubleClick(QAbstractItemView* view, const QModelIndex& index) {
  const QPointF at = view->visualRect(index).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at.toPoint());
  QMouseEvent second(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &second);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at.toPoint());
}

QModelIndex ItemNamed(QAbstractItemView* view, const QString& name) {
  const QModelIndex root = view->rootIndex();
  for (int row = 0; row < view->model()->rowCount(root); ++row) {
    const QModelIndex index = view->model()->index(row, 0, root);
    if (index.data().toString() == name) return index;
  }
  return {};
}

}  // namespace

TEST_F(AddDialogTest, UpOneLevelGoesToTheParentAndStopsAtTheTop) {
  Browse([&] {
    auto* up = Find<QToolButton>("SpeedButton5");
    up->click();
    EXPECT_EQ(Browser()->Folder().toStdString(), temp.path());
    EXPECT_EQ(Edit("Edit2")->text().toStdString(), temp.path());
    Browser()->SetFolder("/");
    prompter.expect(BoxKind::Error, "You cannot go a level higher !");
    up->click();
    EXPECT_EQ(Browser()->Folder(), "/");
    prompter.verifyDone();
    // Backspace in the list goes up as well.
    Browser()->SetFolder(QString::fromStdString(tree() + "/docs"));
    QTest::keyClick(Browser()->view(), Qt::Key_Backspace);
    EXPECT_EQ(Browser()->Folder().toStdString(), tree());
  }, false);
  EXPECT_EQ(dialog.currentFolder(), tree());
}

TEST_F(AddDialogTest, UpFromAVanishedFolderGoesToTheNearestOneLeft) {
  std::filesystem::create_directories(tree() + "/a/b/c");
  Browse([&] {
    Browser()->SetFolder(QString::fromStdString(tree() + "/a/b/c"));
    std::filesystem::remove_all(tree() + "/a");
    Find<QToolButton>("SpeedButton5")->click();
    EXPECT_EQ(Browser()->Folder().toStdString(), tree());
  }, false);
}

TEST_F(AddDialogTest, AStartFolderThatIsGoneOpensTheCurrentDirectory) {
  Browse([&] { EXPECT_EQ(Browser()->Folder(), QDir::currentPath()); }, false, temp.path() + "/gone");
}

TEST_F(AddDialogTest, DoubleClickOrAltDownEntersAFolder) {
  Browse([&] {
    WaitForNames({"docs", "readme.txt"});
    auto* list = Find<QListView>("FilesListView1List");
    const QModelIndex file = ItemNamed(list, "readme.txt");
    DoubleClick(list, file);
    EXPECT_EQ(Browser()->Folder().toStdString(), tree());
    const QModelIndex docs = ItemNamed(list, "docs");
    DoubleClick(list, docs);
    EXPECT_EQ(Browser()->Folder().toStdString(), tree() + "/docs");
    Find<QToolButton>("SpeedButton5")->click();
    WaitForNames({"empty"});
    list->setCurrentIndex(ItemNamed(list, "empty"));
    QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(Browser()->Folder().toStdString(), tree() + "/empty");
  }, false);
}

TEST_F(AddDialogTest, SelectAllTogglesBetweenAllAndNone) {
  Browse([&] {
    WaitForNames({"docs", "empty", "notes.txt", "readme.txt"});
    auto* toggle = Find<QToolButton>("SpeedButton6");
    Browser()->SelectName("notes.txt");
    toggle->click();
    EXPECT_EQ(Browser()->SelectedNames(), (QStringList{"docs", "empty", "notes.txt", "readme.txt"}));
    EXPECT_TRUE(toggle->isChecked());
    toggle->click();
    EXPECT_TRUE(Browser()->SelectedNames().isEmpty());
    EXPECT_FALSE(toggle->isChecked());
    toggle->click();
  });
  EXPECT_EQ(jar.fileList, (std::vector<std::string>{"docs\\*", "empty\\*", "notes.txt", "readme.txt"}));
  // The next Add starts with nothing selected and the toggle up.
  Browse([&] {
    EXPECT_TRUE(Browser()->SelectedNames().isEmpty());
    EXPECT_FALSE(Find<QToolButton>("SpeedButton6")->isChecked());
  }, false);
}

TEST_F(AddDialogTest, TheFourViewStylesShowTheSameItems) {
  Browse([&] {
    WaitForNames({"readme.txt"});
    auto* list = Find<QListView>("FilesListView1List");
    auto* details = Find<QTreeView>("FilesListView1Details");
    EXPECT_TRUE(Find<QToolButton>("SpeedButton3")->isChecked());
    EXPECT_EQ(list->viewMode(), QListView::ListMode);
    Find<QToolButton>("SpeedButton1")->click();
    EXPECT_EQ(Browser()->viewStyle(), adddialog::ViewStyle::LargeIcons);
    EXPECT_EQ(list->viewMode(), QListView::IconMode);
    Find<QToolButton>("SpeedButton2")->click();
    EXPECT_EQ(Browser()->viewStyle(), adddialog::ViewStyle::SmallIcons);
    Browser()->SelectName("readme.txt");
    Find<QToolButton>("SpeedButton4")->click();
    EXPECT_EQ(Browser()->viewStyle(), adddialog::ViewStyle::Details);
    EXPECT_TRUE(details->isVisible());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(Browser()->SelectedNames(), QStringList{"readme.txt"});  // one selection for all styles
    EXPECT_FALSE(Find<QToolButton>("SpeedButton3")->isChecked());
  });
  EXPECT_EQ(jar.fileList, std::vector<std::string>{"readme.txt"});
}

TEST_F(AddDialogTest, TheDriveBoxMovesToAVolumeRootAndFollowsTheFolder) {
  const std::string volume = temp.path() + "/volume";
  const std::string gone = temp.path() + "/unplugged";
  std::filesystem::create_directories(volume + "/inner");
  Browse([&] {
    auto* drives = Find<DriveBox>("RzDriveComboBox1");
    drives->SetVolumes({{"/", "/"}, {volume, "Stick"}, {gone, "Gone"}});
    Browser()->SetFolder(QString::fromStdString(volume + "/inner"));
    EXPECT_EQ(drives->rootPath(), volume);
    EXPECT_EQ(drives->currentText().toStdString(), volume + " [Stick]");
    drives->setCurrentIndex(0);
    emit drives->activated(0);
    EXPECT_EQ(Browser()->Folder(), "/");
    EXPECT_EQ(Edit("Edit2")->text(), "/");
    // A volume that went away: "error", and the browser stays where it was.
    drives->setCurrentIndex(2);
    prompter.expect(testsupport::PlainBox, "error");
    emit drives->activated(2);
    EXPECT_EQ(Browser()->Folder(), "/");
    EXPECT_EQ(drives->rootPath(), "/");
  }, false);
}

TEST_F(AddDialogTest, ANameThatIsNoTextLeavesTheRestOfTheFolderUsable) {
  Write(tree() + "/bad-\xff\xfe-name.txt", "bytes\n");
  Browse([&] {
    WaitForNames({"docs", "empty", "notes.txt", "readme.txt"});
    Find<QToolButton>("SpeedButton6")->click();
  });
  EXPECT_GE(jar.fileList.size(), 4u);
  EXPECT_EQ(jar.fileList.front(), "docs\\*");
}
