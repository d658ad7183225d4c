#pragma once
// The Add dialog over a configuration and a job of its own, with scripted boxes and pickers, a
// small tree of files to browse, and the argument line the job's options give.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <functional>

#include "dialogs/AddBrowser.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/DriveBox.h"
#include "dialogs/PathField.h"
#include "tests/config/ConfigFixture.h"
#include "tests/support/ModalDriver.h"

class AddDialogTest : public ConfigFixture {
 protected:
  AddDialogTest() {
    config.jar = &jar;
    jar.tempFolder = work() + "/";
    std::filesystem::create_directories(work());
    std::filesystem::create_directories(tree() + "/docs/sub");
    std::filesystem::create_directories(tree() + "/empty");
    Write(tree() + "/readme.txt", "read me\n");
    Write(tree() + "/notes.txt", "notes\n");
    Write(tree() + "/docs/guide.txt", "guide\n");
  }

  std::string work() const { return temp.path() + "/work"; }
  std::string tree() const { return temp.path() + "/tree"; }
  static void Write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(platform::WriteWholeFile(path, text)) << path;
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    auto* widget = dialog.findChild<Widget*>(name);
    EXPECT_TRUE(widget) << "no " << name;
    return widget;
  }
  QCheckBox* Box(const char* name) { return Find<QCheckBox>(name); }
  QComboBox* Combo(const char* name) { return Find<QComboBox>(name); }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QPlainTextEdit* Memo(const char* name) { return Find<QPlainTextEdit>(name); }
  PathField* Field(const char* name) { return Find<PathField>(name); }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  adddialog::FolderBrowser* Browser() { return Find<adddialog::FolderBrowser>("FilesListView1"); }

  // Handles events until the condition holds or the deadline passes; the condition's last answer.
  static bool WaitUntil(const std::function<bool()>& condition, int deadlineMs = 5000) {
    const QDeadlineTimer deadline(deadlineMs);
    while (!condition() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return condition();
  }
  // Waits until the browser lists every name (it reads folders in the background).
  void WaitForNames(const QStringList& names, int deadlineMs = 5000) {
    const bool listed = WaitUntil([&] {
      const QStringList shown = Browser()->Names();
      return std::all_of(names.begin(), names.end(), [&](const QString& n) { return shown.contains(n); });
    }, deadlineMs);
    ASSERT_TRUE(listed) << "the browser did not list " << names.join(", ").toStdString() << " in time; it shows "
                        << Browser()->Names().join(", ").toStdString();
  }

  // Runs Execute in browser mode at the tree; act works inside the shown dialog, which is then
  // accepted (when act left it open and accept is true) and else, or when it stays open, cancelled.
  bool Browse(const std::function<void()>& act, bool accept = true, const std::string& start = "") {
    OnNextModal<TAddDialog1>([&](TAddDialog1& shown) { ActThenClose(shown, act, accept); });
    return dialog.Execute(start.empty() ? tree() : start, {}, "", "", false);
  }
  // The same in dropped-files mode.
  bool Drop(const std::vector<std::string>& names, const std::string& archiveName,
            const std::function<void()>& act = [] {}, bool accept = true, const std::string& droppedFolder = "") {
    OnNextModal<TAddDialog1>([&](TAddDialog1& shown) { ActThenClose(shown, act, accept); });
    return dialog.Execute(tree(), names, droppedFolder, archiveName, true);
  }
  void ActThenClose(TAddDialog1& shown, const std::function<void()>& act, bool accept) {
    act();
    if (shown.isVisible() && accept) AcceptNow();
    if (shown.isVisible()) shown.reject();
  }
  void AcceptNow() { Button("AddBtn")->click(); }

  // The argument line of an operation with the job as the dialog left it.
  std::string Line(int operation = opAdd) {
    jar.archiveName = temp.path() + "/a.j";
    jar.BuildArguments(operation);
    return jar.ReadWholeFile(jar.argumentsFile);
  }
  std::string FilesLine() { return jar.ReadWholeFile(jar.filesFile); }

  TempFolder temp;
  TJar jar{config, prompter};
  TAddDialog1 dialog{config, prompter, chooser, &owner};
};
