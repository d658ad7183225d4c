// The main window from its start to its closing: the first run, the recent list and the settings
// kept for the window, the window-level commands.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QPushButton>
#include <QFontDialog>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QUrl>

#include "config/Config_unit.h"
#include "dialogs/AddDialog1_unit.h"
#include "mainwindow/AboutBox.h"
#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonOk;
using platform::ButtonYes;

namespace {

const char* const kArchiveCommands[] = {
    "Mainmenu_ReopenArchive", "Mainmenu_CloseArchive", "Mainmenu_Information", "Mainmenu_RenameArchive",
    "Mainmenu_MoveArchive",   "Mainmenu_CopyArchive",  "Mainmenu_DeleteArchive", "Mainmenu_Add",
    "Mainmenu_Copy",          "Mainmenu_Delete",       "Mainmenu_Extract",       "Mainmenu_Test",
    "Mainmenu_ViewLastOutput", "POP_CloseArchive",     "POP_Add",                "POP_Delete",
    "POP_Extract",            "POP3_ReopenArchive",    "CloseArchiveBtn",        "AddBtn",
    "DeleteBtn",              "ExtractBtn",            "TestBtn"};

// Receives the URLs the window asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

}  // namespace

TEST_F(MainWindowTest, StartsWithoutAnArchiveAndItsCommandsOff) {
  NotTheFirstRun();
  TMain& main = Start();
  EXPECT_EQ(main.windowTitle(), "Tamber 2.23 - ");
  EXPECT_EQ(Pane()->Lines(), (std::vector<std::string>{"Press \"Open\" to open an archive.",
                                                        "Press \"New\" to make a new archive."}));
  for (const char* name : kArchiveCommands) EXPECT_FALSE(Action(name)->isEnabled()) << name;
  for (const char* name : {"NewArchiveBtn", "OpenArchiveBtn", "PasteFilesBtn", "Mainmenu_NewArchive",
                           "Mainmenu_OpenArchive", "Mainmenu_PasteFiles", "Mainmenu_Configure"})
    EXPECT_TRUE(Action(name)->isEnabled()) << name;
  EXPECT_FALSE(Action("Mainmenu_InvertSelection")->isEnabled());
  EXPECT_TRUE(Action("Mainmenu_SaveSettingsOnExit")->isChecked());
  EXPECT_TRUE(Action("ByName")->isChecked());
  EXPECT_TRUE(main.acceptDrops()) << "dropping is on after the first activation";
  EXPECT_EQ(window->focusWidget(), List());
}

TEST_F(MainWindowTest, DroppingStaysOffUntilTheFirstActivation) {
  NotTheFirstRun();
  TMain main(MainServices{store, prompter, chooser, clipboard, fileOperations, {}});
  EXPECT_FALSE(main.acceptDrops());
  main.FormActivate();
  EXPECT_TRUE(main.acceptDrops());
}

TEST_F(MainWindowTest, TheFirstActivationResetsTheAddDialogsChoices) {
  NotTheFirstRun();
  TMain main(MainServices{store, prompter, chooser, clipboard, fileOperations, {}});
  TAddDialog1 add(main.config(), prompter, chooser, &main);
  main.SetAddDialog(&add);
  auto* action = add.findChild<QComboBox*>("CO_Action");
  auto* compression = add.findChild<QComboBox*>("CO_Compression");
  action->setCurrentIndex(3);
  compression->setCurrentIndex(0);
  main.FormActivate();
  EXPECT_EQ(action->currentIndex(), 0);
  EXPECT_EQ(compression->currentText(), "Best");
  EXPECT_EQ(main.addDialog(), &add);
}

TEST_F(MainWindowTest, TheFirstRunSaysSoAndTheKeyComesOnlyWithSaving) {
  prompter.expect(BoxKind::Information,
                  "First time use of Tamber or information in registry was deleted!\nPlease set configuration.");
  bool configured = false;
  OnNextModal<TConfiguration>([&](TConfiguration& dialog) {
    configured = dialog.parentWidget() == window.get();
    dialog.findChild<QPushButton*>("CancelBtn")->click();
  });
  TMain& main = Start();
  EXPECT_TRUE(configured) << "the configuration dialog runs over the window";
  EXPECT_TRUE(main.findChildren<TConfiguration*>().isEmpty()) << "and is gone again";
  EXPECT_EQ(main.width(), 470);
  EXPECT_EQ(main.height(), 400);
  EXPECT_FALSE(store.keyExists(TMain::kSettingsKey));
  EXPECT_TRUE(store.value(TMain::kToolbarsKey, "State").has_value()) << "the toolbar positions are kept";
  // Saving creates the key: the next start is no first run.
  main.SaveMainSettings();
  EXPECT_TRUE(store.keyExists(TMain::kSettingsKey));
  window.reset();
  platform::SettingsStore reread(settingsFile());
  EXPECT_TRUE(reread.keyExists(TMain::kSettingsKey));
}

TEST_F(MainWindowTest, ADamagedSettingsFileIsReportedOnceAtTheFirstActivation) {
  Write(settingsFile(), "this is no settings file\n[HKEY_CURRENT_USER\\Software\n");
  platform::SettingsStore damaged(settingsFile());
  ASSERT_FALSE(damaged.loadWarning().empty());
  prompter.expect(BoxKind::Information, damaged.loadWarning());
  prompter.expect(BoxKind::Information,
                  "First time use of Tamber or information in registry was deleted!\nPlease set configuration.");
  window = std::make_unique<TMain>(MainServices{damaged, prompter, chooser, clipboard, fileOperations, {}});
  window->show();
  OnNextModal<TConfiguration>([](TConfiguration& dialog) { dialog.reject(); });
  window->FormActivate();
  window->FormActivate();  // later activations say nothing
  prompter.verifyDone();
  window->close();
  window.reset();
}

TEST_F(MainWindowTest, RecentEntriesAreReadNewestFirstAndAtMostFour) {
  NotTheFirstRun();
  for (int i = 0; i < 10; ++i)
    store.writeString(TMain::kSettingsKey, "Recent" + std::to_string(i), "/archives/a" + std::to_string(i) + ".j");
  store.writeNumber(TConfig::kKey, "nrRecentEntries", 10);
  TMain& main = Start();
  EXPECT_EQ(main.recentArchives().entries(),
            (std::vector<std::string>{"/archives/a0.j", "/archives/a1.j", "/archives/a2.j", "/archives/a3.j"}));
  EXPECT_EQ(Action("Main_Recent0")->text(), "&1 /archives/a0.j");
  EXPECT_TRUE(Action("Main_Recent3")->isVisible());
  EXPECT_FALSE(Action("Main_Recent4")->isVisible());
  EXPECT_EQ(Action("POP_Recent1")->text(), "&2 /archives/a1.j");
  main.SaveMainSettings();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(store.readString(TMain::kSettingsKey, "Recent" + std::to_string(i)));
  for (int i = 4; i < 10; ++i) EXPECT_FALSE(store.value(TMain::kSettingsKey, "Recent" + std::to_string(i))) << i;
}

TEST_F(MainWindowTest, OddRecentEntriesNeitherCrashNorFloodTheMenu) {
  NotTheFirstRun();
  const std::string huge = "/" + std::string(100'000, 'x') + ".j";
  store.writeString(TMain::kSettingsKey, "Recent0", huge);
  store.writeNumber(TMain::kSettingsKey, "Recent1", 7);  // a number where a text belongs
  store.writeString(TMain::kSettingsKey, "Recent2", "/a & b.j");
  store.writeNumber(TConfig::kKey, "nrRecentEntries", 2000000000);
  TMain& main = Start();
  EXPECT_EQ(main.recentArchives().entries(), (std::vector<std::string>{huge, "/a & b.j"}));
  EXPECT_LT(Action("Main_Recent0")->text().size(), 200);
  EXPECT_EQ(Action("Main_Recent1")->text(), "&2 /a && b.j");
  EXPECT_EQ(*main.recentArchives().EntryOfCaption(Action("Main_Recent1")->text().toStdString()), "/a & b.j");
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsOnlyWhenAskedButAlwaysTheWindowState) {
  NotTheFirstRun();
  {
    TMain& main = Start();
    main.AddRecent("/x/one.j");
    Action("Mainmenu_SaveSettingsOnExit")->trigger();  // unchecks it
    main.close();
    window.reset();
  }
  platform::SettingsStore first(settingsFile());
  EXPECT_FALSE(first.value(TMain::kSettingsKey, "Recent0")) << "not saved on exit";
  EXPECT_EQ(first.readNumber(TMain::kFormKey, "SaveSettingsOnExit"), 0u);
  EXPECT_TRUE(first.value(TMain::kFormKey, "Geometry"));
  EXPECT_TRUE(first.readNumber(TMain::kFormKey, "CommentMemoHeight"));

  platform::SettingsStore again(settingsFile());
  window = std::make_unique<TMain>(MainServices{again, prompter, chooser, clipboard, fileOperations, {}});
  window->show();
  window->FormActivate();
  EXPECT_FALSE(Action("Mainmenu_SaveSettingsOnExit")->isChecked()) << "the mark comes back";
  Action("Mainmenu_SaveSettingsOnExit")->trigger();
  window->AddRecent("/x/two.j");
  window->close();
  window.reset();
  platform::SettingsStore second(settingsFile());
  EXPECT_EQ(second.readString(TMain::kSettingsKey, "Recent0"), "/x/two.j");
  EXPECT_TRUE(second.value(TMain::kToolbarsKey, "State"));
}

TEST_F(MainWindowTest, TheConfigurationCommandAppliesTheToolbarSettings) {
  NotTheFirstRun();
  TMain& main = Start();
  OnNextModal<TConfiguration>([](TConfiguration& dialog) {
    dialog.findChild<QCheckBox*>("CB_LargeButtons")->setChecked(true);
    dialog.findChild<QPushButton*>("OKBtn")->click();
  });
  Action("Mainmenu_Configure")->trigger();
  EXPECT_TRUE(main.config().largeButtons);
  EXPECT_EQ(main.findChild<QToolBar*>("ToolBar1")->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  OnNextModal<TConfiguration>([](TConfiguration& dialog) {
    dialog.findChild<QCheckBox*>("CB_LargeButtons")->setChecked(false);
    dialog.findChild<QPushButton*>("CancelBtn")->click();
  });
  Action("Mainmenu_Configure")->trigger();
  EXPECT_TRUE(main.config().largeButtons) << "cancelled";
  EXPECT_TRUE(main.findChildren<TConfiguration*>().isEmpty());
}

TEST_F(MainWindowTest, ToolbarButtonsFollowTheSettings) {
  NotTheFirstRun();
  TMain& main = Start();
  main.config().largeButtons = true;
  main.config().flatButtons = false;
  main.config().limitToOneRow = true;
  main.ApplyToolbarSettings();
  QToolBar* bar = main.findChild<QToolBar*>("ToolBar1");
  EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  EXPECT_FALSE(bar->isMovable());
  EXPECT_GE(ToolButton("OpenArchiveBtn")->width(), 50);
  EXPECT_GE(ToolButton("OpenArchiveBtn")->height(), 38);
  EXPECT_EQ(ToolButton("AddBtn")->minimumSize(), QSize(39, 38));
  EXPECT_FALSE(ToolButton("AddBtn")->autoRaise());
  EXPECT_EQ(ToolButton("ExtractBtn")->text(), "Extract");
  EXPECT_EQ(ToolButton("ExtractBtn")->toolTip(), "Extract Files From Archive");

  main.config().largeButtons = false;
  main.config().flatButtons = true;
  main.ApplyToolbarSettings();
  EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
  EXPECT_EQ(ToolButton("OpenArchiveBtn")->minimumSize(), QSize(34, 22));
  EXPECT_EQ(ToolButton("TestBtn")->minimumSize(), QSize(23, 22));
  EXPECT_TRUE(ToolButton("TestBtn")->autoRaise());
  EXPECT_EQ(ToolButton("OpenArchiveBtn")->menu(), main.findChild<QMenu*>("PopupMenu3"));
}

TEST_F(MainWindowTest, WindowCommandsOpenHelpAboutAndTheFontDialog) {
  NotTheFirstRun();
  TMain& main = Start();
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "open");
  // Help opens the page beside the program (the test program's folder holds none).
  const std::string page = main.config().programFolder + "/html/main.htm";
  const bool present = platform::FileExists(page);
  if (!present) prompter.expect(BoxKind::Error, "The help file \"" + page + "\" cannot be opened.");
  Action("Mainmenu_Help")->trigger();
  if (present) {
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front().toLocalFile().toStdString(), page);
  }
  QDesktopServices::unsetUrlHandler("file");

  bool about = false;
  OnNextModal<AboutBox>([&](AboutBox& box) {
    about = box.findChild<QLabel*>("AboutText")->text().contains(qVersion());
    box.accept();
  });
  Action("Mainmenu_About")->trigger();
  EXPECT_TRUE(about);

  QFont chosen = List()->font();
  chosen.setPointSize(chosen.pointSize() + 5);
  OnNextModal<QFontDialog>([&](QFontDialog& dialog) {
    dialog.setCurrentFont(chosen);
    dialog.accept();
  });
  Action("Mainmenu_Font")->trigger();
  EXPECT_EQ(List()->font().pointSize(), chosen.pointSize());

  Action("Mainmenu_StayOnTop")->trigger();
  EXPECT_TRUE(main.windowFlags() & Qt::WindowStaysOnTopHint);
  Action("Mainmenu_StayOnTop")->trigger();
  EXPECT_FALSE(main.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(MainWindowTest, EveryCommandHasItsNameShortcutAndAnAccessibleWay) {
  NotTheFirstRun();
  TMain& main = Start();
  const std::pair<const char*, const char*> shortcuts[] = {
      {"Mainmenu_NewArchive", "Ctrl+N"},  {"Mainmenu_OpenArchive", "Ctrl+O"}, {"Mainmenu_ReopenArchive", "Ctrl+R"},
      {"Mainmenu_CloseArchive", "Ctrl+C"}, {"Mainmenu_Information", "Ctrl+I"}, {"Mainmenu_CopyArchive", "F8"},
      {"Mainmenu_DeleteArchive", "Ctrl+Del"}, {"Mainmenu_MoveArchive", "F7"}, {"Mainmenu_Quit", "Alt+F4"},
      {"Mainmenu_Add", "Ctrl+A"},          {"Mainmenu_Delete", "Del"},         {"Mainmenu_Extract", "Ctrl+E"},
      {"Mainmenu_PasteFiles", "Ctrl+V"},   {"Mainmenu_Test", "Ctrl+T"},        {"Mainmenu_SelectAll", "Ctrl+/"},
      {"Mainmenu_DeselectAll", "Ctrl+\\"}, {"Mainmenu_Font", "Ctrl+F"},        {"Mainmenu_Password", "Ctrl+P"},
      {"Mainmenu_Help", "F1"},             {"Mainmenu_About", "F2"},           {"POP1_PasteFiles", "Ctrl+V"},
      {"POP3_ReopenArchive", "Ctrl+R"}};
  for (const auto& [name, keys] : shortcuts)
    EXPECT_EQ(Action(name)->shortcut(), QKeySequence(keys)) << name;
  for (const char* name :
       {"Mainmenu_Copy", "Mainmenu_RenameArchive", "ParseDirsOnly1", "ParseNone1", "Mainmenu_GenerateJarcfg",
        "Mainmenu_RecoverHeader", "Mainmenu_Configure", "Mainmenu_StayOnTop", "Mainmenu_SaveSettingsNow",
        "Mainmenu_ViewLastOutput", "ByName", "BySize", "ByAttributes", "ByModified", "ByPath", "ByChapters",
        "POP_CloseArchive", "POP_Add", "POP_Delete", "POP_Extract", "Main_Recent9", "POP_Recent9"})
    EXPECT_NE(Action(name), nullptr);
  // Every menu of the menu bar opens with a key, and every item has a text to read out.
  for (QAction* top : main.menuBar()->actions()) {
    EXPECT_TRUE(top->text().contains('&')) << top->text().toStdString();
    for (QAction* item : top->menu()->actions()) {
      if (!item->isSeparator() && item->isVisible()) {
        EXPECT_FALSE(item->text().isEmpty());
      }
    }
  }
  // The controls a screen reader lands on have names.
  for (QWidget* control : {static_cast<QWidget*>(List()), static_cast<QWidget*>(Pane())})
    EXPECT_FALSE(control->accessibleName().isEmpty()) << testsupport::WidgetName(control);
  for (QToolButton* button : main.findChildren<QToolButton*>()) {
    if (button->objectName().endsWith("Btn")) {
      EXPECT_FALSE(button->accessibleName().isEmpty());
    }
  }
  // Tab goes from the list to the comment pane and back.
  List()->setFocus();
  QTest::keyClick(List(), Qt::Key_Tab);
  EXPECT_EQ(window->focusWidget(), Pane());
  QTest::keyClick(Pane(), Qt::Key_Backtab);
  EXPECT_EQ(window->focusWidget(), List());
}

#include "MainStartTest.moc"
