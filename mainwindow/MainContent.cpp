// The commands on the archive's contents and the program's arguments. The content commands are
// built on these handlers; each returns at once while the archiver runs.

#include "mainwindow/LongPathName.h"
#include "mainwindow/Main_unit.h"
#include "platform/Files.h"

void TMain::HandleCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return;
  try {
    const std::string path = LongPathName(arguments.front());
    if (jar_->IsJarArchive(arguments.front())) OpenArchive(path, true);
  } catch (const PathFailure&) {
    services_.prompter.error("Cannot add/open \"dropped\" file(s) !");
  }
}

void TMain::Mainmenu_AddClick() {
  if (operationRunning_) return;
}

void TMain::Mainmenu_CopyClick() {
  if (operationRunning_) return;
}

void TMain::Mainmenu_DeleteClick() {
  if (operationRunning_) return;
}

void TMain::Mainmenu_ExtractClick() {
  if (operationRunning_) return;
}

void TMain::Mainmenu_TestClick() {
  if (operationRunning_) return;
}

void TMain::Mainmenu_PasteFilesClick() {
  if (operationRunning_) return;
}

void TMain::Mainmenu_ViewLastOutputClick() {
  if (operationRunning_) return;
  jar_->ViewLastOutput();
}

// Runs when the list's pop-up menu or the Actions menu opens.
void TMain::PopupMenu1Popup() {}
