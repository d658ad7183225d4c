// Keyboard and screen-reader use of every window: Tab and Shift+Tab walk the main window and each
// dialog (every page of the tabbed ones) as it shows, and every control the focus lands on has a
// name to say.

#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "config/Config_unit.h"
#include "config/ErrorForm_unit.h"
#include "config/InfoDialog_unit.h"
#include "config/PWDialog_unit.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/CopyDialog_unit.h"
#include "dialogs/DeleteDialog_unit.h"
#include "dialogs/ExtractDialog_unit.h"
#include "tests/dialogs/OpsDialogFixture.h"
#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/FocusChain.h"
#include "tests/support/ModalDriver.h"

namespace {

// Activates the shown window and walks it from its first control, page by page when it has tabs.
void WalkShown(QDialog& d, const std::string& name) {
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d, 5000)) << name;
  // The window's focus control becomes the application's once the activation has been handled,
  // which on a busy machine may come after the window reports itself active.
  QTest::qWaitFor([&] { return QApplication::focusWidget() && d.isAncestorOf(QApplication::focusWidget()); }, 5000);
  QList<QTabWidget*> tabs = d.findChildren<QTabWidget*>();
  if (tabs.isEmpty()) {
    testsupport::ExpectFocusChainNamed(name);
    return;
  }
  QTabWidget* pages = tabs.front();
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    pages->tabBar()->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    testsupport::ExpectFocusChainNamed(name + ", page \"" + pages->tabText(page).remove('&').toStdString() + "\"");
  }
}

// Walks the dialog of the type that the call shows modally, then cancels it.
template <typename Dialog>
void WalkModal(const std::string& name, const std::function<void()>& show) {
  bool walked = false;
  OnNextModal<Dialog>([&](Dialog& d) {
    WalkShown(d, name);
    walked = true;
    d.reject();
  });
  show();
  EXPECT_TRUE(walked) << name << " did not show";
}

class DialogFocusTest : public OpsDialogTest {};
class MainFocusTest : public MainWindowTest {};

}  // namespace

TEST_F(DialogFocusTest, EveryDialogIsWalkedBothWaysWithNamedControls) {
  TConfiguration configuration(config, prompter, chooser, &owner);
  WalkModal<TConfiguration>("Configuration", [&] { configuration.ShowConfiguration(); });

  TAddDialog1 add(config, prompter, chooser, &owner);
  WalkModal<TAddDialog1>("Add, browsing", [&] { add.Execute(work.path(), {}, "", "", false); });
  ASSERT_TRUE(platform::WriteWholeFile(work.path() + "/a.txt", "a\n"));
  TAddDialog1 drop(config, prompter, chooser, &owner);
  WalkModal<TAddDialog1>("Add, dropped files", [&] {
    drop.Execute(work.path(), {work.path() + "/a.txt"}, work.path(), work.path() + "/a.j", true);
  });

  TExtractDialog extract(config, prompter, chooser, &owner);
  WalkModal<TExtractDialog>("Extract", [&] { extract.Execute(2, work.path()); });
  TDeleteDialog remove(config, prompter, &owner);
  WalkModal<TDeleteDialog>("Delete", [&] { remove.Execute(2); });
  TCopyDialog copy(config, prompter, chooser, &owner);
  WalkModal<TCopyDialog>("Copy", [&] { copy.Execute(); });

  TPWDialog password(config, prompter, &owner);
  WalkModal<TPWDialog>("Password", [&] { password.AskPassword(); });
  TInfoDialog info(&owner);
  WalkModal<TInfoDialog>("Information", [&] {
    info.ShowInfo("/tmp/a.j", "", "", "2026-01-01 10:00", "2026-01-01 10:00", 0, "50%", "1,024", 512, "1", true);
  });
  TErrorForm output(&owner);
  output.Memo1->setPlainText("Processing archive\nline two");
  WalkModal<TErrorForm>("Output viewer", [&] { output.Execute(""); });
}

TEST_F(MainFocusTest, TheMainWindowIsWalkedBothWaysWithNamedControls) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  chooser.answer(archive);
  Action("Mainmenu_OpenArchive")->trigger();
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main, 5000));
  List()->setFocus(Qt::TabFocusReason);
  const std::vector<QWidget*> reached = testsupport::ExpectFocusChainNamed("Main window");
  EXPECT_NE(std::find(reached.begin(), reached.end(), Pane()), reached.end());
}
