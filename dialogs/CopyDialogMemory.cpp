// The Copy dialog's controls remembered between uses, under TCopyDialog::kKey: check boxes as
// numbers 0/1, texts and file names as strings, memo lines as one string with line breaks.
// A value that is missing or of another type leaves its control as it is.

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "dialogs/CopyDialogRules.h"
#include "dialogs/CopyDialog_unit.h"
#include "dialogs/FileNameField.h"

std::vector<std::pair<const char*, QCheckBox*>> TCopyDialog::RememberedChecks() const {
  return {
      {"CB_AddRecoveryRecords.Checked", addRecoveryRecordsCheck_},
      {"CB_ArchiveComments.Checked", archiveCommentsCheck_},
      {"CB_ArchiveCommentsFile.Checked", archiveCommentsFileCheck_},
      {"CB_AssumeYesOnAll.Checked", assumeYesCheck_},
      {"CB_Beep.Checked", beepCheck_},
      {"CB_ChapterComments.Checked", chapterCommentsCheck_},
      {"CB_ChapterCommentsFile.Checked", chapterCommentsFileCheck_},
      {"CB_HideArchiveContents.Checked", hideContentsCheck_},
      {"CB_HideNewPassword.Checked", hideNewPasswordCheck_},
      {"CB_HideOldPassword.Checked", hideOldPasswordCheck_},
      {"CB_Inhibit.Checked", inhibitCheck_},
      {"CB_LockArchive.Checked", lockCheck_},
      {"CB_Password.Checked", passwordCheck_},
      {"CB_ReserveSpace.Checked", reserveSpaceCheck_},
      {"CB_SpanMultipleDisk.Checked", spanCheck_},
      {"CB_TestTempArchive.Checked", testTempArchiveCheck_},
      {"CB_UseRecoveryRecords.Checked", useRecoveryRecordsCheck_},
  };
}

void TCopyDialog::RestoreRemembered() {
  platform::SettingsStore& store = config_.store();
  for (const auto& [name, box] : RememberedChecks())
    if (std::optional<uint32_t> number = store.readNumber(kKey, name)) box->setChecked(*number != 0);

  const QRegularExpression reserveSpace(QRegularExpression::anchoredPattern(kReserveSpacePattern));
  const auto field = [](FileNameField* f) { return [f](const std::string& text) { f->setText(text); }; };
  const auto memo = [](QPlainTextEdit* m) {
    return [m](const std::string& text) { m->setPlainText(QString::fromStdString(text)); };
  };
  const std::pair<const char*, std::function<void(const std::string&)>> texts[] = {
      {"ED_ReserveSpaceSize.Text",
       [this, reserveSpace](const std::string& text) {
         // Only what the box itself would take.
         const QString value = QString::fromStdString(text);
         if (value.isEmpty() || reserveSpace.match(value).hasMatch()) reserveSpaceEdit_->setText(value);
       }},
      {"FE_ArchiveCommentsFile.FileName", field(archiveCommentsFile_)},
      {"FE_ChapterCommentsFile.FileName", field(chapterCommentsFile_)},
      {"FE_OutputArchive.FileName", field(outputArchive_)},
      {"FE_ArchiveCommentsFile.Text", field(archiveCommentsFile_)},
      {"FE_ChapterCommentsFile.Text", field(chapterCommentsFile_)},
      {"FE_OutputArchive.Text", field(outputArchive_)},
      // The open archive's own comment, when the main window gave it, is not replaced.
      {"ME_ArchiveComments.Lines",
       archiveCommentGiven_ ? std::function<void(const std::string&)>() : memo(archiveCommentsMemo_)},
      {"ME_ChapterComments.Lines", memo(chapterCommentsMemo_)},
  };
  for (const auto& [name, set] : texts)
    if (set)
      if (std::optional<std::string> text = store.readString(kKey, name)) set(*text);
}

void TCopyDialog::SaveRemembered() {
  platform::SettingsStore& store = config_.store();
  for (const auto& [name, box] : RememberedChecks()) store.writeNumber(kKey, name, box->isChecked() ? 1 : 0);
  const std::pair<const char*, std::string> texts[] = {
      {"ED_ReserveSpaceSize.Text", reserveSpaceEdit_->text().toStdString()},
      {"FE_ArchiveCommentsFile.FileName", archiveCommentsFile_->text()},
      {"FE_ChapterCommentsFile.FileName", chapterCommentsFile_->text()},
      {"FE_OutputArchive.FileName", outputArchive_->text()},
      {"FE_ArchiveCommentsFile.Text", archiveCommentsFile_->text()},
      {"FE_ChapterCommentsFile.Text", chapterCommentsFile_->text()},
      {"FE_OutputArchive.Text", outputArchive_->text()},
      {"ME_ArchiveComments.Lines", archiveCommentsMemo_->toPlainText().toStdString()},
      {"ME_ChapterComments.Lines", chapterCommentsMemo_->toPlainText().toStdString()},
  };
  for (const auto& [name, text] : texts) store.writeString(kKey, name, text);
  // The dialog shows no messages: a store that cannot be written keeps the values for this run.
  store.save();
}
