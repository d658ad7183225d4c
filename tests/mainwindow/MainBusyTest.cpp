// The busy state around a real, slow jar32.exe run: what is off, what returns at once, and
// cancelling from the status bar or the list.

#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <cstring>
#include <random>

#include "tests/mainwindow/MainWindowFixture.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;

namespace {

constexpr const char* kTerminate = "Do you want to terminate operation ?";

// Data the best compression takes many seconds for, so the run is still going when it is cancelled.
void WriteSlowData(const std::string& path) {
  std::mt19937_64 random(42);
  std::string data(16 << 20, '\0');
  for (size_t i = 0; i + 8 <= data.size(); i += 8) {
    const uint64_t word = random();
    std::memcpy(&data[i], &word, 8);
  }
  ASSERT_TRUE(platform::WriteWholeFile(path, data));
}

}  // namespace

TEST_F(MainWindowTest, ARunMakesTheWindowBusyAndAClickCancelsIt) {
  NotTheFirstRun();
  TMain& main = Start();
  WriteSlowData(home.path() + "/big.bin");
  TJar& jar = main.jar();
  jar.ResetOptions();
  jar.archiveName = files() + "/slow.j";
  jar.sourceFolder = home.path();
  jar.fileList = {"big.bin"};
  jar.compressionMethod = 4;

  bool duringRun = false;
  QTimer::singleShot(0, &main, [&] {
    duringRun = true;
    EXPECT_TRUE(main.operationRunning());
    for (QAction* menu : main.menuBar()->actions()) EXPECT_FALSE(menu->isEnabled()) << menu->text().toStdString();
    for (const char* name : {"NewArchiveBtn", "OpenArchiveBtn", "PasteFilesBtn", "AddBtn"})
      EXPECT_FALSE(Action(name)->isEnabled()) << name;
    EXPECT_EQ(List()->cursor().shape(), Qt::WaitCursor);
    // Every command returns at once: none asks for a file or shows a box.
    for (const char* name : {"Mainmenu_OpenArchive", "Mainmenu_NewArchive", "Mainmenu_Information",
                             "Mainmenu_CopyArchive", "Mainmenu_DeleteArchive", "Mainmenu_Configure",
                             "Mainmenu_SelectAll", "Mainmenu_Help", "Mainmenu_About", "Mainmenu_Quit",
                             "Mainmenu_SaveSettingsNow", "Mainmenu_Font", "Mainmenu_Password"})
      Action(name)->trigger();
    main.ListViewColumnClick(0);
    EXPECT_EQ(main.sortKey(), 0);
    // Closing is refused while the archiver runs.
    main.close();
    EXPECT_TRUE(main.isVisible());

    // A click on the status bar asks; No lets the run go on.
    prompter.expect(BoxKind::Confirmation, kTerminate, ButtonNo, ButtonYes | ButtonNo);
    QStatusBar* bar = main.statusBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, bar->height() / 2));
    EXPECT_TRUE(main.operationRunning());
    // A press on the list asks again; Yes ends the run.
    prompter.expect(BoxKind::Confirmation, kTerminate, ButtonYes, ButtonYes | ButtonNo);
    prompter.expect(BoxKind::Error, "Operation terminated");
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  });
  try {
    jar.Run(opAdd);
    ADD_FAILURE() << "the run was not cancelled";
  } catch (const JarFailure& failure) {
    EXPECT_EQ(failure.text, "") << "already reported";
  }
  EXPECT_TRUE(duringRun);
  prompter.verifyDone();
  EXPECT_EQ(jar.exitCode, 13);
  EXPECT_FALSE(main.operationRunning());
  for (QAction* menu : main.menuBar()->actions()) EXPECT_TRUE(menu->isEnabled());
  EXPECT_TRUE(Action("NewArchiveBtn")->isEnabled());
  EXPECT_TRUE(Action("OpenArchiveBtn")->isEnabled());
  EXPECT_TRUE(Action("PasteFilesBtn")->isEnabled()) << "back as it was";
  EXPECT_FALSE(Action("AddBtn")->isEnabled()) << "back as it was: no archive is open";
  EXPECT_NE(List()->cursor().shape(), Qt::WaitCursor);
  EXPECT_FALSE(platform::FileExists(files() + "/slow.j")) << "a cancelled run leaves no archive";

  // Without a run a click on the status bar does nothing.
  QStatusBar* bar = main.statusBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, bar->height() / 2));
}

TEST_F(MainWindowTest, ButtonsComeBackAsTheyWereAfterAListing) {
  NotTheFirstRun();
  const std::string archive = MakeDemoArchive();
  TMain& main = Start();
  ASSERT_TRUE(main.OpenArchive(archive, true));
  int runs = 0;
  main.jar().onRunStart = [&](TJar&) {
    ++runs;
    main.JarRunStarted();
    EXPECT_FALSE(Action("AddBtn")->isEnabled());
  };
  Action("Mainmenu_ReopenArchive")->trigger();
  EXPECT_EQ(runs, 1);
  for (const char* name : {"CloseArchiveBtn", "AddBtn", "ExtractBtn", "DeleteBtn", "TestBtn", "PasteFilesBtn"})
    EXPECT_TRUE(Action(name)->isEnabled()) << name;
}
