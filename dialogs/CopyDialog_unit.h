#pragma once
// TCopyDialog: copies the open archive, in place or into another archive file, with new
// archive-level options (password, lock, hidden contents, recovery records, security envelope,
// disk spanning, comments), moved into the job (*config.jar) on OK. Most controls keep their
// values from one use to the next in the settings store.

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "config/TConfig.h"
#include "driver/TJarExec_unit.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"

class FileNameField;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

class TCopyDialog : public QDialog {
  Q_OBJECT

 public:
  // The settings key of the remembered controls.
  static constexpr const char* kKey = "\\Software\\TAMBER\\CopyDialog";

  TCopyDialog(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser, QWidget* owner);

  // Shows the dialog modally. Returns accepted: true when closed with OK (the job then holds the
  // options of opCopyArchive and the remembered values are saved); false leaves everything as it was.
  bool Execute();

  std::string outputArchive() const;   // FE_OutputArchive
  bool passwordChecked() const;        // CB_Password
  // The open archive's comment, shown in ME_ArchiveComments. Set before Execute, it is what the
  // dialog shows: the comment remembered from an earlier use does not replace it.
  void setArchiveComment(const std::string& text);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildOptionsPage();
  QWidget* BuildMoreOptionsPage();
  QWidget* BuildCommentsPage();
  void FormShow();
  void UpdateEnabling();
  void HidePasswordClick();
  void OkClick();
  void Transfer();
  void RestoreRemembered();
  void SaveRemembered();
  std::vector<std::pair<const char*, QCheckBox*>> RememberedChecks() const;

  TConfig& config_;
  platform::Prompter& prompter_;
  platform::FileChooser& chooser_;
  bool archiveCommentGiven_ = false;

  QTabWidget* tabs_;
  QLabel* cautionLabel_;                  // Label3
  FileNameField* outputArchive_;          // FE_OutputArchive
  QCheckBox* assumeYesCheck_;             // CB_AssumeYesOnAll
  QCheckBox* spanCheck_;                  // CB_SpanMultipleDisk
  QComboBox* diskSizeBox_;                // CO_MultipleDiskSize
  QCheckBox* reserveSpaceCheck_;          // CB_ReserveSpace
  QLineEdit* reserveSpaceEdit_;           // ED_ReserveSpaceSize
  QCheckBox* inhibitCheck_;               // CB_Inhibit
  QCheckBox* beepCheck_;                  // CB_Beep
  QCheckBox* passwordCheck_;              // CB_Password
  QLabel* oldPasswordLabel_;
  QLineEdit* oldPasswordEdit_;            // ED_OldPassword
  QCheckBox* hideOldPasswordCheck_;       // CB_HideOldPassword
  QLabel* newPasswordLabel_;
  QLineEdit* newPasswordEdit_;            // ED_NewPassword
  QCheckBox* hideNewPasswordCheck_;       // CB_HideNewPassword
  QCheckBox* addRecoveryRecordsCheck_;    // CB_AddRecoveryRecords
  QCheckBox* securityEnvelopeCheck_;      // CB_Security_Envelope
  QCheckBox* hideContentsCheck_;          // CB_HideArchiveContents
  QCheckBox* lockCheck_;                  // CB_LockArchive
  QComboBox* lockOptionBox_;              // CO_LockOption
  QCheckBox* useRecoveryRecordsCheck_;    // CB_UseRecoveryRecords
  QCheckBox* testTempArchiveCheck_;       // CB_TestTempArchive
  QCheckBox* archiveCommentsCheck_;       // CB_ArchiveComments
  QPlainTextEdit* archiveCommentsMemo_;   // ME_ArchiveComments
  QCheckBox* archiveCommentsFileCheck_;   // CB_ArchiveCommentsFile
  FileNameField* archiveCommentsFile_;    // FE_ArchiveCommentsFile
  QCheckBox* chapterCommentsCheck_;       // CB_ChapterComments
  QPlainTextEdit* chapterCommentsMemo_;   // ME_ChapterComments
  QCheckBox* chapterCommentsFileCheck_;   // CB_ChapterCommentsFile
  FileNameField* chapterCommentsFile_;    // FE_ChapterCommentsFile
  QPushButton* okButton_;                 // Button1
  QPushButton* cancelButton_;             // Button2
  QCheckBox* dosboxCheck_;                // CB_Dosbox
};
