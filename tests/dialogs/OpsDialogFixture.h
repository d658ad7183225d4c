#pragma once
// What the Extract, Delete and Copy dialogs are built on in tests: the configuration fixture and a
// job whose work files go to a temporary folder.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "driver/TJarExec_unit.h"
#include "platform/Files.h"
#include "tests/config/ConfigFixture.h"

class OpsDialogTest : public ConfigFixture {
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
  // At the normal font and at 1.5 times its size, every tab of the dialog that make builds: no
  // control clipped, and every control reachable by Tab with a name.
  static void ExpectEveryTabLaidOutCleanlyAndReachable(const std::function<std::unique_ptr<QDialog>()>& make);

  TempFolder work;
  TJar jar{config, prompter};
};

// Every control a user can reach has a name a screen reader can say; walking the focus chain
// with Tab from the first control comes back round.
void ExpectKeyboardReachableWithNames(QWidget& dialog);
