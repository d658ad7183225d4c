// The last run's output and the enabling of Paste Files, which follows the clipboard.

#include <QClipboard>
#include <QGuiApplication>

#include "mainwindow/ClipboardFiles.h"
#include "mainwindow/Main_unit.h"

void TMain::Mainmenu_ViewLastOutputClick() {
  if (operationRunning_) return;
  jar_->ViewLastOutput();
}

// Runs when the list's pop-up menu or the Actions menu opens, and when the clipboard changes (so
// that Ctrl+V follows it too).
void TMain::PopupMenu1Popup() {
  std::vector<std::string> files;
  int count = 0;
  const bool hasFiles = ClipboardFiles(services_.clipboard, files, count);
  Find("Mainmenu_PasteFiles")->setEnabled(hasFiles);
  Find("POP1_PasteFiles")->setEnabled(hasFiles);
}

void TMain::WatchClipboard() {
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    connect(clipboard, &QClipboard::dataChanged, this, &TMain::PopupMenu1Popup);
}
