#pragma once
// The main window with its Add dialog, and helpers that act on the content commands' dialogs
// once they show: accept or cancel them after setting their controls.

#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "config/PWDialog_unit.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/CopyDialog_unit.h"
#include "dialogs/DeleteDialog_unit.h"
#include "dialogs/ExtractDialog_unit.h"
#include "dialogs/FileNameField.h"
#include "mainwindow/ClipboardFiles.h"
#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/ModalDriver.h"

class ContentTest : public MainWindowTest {
 protected:
  void SetUp() override { NotTheFirstRun(); }

  // The window as the program makes it: with its Add dialog before the first activation.
  TMain& StartWithAdd(std::vector<std::string> arguments = {}, platform::Clipboard* board = nullptr) {
    window = std::make_unique<TMain>(
        MainServices{store, prompter, chooser, board ? *board : clipboard, fileOperations, std::move(arguments)});
    window->config().theJar32Exe = kJar32;
    window->jar().tempFolder = work() + "/";
    fileOperations.SetOwner(window.get());
    addDialog = new TAddDialog1(window->config(), prompter, chooser, window.get());
    window->SetAddDialog(addDialog);
    window->show();
    window->FormActivate();
    return *window;
  }

  template <typename Widget>
  static Widget* Child(QWidget& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(name);
    EXPECT_TRUE(widget) << "no " << name;
    return widget;
  }

  // The next dialog of a kind: act on it, then press its button (when it is still open), or
  // cancel it when button is null.
  template <typename Dialog>
  void OnDialog(std::function<void(Dialog&)> act, const char* button) {
    OnNextModal<Dialog>([act, button](Dialog& dialog) {
      act(dialog);
      if (!dialog.isVisible()) return;
      if (button)
        Child<QPushButton>(dialog, button)->click();
      else
        dialog.reject();
    });
  }
  void OnAdd(std::function<void(TAddDialog1&)> act = [](TAddDialog1&) {}, bool accept = true) {
    OnDialog<TAddDialog1>(act, accept ? "AddBtn" : nullptr);
  }
  void OnExtract(std::function<void(TExtractDialog&)> act, bool accept = true) {
    OnDialog<TExtractDialog>(act, accept ? "Button2" : nullptr);
  }
  void OnDelete(std::function<void(TDeleteDialog&)> act, bool accept = true) {
    OnDialog<TDeleteDialog>(act, accept ? "OKBtn" : nullptr);
  }
  void OnCopy(std::function<void(TCopyDialog&)> act, bool accept = true) {
    OnDialog<TCopyDialog>(act, accept ? "Button1" : nullptr);
  }
  // The password dialog: answered with a password, or cancelled with "".
  void OnPassword(const std::string& password) {
    OnNextModal<TPWDialog>([password](TPWDialog& dialog) {
      if (password.empty()) return dialog.reject();
      dialog.Edit1->setText(QString::fromStdString(password));
      dialog.Button1->click();
    });
  }

  static void Check(QWidget& dialog, const char* name, bool on = true) {
    if (auto* radio = dialog.findChild<QRadioButton*>(name)) return radio->setChecked(on);
    Child<QCheckBox>(dialog, name)->setChecked(on);
  }

  // Selects the rows whose member names (Path + Name) are given.
  void SelectMembers(const std::vector<std::string>& names) {
    QItemSelectionModel* selection = List()->selectionModel();
    selection->clearSelection();
    for (int row = 0; row < Model()->rowCount(); ++row)
      if (std::find(names.begin(), names.end(), Model()->MemberName(row)) != names.end())
        selection->select(Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(window->SelectedCount(), static_cast<int>(names.size()));
  }

  // A drop of URIs on the window, as a file manager makes it; the window handles it after the
  // event has returned.
  bool DropUris(const QByteArray& uris) {
    QMimeData mime;
    mime.setData(kUriListFormat, uris);
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    return drop.isAccepted();
  }
  static QByteArray UriOf(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded() + "\r\n";
  }
  // Lets the queued drop run (and any dialog it opens be handled by the helpers above).
  static void Settle() { QApplication::processEvents(); QApplication::processEvents(); }

  TAddDialog1* addDialog = nullptr;  // owned by the window
};
