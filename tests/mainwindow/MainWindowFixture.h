#pragma once
// A main window on the offscreen platform with its own settings, scripted message boxes and
// pickers, the real file operations and the built jar32.exe; and archives made by jar32.exe.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/ArchiveListModel.h"
#include "tests/mainwindow/ArchiveBytes.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/CommentPane.h"
#include "mainwindow/Main_unit.h"
#include "platform/Files.h"
#include "platform/qt/FileOperationWindow.h"
#include "tests/support/FakeClipboard.h"
#include "tests/support/ScriptedFileChooser.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

inline const std::string kJar32 = std::string(TAMBER_BIN_DIR) + "/jar32.exe";

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    std::filesystem::create_directories(work());
    std::filesystem::create_directories(files());
  }
  ~MainWindowTest() override {
    if (window) window->close();
    window.reset();
  }

  std::string settingsFile() const { return home.path() + "/registry.reg"; }
  std::string work() const { return home.path() + "/work"; }
  std::string files() const { return home.path() + "/files"; }

  // The settings key that tells a later run from the first.
  void NotTheFirstRun() {
    store.createKey(TMain::kSettingsKey);
  }

  // The window, shown and activated once, with the built archiver and work files of its own.
  TMain& Start(std::vector<std::string> arguments = {}) {
    window = std::make_unique<TMain>(
        MainServices{store, prompter, chooser, clipboard, fileOperations, std::move(arguments)});
    window->config().theJar32Exe = kJar32;
    window->jar().tempFolder = work() + "/";
    fileOperations.SetOwner(window.get());
    window->show();
    window->FormActivate();
    return *window;
  }

  // jar32.exe run from a folder, as a person would.
  int Jar(const std::string& arguments, const std::string& folder) {
    const std::string command = "cd '" + folder + "' && '" + kJar32 + "' " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static void Write(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_TRUE(platform::WriteWholeFile(path, data));
  }

  // An archive of two chapters: readme.txt (6 bytes), docs\guide.txt (5000), docs\sub\ and
  // docs\sub\n.txt (2) in the first, more.txt (5) added in the second, with a two-line comment.
  std::string MakeDemoArchive(const std::string& name = "demo.j") {
    const std::string src = home.path() + "/src";
    Write(src + "/readme.txt", "hello\n");
    Write(src + "/docs/guide.txt", std::string(5000, 'g'));
    Write(src + "/docs/sub/n.txt", "x\n");
    Write(home.path() + "/comment.txt", "First comment line\nSecond comment line");
    const std::string archive = files() + "/" + name;
    EXPECT_EQ(Jar("a '" + archive + "' -r readme.txt docs '-z" + home.path() + "/comment.txt'", src), 0);
    Write(src + "/more.txt", "more\n");
    EXPECT_EQ(Jar("ac '" + archive + "' -r readme.txt docs more.txt", src), 0);
    return archive;
  }

  ArchiveListView* List() const { return window->findChild<ArchiveListView*>("ListView"); }
  ArchiveListModel* Model() const { return window->findChild<ArchiveListModel*>(); }
  CommentPane* Pane() const { return window->findChild<CommentPane*>("CommentMemo"); }
  QAction* Action(const char* name) const {
    QAction* action = window->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  QToolButton* ToolButton(const char* name) const { return window->findChild<QToolButton*>(name); }
  QString Panel(int i) const {
    return window->findChild<QLabel*>(QString("StatusBar1Panel%1").arg(i))->text();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int row = 0; row < Model()->rowCount(); ++row) names.push_back(Model()->MemberName(row));
    return names;
  }
  // A left click on a row of the list, with modifiers.
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect rect = List()->visualRect(Model()->index(row, 0));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, rect.center());
  }

  TempFolder home;
  ScopedEnv configHome{"TAMBER_CONFIG_HOME", home.path()};
  ScopedEnv dataHome{"XDG_DATA_HOME", home.path() + "/data"};
  platform::SettingsStore store{settingsFile()};
  testsupport::ScriptedPrompter prompter;
  testsupport::ScriptedFileChooser chooser;
  testsupport::FakeClipboard clipboard;
  platform::QtShellFileOperations fileOperations;
  std::unique_ptr<TMain> window;
};
