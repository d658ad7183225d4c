#pragma once
// A configuration with its own store, a job whose work files go to a temporary folder, the
// scripted prompter and file chooser, and an owner window: what the Extract, Delete and Copy
// dialogs are built on.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <string>

#include "config/TConfig.h"
#include "driver/TJarExec_unit.h"
#include "platform/Files.h"
#include "tests/support/ScriptedFileChooser.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

class OpsDialogTest : public ::testing::Test {
 protected:
  OpsDialogTest() {
    jar.tempFolder = work.path() + "/";
    config.jar = &jar;
  }

  // The argument line the job writes for an operation (the job's own builder).
  std::string Line(int operation) {
    jar.BuildArguments(operation);
    return jar.ReadWholeFile(jar.argumentsFile);
  }
  std::string FilesFileOf() { return jar.ReadWholeFile(jar.filesFile); }

  template <typename W>
  static W* Find(QWidget& dialog, const char* name) {
    W* w = dialog.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << "no control " << name;
    return w;
  }
  static QAbstractButton* Button(QWidget& d, const char* name) { return Find<QAbstractButton>(d, name); }
  static bool Checked(QWidget& d, const char* name) { return Button(d, name)->isChecked(); }
  static bool Enabled(QWidget& d, const char* name) { return Find<QWidget>(d, name)->isEnabled(); }
  static QTabWidget* Tabs(QWidget& d) { return Find<QTabWidget>(d, "Tabs"); }
  static void Type(QWidget& d, const char* memoName, const QString& text) {
    Find<QPlainTextEdit>(d, memoName)->setPlainText(text);
  }

  TempFolder home;
  TempFolder work;
  platform::SettingsStore store{home.path() + "/registry.reg"};
  testsupport::ScriptedPrompter prompter;
  testsupport::ScriptedFileChooser chooser;
  TConfig config{store, prompter};
  TJar jar{config, prompter};
  QWidget owner;
};

// Every control a user can reach has a name a screen reader can say; walking the focus chain
// with Tab from the first control comes back round.
void ExpectKeyboardReachableWithNames(QWidget& dialog);
