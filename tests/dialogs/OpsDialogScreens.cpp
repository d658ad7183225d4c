// Pictures of every tab of the Extract, Delete and Copy dialogs at the default font and at 1.5
// times its size, for a person to look at: written only when TAMBER_SCREENSHOT_DIR names a folder.

#include <QDir>
#include <QPixmap>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

#include "dialogs/CopyDialog_unit.h"
#include "dialogs/DeleteDialog_unit.h"
#include "dialogs/ExtractDialog_unit.h"
#include "tests/dialogs/OpsDialogFixture.h"
#include "tests/support/LayoutCheck.h"

namespace {

class OpsDialogScreens : public OpsDialogTest {
 protected:
  void SetUp() override {
    folder = qEnvironmentVariable("TAMBER_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "TAMBER_SCREENSHOT_DIR is not set";
    QDir().mkpath(folder);
  }

  void SaveTabs(QDialog& dialog, const QString& name, const QString& scale) {
    dialog.show();
    QTabWidget* tabs = Tabs(dialog);
    for (int tab = 0; tab < tabs->count(); ++tab) {
      tabs->setCurrentIndex(tab);
      QApplication::processEvents();
      const QString file = QString("%1/%2-tab%3-%4.png").arg(folder, name).arg(tab + 1).arg(scale);
      EXPECT_TRUE(dialog.grab().save(file)) << file.toStdString();
    }
    dialog.hide();
  }

  QString folder;
};

}  // namespace

TEST_F(OpsDialogScreens, EveryTabAtBothFontSizes) {
  config.currentArchive = "/home/user/archives/backup.j";
  jar.archiveFlags = "RECOVERY RECORDS, PROTECTED, ENCRYPTED";
  config.StorePassword("secret-word");
  for (const double factor : {1.0, 1.5}) {
    testsupport::ScopedFontScale font(factor);
    const QString scale = factor == 1.0 ? "1x" : "1.5x";

    TExtractDialog extract(config, prompter, chooser, &owner);
    extract.setChapters(true, 3);
    Button(extract, "SelectedFiles")->setChecked(true);
    extract.SetListedFolder("/usr/share");
    extract.show();
    auto* tree = Find<QTreeView>(extract, "DirBox");
    // The list reads its folders in the background; the picture shows it once the listed one is in view.
    EXPECT_TRUE(QTest::qWaitFor(
        [tree] {
          const QRect row = tree->visualRect(tree->currentIndex());
          return tree->model()->rowCount(tree->currentIndex().parent()) > 1 && tree->viewport()->rect().contains(row);
        },
        5000));
    Find<QPlainTextEdit>(extract, "Memo1")->setPlainText("*.bak\nold\\notes.txt");
    SaveTabs(extract, "extract", scale);

    TDeleteDialog remove(config, prompter, &owner);
    remove.setChapters(true, 4);
    Button(remove, "Chapters")->click();
    Find<QPlainTextEdit>(remove, "WildcardMemo")->setPlainText("keep.txt");
    SaveTabs(remove, "delete", scale);

    TCopyDialog copy(config, prompter, chooser, &owner);
    copy.setArchiveComment("Weekly backup of the documents.\nSecond line.");
    SaveTabs(copy, "copy", scale);
  }
}
