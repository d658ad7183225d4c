// The Add dialog as a user sees it: both modes and every tab laid out cleanly at the default font
// and at one and a half times its size (pictures saved under the build folder), and every control
// reachable by keyboard with a name a screen reader can say.

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QToolButton>

#include "tests/dialogs/AddDialogFixture.h"
#include "tests/support/LayoutCheck.h"

namespace {

const QString kPictures = QString(TAMBER_TEST_BIN_DIR) + "/screenshots/add";

// Every tab of the shown dialog checked and saved as "<mode>-<scale>-<tab>.png".
void CheckEveryTab(TAddDialog1& shown, const QString& prefix) {
  auto* tabs = shown.findChild<QTabWidget*>("OptionTabs");
  ASSERT_TRUE(tabs);
  QDir().mkpath(kPictures);
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QApplication::processEvents();
    SCOPED_TRACE(tabs->tabText(i).toStdString());
    testsupport::ExpectLaidOutCleanly(shown);
    const QString name = tabs->tabText(i).remove('&').replace(' ', '_').toLower();
    EXPECT_TRUE(shown.grab().save(kPictures + "/" + prefix + "-" + name + ".png"));
  }
}

}  // namespace

class AddDialogLayoutTest : public AddDialogTest, public ::testing::WithParamInterface<double> {};

TEST_P(AddDialogLayoutTest, BothModesAndEveryTabLaidOutCleanly) {
  const QString scale = GetParam() == 1.0 ? "1x" : "1.5x";
  testsupport::ScopedFontScale font(GetParam());
  TAddDialog1 scaled(config, prompter, chooser, &owner);
  OnNextModal<TAddDialog1>([&](TAddDialog1& shown) {
    CheckEveryTab(shown, "browser-" + scale);
    auto* browser = shown.findChild<adddialog::FolderBrowser*>("FilesListView1");
    EXPECT_TRUE(WaitUntil([&] { return browser->Names().size() == 4; }));
    for (const char* style : {"SpeedButton1", "SpeedButton2", "SpeedButton4", "SpeedButton3"}) {
      shown.findChild<QToolButton*>(style)->click();
      QApplication::processEvents();
      EXPECT_TRUE(shown.grab().save(kPictures + "/browser-" + scale + "-" + style + ".png"));
    }
    shown.reject();
  });
  scaled.Execute(tree(), {}, "", "", false);
  OnNextModal<TAddDialog1>([&](TAddDialog1& shown) {
    CheckEveryTab(shown, "dropped-" + scale);
    shown.reject();
  });
  scaled.Execute(tree(), {tree() + "/readme.txt"}, tree(), "", true);
}

INSTANTIATE_TEST_SUITE_P(Fonts, AddDialogLayoutTest, ::testing::Values(1.0, 1.5));

namespace {

std::string AccessibleName(QWidget* w) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
  return accessible ? accessible->text(QAccessible::Name).toStdString() : std::string();
}

// The widgets Tab visits from the action button until it comes back to it.
std::vector<QWidget*> TabCycle(TAddDialog1& shown, Qt::KeyboardModifiers modifiers) {
  std::vector<QWidget*> visited;
  QPushButton* start = shown.findChild<QPushButton*>("AddBtn");
  start->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < 200; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
    QWidget* now = QApplication::focusWidget();
    if (now == start || !now) break;
    visited.push_back(now);
  }
  return visited;
}

}  // namespace

TEST_F(AddDialogTest, TabVisitsEveryControlAndEachHasAName) {
  for (bool dropped : {false, true}) {
    SCOPED_TRACE(dropped ? "dropped-files mode" : "browser mode");
    OnNextModal<TAddDialog1>([&](TAddDialog1& shown) {
      shown.activateWindow();
      ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &shown; }));
      Box("CB_Password")->setChecked(true);
      Box("CB_WorkDir")->setChecked(true);
      const std::vector<QWidget*> forward = TabCycle(shown, Qt::NoModifier);
      for (QWidget* w : forward) EXPECT_FALSE(AccessibleName(w).empty()) << testsupport::WidgetName(w);
      std::vector<QWidget*> backward = TabCycle(shown, Qt::ShiftModifier);
      std::reverse(backward.begin(), backward.end());
      EXPECT_EQ(forward, backward);
      auto visits = [&](const char* name) {
        QWidget* w = shown.findChild<QWidget*>(name);
        return std::any_of(forward.begin(), forward.end(), [&](QWidget* v) { return v == w || (w && w->isAncestorOf(v)); });
      };
      for (const char* name : {"Button2", "Button3", "Button1", "CO_Action", "CO_Compression", "CB_AssumeYesOnAll",
                               "CB_SpanMultipleDisk", "ED_Subdirectory"})
        EXPECT_TRUE(visits(name)) << name;
      for (const char* name : dropped ? std::vector<const char*>{"FE_ArchiveName", "NewBtn", "OpenBtn", "Button4",
                                                                 "CB_Dosbox2", "DE_FromDirectory"}
                                      : std::vector<const char*>{"RzDriveComboBox1", "SpeedButton5", "SpeedButton6",
                                                                 "SpeedButton1", "FilesListView1", "Edit2", "CB_LoadDir",
                                                                 "CB_Dosbox", "CB_FromCurrentDir"})
        EXPECT_TRUE(visits(name)) << name;
      if (!dropped) {
        // Tab stops once at the view styles; the arrow keys move among the four.
        auto* first = shown.findChild<QToolButton*>("SpeedButton1");
        first->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 3; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        EXPECT_EQ(QApplication::focusWidget(), shown.findChild<QToolButton*>("SpeedButton4"));
      }
      // The tabs' accelerators, then Escape.
      QTest::keyClick(&shown, Qt::Key_X, Qt::AltModifier);
      EXPECT_EQ(shown.findChild<QTabWidget*>("OptionTabs")->currentIndex(), 3);
      QTest::keyClick(&shown, Qt::Key_W, Qt::AltModifier);
      EXPECT_EQ(shown.findChild<QTabWidget*>("OptionTabs")->currentIndex(), 5);
      Box("CB_Password")->setChecked(false);
      Box("CB_WorkDir")->setChecked(false);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    EXPECT_TRUE(dialog.Execute(tree(), {tree() + "/readme.txt"}, "", "", dropped));
  }
  // Return accepts.
  OnNextModal<TAddDialog1>([&](TAddDialog1& shown) {
    shown.activateWindow();
    WaitUntil([&] { return QApplication::activeWindow() == &shown; });
    QTest::keyClick(Find<QComboBox>("CO_Compression"), Qt::Key_Return);
  });
  EXPECT_FALSE(dialog.Execute(tree(), {}, "", "", false));
}
