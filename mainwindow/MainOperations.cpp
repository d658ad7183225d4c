// The commands on what the open archive holds besides adding: Copy (with new archive options),
// Delete, Extract and Test, with their guards and the chapter range the dialogs offer.

#include <QPointer>
#include <exception>

#include "dialogs/CopyDialog_unit.h"
#include "dialogs/DeleteDialog_unit.h"
#include "dialogs/ExtractDialog_unit.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/CommentLines.h"
#include "mainwindow/ContentRules.h"
#include "mainwindow/Main_unit.h"
#include "platform/Files.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

// A dialog made for one command and gone when the command ends, however it ends.
template <typename Dialog>
struct OneUse {
  QPointer<Dialog> dialog;
  ~OneUse() { delete dialog.data(); }
  Dialog* operator->() const { return dialog.data(); }
};

}  // namespace

std::string TMain::DefaultExtractFolder() const {
  return DefaultFolder(config_->extractFolder, config_->lastExtractFolder, config_->theExtractFolder,
                       config_->currentArchive);
}

bool TMain::CheckArchiveHasContents(const std::string& verb) {
  if (!platform::FileExists(config_->currentArchive)) {
    services_.prompter.error("Current archive does not exist, cannot " + verb + " !");
    return true;
  }
  if (jar_->parseMode != 0 || RowCount() > 0) return false;
  services_.prompter.error("Archive is empty, nothing to " + verb + " !");
  return true;
}

bool TMain::PasswordForProtectedArchive() {
  if (archiveProtected_ && config_->password.empty()) RequestPassword(true);
  if (archiveProtected_ && config_->password.empty()) return false;
  jar_->usePassword = !config_->password.empty();
  return true;
}

bool TMain::PrepareChapterRange(bool forDelete, TDeleteDialog* deleteDialog, TExtractDialog* extractDialog) {
  const std::optional<ChapterChoice> choice = ChapterChoiceOfPane(CommentLines());
  if (!choice || (forDelete ? !deleteDialog : !extractDialog)) {
    services_.prompter.error("Error in PreDelete_Extract()");
    return false;
  }
  if (choice->kind == ChapterChoice::kLeave) return true;
  const bool range = choice->kind == ChapterChoice::kRange;
  if (forDelete)
    deleteDialog->setChapters(range, choice->last);
  else
    extractDialog->setChapters(range, choice->last);
  return true;
}

void TMain::Mainmenu_CopyClick() {
  if (operationRunning_) return;
  RunCopy();
}

bool TMain::RunCopy() {
  if (CheckArchiveLocked()) return false;
  const std::string saved = config_->currentArchive;
  OneUse<TCopyDialog> copy;
  try {
    jar_->ResetOptions();
    copy.dialog = new TCopyDialog(*config_, services_.prompter, services_.chooser, this);
    platform::PlaceDialog(copy.dialog, this);
    std::vector<std::string> comment;
    if (CopyArchiveComment(comment)) copy->setArchiveComment(Joined(comment));
  } catch (...) {
    services_.prompter.error("That didn't work as planned, did it ?");
    return false;
  }
  try {
    if (!copy->Execute()) return false;
    jar_->archiveName = saved;
    jar_->Run(opCopyArchive);
    // Whatever changed in place (a password, a lock, recovery records) shows in a new listing.
    if (CopyChangesInPlace(copy->outputArchive(), saved) && platform::FileExists(saved)) OpenArchive(saved, false);
    return true;
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  } catch (...) {
    // The job has reported its own failure.
  }
  return false;
}

void TMain::Mainmenu_DeleteClick() {
  if (operationRunning_) return;
  RunDelete();
  listView_->setFocus();
}

bool TMain::RunDelete() {
  if (CheckArchiveHasContents("delete") || CheckArchiveLocked()) return false;
  OneUse<TDeleteDialog> del;
  try {
    jar_->ResetOptions();
    del.dialog = new TDeleteDialog(*config_, services_.prompter, this);
    if (!PrepareChapterRange(true, del.dialog, nullptr)) return false;
    platform::PlaceDialog(del.dialog, this);
    if (del->Execute(SelectedCount())) return false;
    if (!PasswordForProtectedArchive()) return false;
    if (del->selectedFiles()) jar_->fileList = SelectedMemberNames();
    const JarOperation operation = del->operation();
    delete del.dialog.data();
    jar_->archiveName = config_->currentArchive;
    jar_->Run(operation);
    const bool listed = RefreshListing();
    summary_.Reset(SelectionSummary::kNoneSelected);
    ShowSummary();
    return listed;
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  } catch (...) {
    services_.prompter.error("Something is wrong here");
  }
  return false;
}

void TMain::Mainmenu_ExtractClick() {
  if (operationRunning_) return;
  RunExtract();
  listView_->setFocus();
}

void TMain::RunExtract() {
  if (CheckArchiveHasContents("extract")) return;
  OneUse<TExtractDialog> extract;
  try {
    extract.dialog = new TExtractDialog(*config_, services_.prompter, services_.chooser, this);
    if (PaneShowsRecoveryRecords(CommentLines())) extract->setUseRecoveryRecords(true);
    jar_->ResetOptions();
    if (!PrepareChapterRange(false, nullptr, extract.dialog)) return;
    platform::PlaceDialog(extract.dialog, this);
    if (extract->Execute(SelectedCount(), DefaultExtractFolder())) return;
    if (!PasswordForProtectedArchive()) return;
    if (extract->selectedFiles()) jar_->fileList = SelectedMemberNames();
    jar_->archiveName = config_->currentArchive;
    jar_->Run(extract->operation());
    config_->lastExtractFolder = extract->outputFolder();
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  } catch (...) {
    services_.prompter.error("Your advertisement here! ;-)");
  }
}

void TMain::Mainmenu_TestClick() {
  if (operationRunning_) return;
  RunTest();
}

void TMain::RunTest() {
  if (!platform::FileExists(config_->currentArchive)) {
    services_.prompter.error("Archive does not exits, cannot test !");
    return;
  }
  try {
    jar_->ResetOptions();
    if (!PasswordForProtectedArchive()) return;
    jar_->archiveName = config_->currentArchive;
    jar_->Run(opTest);
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  } catch (...) {
    services_.prompter.error("Archive does not exits, cannot test !");
  }
}
