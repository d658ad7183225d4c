// The Add dialog's enable rules, the password box, the work folder and the file browser.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "dialogs/AddBrowser.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/DriveBox.h"
#include "dialogs/PathField.h"
#include "platform/qt/HashMask.h"

void TAddDialog1::RunEnableRules() {
  for (const auto& [box, control] : std::initializer_list<std::pair<QCheckBox*, QWidget*>>{
           {CB_ArchiveBits, CO_ArchiveBits},     {CB_ChapterMode, CO_ChapterMode},
           {CB_LFNProcessing, CO_LFNProcessing}, {CB_LockOption, CO_LockOption},
           {CB_TimeStamp, CO_TimeStamp},         {CB_AccesProtection, CO_AccesProtection},
           {CB_Password, CO_Password},           {CB_WorkDir, DE_WorkDirectory},
           {CB_CreateFileList, DE_CreateFileList}, {CB_ExcludeFiles, ME_ExcludeFiles},
           {CB_Wildcards, ME_Wildcards}})
    control->setEnabled(box->isChecked());
  SpanMultipleDiskClick(false);
  ArchiveCommentsClick();
  ChapterCommentsClick();
  PasswordHideClick();
  ActionChanged();
}

// Spanning enables its four controls; switching it on for an archive on a removable drive
// suggests the console window.
void TAddDialog1::SpanMultipleDiskClick(bool checked) {
  const bool spanning = CB_SpanMultipleDisk->isChecked();
  for (QWidget* control : {static_cast<QWidget*>(CO_MultipleDiskSize), static_cast<QWidget*>(CB_ReserveSpace),
                           static_cast<QWidget*>(CB_Inhibit), static_cast<QWidget*>(CB_Beep)})
    control->setEnabled(spanning);
  ED_ReserveSpaceSize->setEnabled(spanning && CB_ReserveSpace->isChecked());
  TJar* jar = config_.jar;
  if (!checked || !jar) return;
  const std::string archive = droppedMode_ ? FE_ArchiveName->text().toStdString() : jar->archiveName;
  if (!jar->IsRemovableDrive(archive)) return;
  prompter_.info("Multiple disk spanning to removeable drives probably need \"Dosbox\".");
  CB_Dosbox->setChecked(true);
}

namespace {

// A comment group: "Use File:" once comments are added; the memo or else the file field.
void CommentRule(QCheckBox* add, QCheckBox* useFile, QPlainTextEdit* memo, PathField* file) {
  const bool adding = add->isChecked();
  const bool fromFile = useFile->isChecked();
  useFile->setEnabled(adding);
  memo->setEnabled(adding && !fromFile);
  file->setEnabled(adding && fromFile);
}

}  // namespace

void TAddDialog1::ArchiveCommentsClick() {
  CommentRule(CB_ArchiveComments, CB_ArchiveCommentsFile, ME_ArchiveComments, FE_ArchiveCommentsFile);
}

void TAddDialog1::ChapterCommentsClick() {
  CommentRule(CB_ChapterComments, CB_ChapterCommentsFile, ME_ChapterComments, FE_ChapterCommentsFile);
}

// Ticking "Password:" checks a password already in the box (not while a settings file loads: a
// loaded password is checked when the box is left or the dialog accepted).
void TAddDialog1::PasswordClick(bool checked) {
  CO_Password->setEnabled(checked);
  if (!checked || loadingSettings_ || CO_Password->text().isEmpty()) return;
  if (!PasswordExitCheck()) CO_Password->setFocus();
}

void TAddDialog1::PasswordHideClick() {
  platform::SetMasked(CO_Password, CB_PasswordHide->isChecked());
}

bool TAddDialog1::PasswordExitCheck() {
  const std::string text = CO_Password->text().toStdString();
  checkingPassword_ = true;
  bool valid = true;
  if (text.find('"') != std::string::npos) {
    prompter_.error(TConfig::kPasswordQuoteMessage);
    valid = false;
  } else if (!TConfig::IsValidPassword(text)) {
    prompter_.error("Invalid password, please changed");
    valid = false;
  }
  checkingPassword_ = false;
  return valid;
}

// Leaving the password box or the work folder runs its check once the focus has moved, unless the
// focus went to a control that settles the matter itself: its own check box, the action button
// (the closing check follows) or Cancel. An empty box is checked when accepting.
bool TAddDialog1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusOut) return QDialog::eventFilter(watched, event);
  const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
  const bool byUser = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                      reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
  const QWidget* next = QApplication::focusWidget();
  if (!byUser || !next || checkingPassword_ || next == AddBtn || next == cancelButton_) return false;
  if (watched == CO_Password && next != CB_Password && !CO_Password->text().isEmpty()) {
    QMetaObject::invokeMethod(this, [this] {
      if (CB_Password->isChecked() && !PasswordExitCheck()) CO_Password->setFocus();
    }, Qt::QueuedConnection);
  } else if (watched == DE_WorkDirectory->edit() && next != CB_WorkDir && !DE_WorkDirectory->isAncestorOf(next) &&
             !DE_WorkDirectory->text().trimmed().isEmpty()) {
    QMetaObject::invokeMethod(this, [this] {
      if (!WorkDirectoryCheck()) DE_WorkDirectory->setFocus();
    }, Qt::QueuedConnection);
  }
  return false;
}

// While "Work Directory:" is ticked the job follows the field: its text as a folder name ending in
// the separator, kept only when such a folder exists.
void TAddDialog1::WorkDirectoryChange() {
  if (!CB_WorkDir->isChecked() || !config_.jar) return;
  config_.jar->SetWorkFolder(NormalizeFolder(DE_WorkDirectory->text().toStdString()));
}

bool TAddDialog1::WorkDirectoryCheck() {
  if (!CB_WorkDir->isChecked()) return true;
  const std::string folder = NormalizeFolder(DE_WorkDirectory->text().trimmed().toStdString());
  if (!folder.empty() && IsFolder(folder)) return true;
  prompter_.error("Illegal directory specified, please change it.");
  return false;
}

void TAddDialog1::WorkDirectoryBrowse() {
  const std::string folder = NormalizeFolder(DE_WorkDirectory->text().trimmed().toStdString());
  if (!folder.empty()) DE_WorkDirectory->setText(QString::fromStdString(folder));
  const std::optional<std::string> chosen =
      chooser_.folder("Work Directory", folder.empty() ? pickerFolder_ : folder, true);
  if (chosen) DE_WorkDirectory->setText(QString::fromStdString(NormalizeFolder(*chosen)));
}

void TAddDialog1::UpOneLevelClick() {
  if (!browser_->GoUp()) prompter_.error("You cannot go a level higher !");
}

void TAddDialog1::SelectAllClick() {
  if (selectAllToggle_)
    browser_->DeselectAll();
  else
    browser_->SelectAll();
  selectAllToggle_ = !selectAllToggle_;
  selectAllButton_->setChecked(selectAllToggle_);
}

// A volume chosen in the drive box: the browser goes to its root, or back where it was.
void TAddDialog1::DriveChange(int index) {
  if (settingUp_ || index < 0) return;
  const QString before = browser_->Folder();
  QString root = QString::fromStdString(driveBox_->rootPath());
  if (root.isEmpty()) root = "/";
  if (browser_->SetFolder(root)) return;
  prompter_.plain("error");
  if (!browser_->SetFolder(before)) driveBox_->ShowFolder(before.toStdString());
}

void TAddDialog1::BrowserFolderChanged() {
  currentFolderEdit_->setText(browser_->Folder());
  driveBox_->ShowFolder(browser_->Folder().toStdString());
}
