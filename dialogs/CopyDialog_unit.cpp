#include "dialogs/CopyDialog_unit.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabBar>
#include <QTabWidget>

#include "dialogs/CopyDialogRules.h"
#include "dialogs/DialogControls.h"
#include "dialogs/FileNameField.h"
#include "dialogs/MemoText.h"
#include "dialogs/VolumeSize.h"
#include "platform/Paths.h"
#include "platform/qt/HashMask.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

constexpr int kOptionsTab = 0;
constexpr int kCommentMaxBytes = 4096;
constexpr const char* kArchiveFilter = "Jar archives (*.j *.jar);;All files (*)";
constexpr const char* kCommentFilter = "Text files (*.txt);;All files (*)";
constexpr const char* kInvalidPasswordMessage = "Invalid password ! Try again.";

QLineEdit* NewPasswordEdit(QWidget* parent, const char* name, const QString& accessibleName) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setAccessibleName(accessibleName);
  platform::UseHashMask(edit);
  edit->setEnabled(false);
  return edit;
}

}  // namespace

TCopyDialog::TCopyDialog(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser,
                         QWidget* owner)
    : QDialog(owner), config_(config), prompter_(prompter), chooser_(chooser) {
  setObjectName("CopyDialog");
  setWindowTitle("Tamber 2.2 - Copy archive with new options");

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("Tabs");
  tabs_->tabBar()->setUsesScrollButtons(false);  // every caption in full: the dialog is as wide as they need
  tabs_->addTab(BuildOptionsPage(), "Options");
  tabs_->addTab(BuildMoreOptionsPage(), "More Options");
  tabs_->addTab(BuildCommentsPage(), "Comments");

  cautionLabel_ = new QLabel("CAUTION:\nTHIS DIALOG \nHAS NOT \nBEEN\nCOMPLETLY\nTESTED\nYET\nSO\nBE\nCAREFUL", this);
  cautionLabel_->setObjectName("Label3");
  cautionLabel_->setAlignment(Qt::AlignCenter);

  okButton_ = new QPushButton("OK", this);
  okButton_->setObjectName("Button1");
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton("Cancel", this);
  cancelButton_->setObjectName("Button2");
  dosboxCheck_ = NewCheckBox(this, "CB_Dosbox", "DosBox");

  auto* top = new QHBoxLayout;
  top->addWidget(tabs_, 1);
  top->addWidget(cautionLabel_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(dosboxCheck_);
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);

  for (QCheckBox* box : {spanCheck_, reserveSpaceCheck_, passwordCheck_, addRecoveryRecordsCheck_, lockCheck_,
                         archiveCommentsCheck_, archiveCommentsFileCheck_, chapterCommentsCheck_,
                         chapterCommentsFileCheck_})
    connect(box, &QCheckBox::toggled, this, &TCopyDialog::UpdateEnabling);
  connect(hideOldPasswordCheck_, &QCheckBox::toggled, this, &TCopyDialog::HidePasswordClick);
  connect(hideNewPasswordCheck_, &QCheckBox::toggled, this, &TCopyDialog::HidePasswordClick);
  connect(okButton_, &QPushButton::clicked, this, &TCopyDialog::OkClick);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  UpdateEnabling();
  HidePasswordClick();

  platform::PlaceDialog(this, owner);
}

QWidget* TCopyDialog::BuildOptionsPage() {
  auto* page = new QWidget;

  auto* output = new QGroupBox("Output archive", page);
  output->setObjectName("GroupBox1");
  outputArchive_ = new FileNameField("FE_OutputArchive", "Output archive", FileNameField::Pick::FileToWrite,
                                     chooser_, output);
  outputArchive_->setHint("Specify output archive.");
  outputArchive_->setFilter(kArchiveFilter);
  outputArchive_->setInitialFolder("/");
  auto* outputLayout = new QVBoxLayout(output);
  outputLayout->addWidget(outputArchive_);

  assumeYesCheck_ = NewCheckBox(page, "CB_AssumeYesOnAll", "Assume Yes On All");

  auto* spanning = new QGroupBox("Multiple Disk Spanning", page);
  spanning->setObjectName("GroupBox2");
  spanCheck_ = NewCheckBox(spanning, "CB_SpanMultipleDisk", "Span multiple disk");
  diskSizeBox_ = NewChoiceBox(spanning, "CO_MultipleDiskSize", "Disk size", VolumeSizeItems());
  diskSizeBox_->setCurrentIndex(kDefaultDiskSizeItem);
  reserveSpaceCheck_ = NewCheckBox(spanning, "CB_ReserveSpace", "Reserve Space:");
  reserveSpaceEdit_ = new QLineEdit(spanning);
  reserveSpaceEdit_->setObjectName("ED_ReserveSpaceSize");
  reserveSpaceEdit_->setAccessibleName("Space to reserve");
  reserveSpaceEdit_->setToolTip(
      "Enter a size that you want to reserve.\nOnly Number accepted or a 'k' at the end, meaning 1024 bytes.\n"
      "There is not check, so enter correctly !");
  reserveSpaceEdit_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(kReserveSpacePattern), reserveSpaceEdit_));
  inhibitCheck_ = NewCheckBox(spanning, "CB_Inhibit", "Inhibit");
  beepCheck_ = NewCheckBox(spanning, "CB_Beep", "Beep");
  auto* spanningLayout = new QGridLayout(spanning);
  spanningLayout->addWidget(spanCheck_, 0, 0);
  spanningLayout->addWidget(diskSizeBox_, 0, 1);
  spanningLayout->addWidget(reserveSpaceCheck_, 1, 0);
  spanningLayout->addWidget(reserveSpaceEdit_, 1, 1);
  auto* switches = new QHBoxLayout;
  switches->addWidget(inhibitCheck_);
  switches->addWidget(beepCheck_);
  switches->addStretch();
  spanningLayout->addLayout(switches, 2, 0, 1, 2);
  spanningLayout->setColumnStretch(1, 1);

  auto* password = new QGroupBox("Password", page);
  password->setObjectName("GroupBox3");
  passwordCheck_ = NewCheckBox(password, "CB_Password", "Add/Change Password");
  oldPasswordLabel_ = new QLabel("Old password:", password);
  oldPasswordEdit_ = NewPasswordEdit(password, "ED_OldPassword", "Old password");
  oldPasswordLabel_->setBuddy(oldPasswordEdit_);
  hideOldPasswordCheck_ = NewCheckBox(password, "CB_HideOldPassword", "Hide", true);
  hideOldPasswordCheck_->setAccessibleName("Hide old password");
  newPasswordLabel_ = new QLabel("New password:", password);
  newPasswordEdit_ = NewPasswordEdit(password, "ED_NewPassword", "New password");
  newPasswordLabel_->setBuddy(newPasswordEdit_);
  hideNewPasswordCheck_ = NewCheckBox(password, "CB_HideNewPassword", "Hide", true);
  hideNewPasswordCheck_->setAccessibleName("Hide new password");
  auto* passwordLayout = new QGridLayout(password);
  passwordLayout->addWidget(passwordCheck_, 0, 0, 1, 3);
  passwordLayout->addWidget(oldPasswordLabel_, 1, 0);
  passwordLayout->addWidget(oldPasswordEdit_, 1, 1);
  passwordLayout->addWidget(hideOldPasswordCheck_, 1, 2);
  passwordLayout->addWidget(newPasswordLabel_, 2, 0);
  passwordLayout->addWidget(newPasswordEdit_, 2, 1);
  passwordLayout->addWidget(hideNewPasswordCheck_, 2, 2);
  passwordLayout->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(output);
  layout->addWidget(assumeYesCheck_);
  layout->addWidget(spanning);
  layout->addWidget(password);
  layout->addStretch();
  return page;
}

QWidget* TCopyDialog::BuildMoreOptionsPage() {
  auto* page = new QWidget;
  addRecoveryRecordsCheck_ =
      NewCheckBox(page, "CB_AddRecoveryRecords", "Add Recovery Records", false,
                  "When unchecked, this will REMOVE\nrecovery records, otherwise it will add\nrecovery records.");
  securityEnvelopeCheck_ = NewCheckBox(page, "CB_Security_Envelope", "Add Security Envelope");
  hideContentsCheck_ =
      NewCheckBox(page, "CB_HideArchiveContents", "Hide Archive Contents", false, "Only useful with password.");
  lockCheck_ = NewCheckBox(page, "CB_LockArchive", "Lock archive:");
  lockOptionBox_ = NewChoiceBox(page, "CO_LockOption", "Lock option", LockOptionItems());
  lockOptionBox_->setCurrentIndex(-1);
  useRecoveryRecordsCheck_ = NewCheckBox(page, "CB_UseRecoveryRecords", "Use Recovery Records");
  testTempArchiveCheck_ = NewCheckBox(page, "CB_TestTempArchive", "Test Temporary Archive");

  auto* lock = new QHBoxLayout;
  lock->addWidget(lockCheck_);
  lock->addWidget(lockOptionBox_);
  lock->addStretch();
  // "Use Recovery Records" sits under the box that enables it.
  auto* useRecords = new QHBoxLayout;
  useRecords->addSpacing(20);
  useRecords->addWidget(useRecoveryRecordsCheck_);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(addRecoveryRecordsCheck_);
  layout->addLayout(useRecords);
  layout->addWidget(securityEnvelopeCheck_);
  layout->addWidget(hideContentsCheck_);
  layout->addLayout(lock);
  layout->addWidget(testTempArchiveCheck_);
  layout->addStretch();
  return page;
}

QWidget* TCopyDialog::BuildCommentsPage() {
  auto* page = new QWidget;
  archiveCommentsCheck_ = NewCheckBox(page, "CB_ArchiveComments", "Archive Comments:");
  archiveCommentsMemo_ = NewMemo(page, "ME_ArchiveComments", "Archive comment", "Maximum comment size is 4 KB.");
  LimitUtf8Bytes(archiveCommentsMemo_, kCommentMaxBytes);
  archiveCommentsFileCheck_ = NewCheckBox(page, "CB_ArchiveCommentsFile", "Use File:");
  archiveCommentsFileCheck_->setAccessibleName("Use file for the archive comment");
  archiveCommentsFile_ = new FileNameField("FE_ArchiveCommentsFile", "Archive comment file",
                                           FileNameField::Pick::ExistingFile, chooser_, page);
  archiveCommentsFile_->setFilter(kCommentFilter);

  chapterCommentsCheck_ = NewCheckBox(page, "CB_ChapterComments", "Chapter Comments:");
  chapterCommentsMemo_ = NewMemo(page, "ME_ChapterComments", "Chapter comment", "Maximum comment size is 4 KB.");
  LimitUtf8Bytes(chapterCommentsMemo_, kCommentMaxBytes);
  chapterCommentsFileCheck_ = NewCheckBox(page, "CB_ChapterCommentsFile", "Use File:");
  chapterCommentsFileCheck_->setAccessibleName("Use file for the chapter comment");
  chapterCommentsFile_ = new FileNameField("FE_ChapterCommentsFile", "Chapter comment file",
                                           FileNameField::Pick::ExistingFile, chooser_, page);
  chapterCommentsFile_->setFilter(kCommentFilter);

  auto* layout = new QGridLayout(page);
  layout->addWidget(archiveCommentsCheck_, 0, 0, 1, 2);
  layout->addWidget(archiveCommentsMemo_, 1, 0, 1, 2);
  layout->addWidget(archiveCommentsFileCheck_, 2, 0);
  layout->addWidget(archiveCommentsFile_, 2, 1);
  layout->addWidget(chapterCommentsCheck_, 3, 0, 1, 2);
  layout->addWidget(chapterCommentsMemo_, 4, 0, 1, 2);
  layout->addWidget(chapterCommentsFileCheck_, 5, 0);
  layout->addWidget(chapterCommentsFile_, 5, 1);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(1, 1);
  layout->setRowStretch(4, 1);
  return page;
}

bool TCopyDialog::Execute() {
  const std::string archiveFolder = platform::FolderPart(config_.currentArchive);
  for (FileNameField* field : {archiveCommentsFile_, chapterCommentsFile_, outputArchive_})
    field->setInitialFolder(archiveFolder);

  QPointer<TCopyDialog> self(this);
  const int result = exec();
  if (!self || result != QDialog::Accepted) return false;
  Transfer();
  SaveRemembered();
  return true;
}

std::string TCopyDialog::outputArchive() const { return outputArchive_->text(); }

bool TCopyDialog::passwordChecked() const { return passwordCheck_->isChecked(); }

void TCopyDialog::setArchiveComment(const std::string& text) {
  archiveCommentsMemo_->setPlainText(QString::fromStdString(text));
  archiveCommentGiven_ = true;
}

void TCopyDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TCopyDialog::FormShow() {
  RestoreRemembered();
  tabs_->setCurrentIndex(kOptionsTab);
  dosboxCheck_->setChecked(config_.showDosbox);

  const CopyFlagState flags = CopyFlagStateOf(config_.jar->archiveFlags);
  if (flags.protectedArchive) passwordCheck_->setChecked(true);
  oldPasswordEdit_->setText(QString::fromStdString(config_.password));
  newPasswordEdit_->setText(QString::fromStdString(config_.password));
  addRecoveryRecordsCheck_->setChecked(flags.recoveryRecords);
  hideContentsCheck_->setChecked(flags.hidden);
  // An existing lock can be kept or dropped, never added.
  lockCheck_->setChecked(flags.lockItem >= 0);
  lockCheck_->setEnabled(flags.lockItem >= 0);
  lockOptionBox_->setCurrentIndex(flags.lockItem);
  UpdateEnabling();
  okButton_->setFocus();
}

void TCopyDialog::UpdateEnabling() {
  const bool spanning = spanCheck_->isChecked();
  diskSizeBox_->setEnabled(spanning);
  reserveSpaceCheck_->setEnabled(spanning);
  reserveSpaceEdit_->setEnabled(spanning && reserveSpaceCheck_->isChecked());
  inhibitCheck_->setEnabled(spanning);
  beepCheck_->setEnabled(spanning);

  const bool password = passwordCheck_->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(oldPasswordLabel_), static_cast<QWidget*>(oldPasswordEdit_),
                     static_cast<QWidget*>(newPasswordLabel_), static_cast<QWidget*>(newPasswordEdit_)})
    w->setEnabled(password);

  useRecoveryRecordsCheck_->setEnabled(addRecoveryRecordsCheck_->isChecked());
  lockOptionBox_->setEnabled(lockCheck_->isChecked());

  const auto comments = [](QCheckBox* use, QPlainTextEdit* memo, QCheckBox* fromFile, FileNameField* file) {
    fromFile->setEnabled(use->isChecked());
    memo->setEnabled(use->isChecked() && !fromFile->isChecked());
    file->setEnabled(use->isChecked() && fromFile->isChecked());
  };
  comments(archiveCommentsCheck_, archiveCommentsMemo_, archiveCommentsFileCheck_, archiveCommentsFile_);
  comments(chapterCommentsCheck_, chapterCommentsMemo_, chapterCommentsFileCheck_, chapterCommentsFile_);
}

void TCopyDialog::HidePasswordClick() {
  platform::SetMasked(oldPasswordEdit_, hideOldPasswordCheck_->isChecked());
  platform::SetMasked(newPasswordEdit_, hideNewPasswordCheck_->isChecked());
}

void TCopyDialog::OkClick() {
  if (passwordCheck_->isChecked()) {
    const std::string oldPassword = oldPasswordEdit_->text().toStdString();
    const std::string newPassword = newPasswordEdit_->text().toStdString();
    QLineEdit* refused = nullptr;
    std::string message;
    if (oldPassword.find('"') != std::string::npos) {
      refused = oldPasswordEdit_;
      message = TConfig::kPasswordQuoteMessage;
    } else if (newPassword.find('"') != std::string::npos) {
      refused = newPasswordEdit_;
      message = TConfig::kPasswordQuoteMessage;
    } else if (!newPassword.empty() && !TConfig::IsValidPassword(newPassword)) {
      // A new password the password dialog would refuse could never be typed again.
      refused = newPasswordEdit_;
      message = kInvalidPasswordMessage;
    }
    if (refused) {
      prompter_.error(message);
      tabs_->setCurrentIndex(kOptionsTab);
      refused->setFocus();
      refused->selectAll();
      return;
    }
  }
  accept();
}

void TCopyDialog::Transfer() {
  TJar& jar = *config_.jar;
  config_.showDosbox = dosboxCheck_->isChecked();
  jar.assumeYes = assumeYesCheck_->isChecked();

  const std::string output = outputArchive_->text();
  jar.useOutputPath = !output.empty();
  if (jar.useOutputPath) jar.SetOutputPath(output);

  const bool spanning = spanCheck_->isChecked();
  jar.multiVolume = spanning;
  jar.reserveSpace = reserveSpaceEdit_->text().toStdString();
  const auto setBit = [&jar](uint8_t bit, bool on) {
    jar.volumeFlags = on ? static_cast<uint8_t>(jar.volumeFlags | bit) : static_cast<uint8_t>(jar.volumeFlags & ~bit);
  };
  setBit(TJar::kVolumeInhibit, spanning && inhibitCheck_->isChecked());
  setBit(TJar::kVolumeBeep, spanning && beepCheck_->isChecked());
  if (spanning) {
    ApplyVolumeSize(jar, diskSizeBox_->currentIndex());
    setBit(TJar::kVolumeReserve, reserveSpaceCheck_->isChecked());
  }

  jar.changePassword = passwordCheck_->isChecked();
  jar.SetNewPassword(newPasswordEdit_->text().toStdString());
  config_.StorePassword(oldPasswordEdit_->text().toStdString());
  jar.usePassword = passwordCheck_->isChecked();

  jar.testTempArchive = testTempArchiveCheck_->isChecked();
  jar.addRecoveryRecords = addRecoveryRecordsCheck_->isChecked();
  // Read through the records only where the box is offered, under a ticked "Add Recovery Records".
  jar.useRecoveryRecords = addRecoveryRecordsCheck_->isChecked() && useRecoveryRecordsCheck_->isChecked();
  jar.hideContents = hideContentsCheck_->isChecked();
  jar.addSecurityEnvelope = securityEnvelopeCheck_->isChecked();
  jar.useArchiveComment = archiveCommentsCheck_->isChecked();
  jar.useChapterComment = chapterCommentsCheck_->isChecked();

  jar.lockMode = LockModeOf(lockCheck_->isChecked(), lockOptionBox_->currentIndex());

  jar.archiveCommentIsText = !archiveCommentsFileCheck_->isChecked();
  jar.chapterCommentIsText = !chapterCommentsFileCheck_->isChecked();
  if (archiveCommentsCheck_->isChecked())
    jar.SetArchiveComment(jar.archiveCommentIsText ? archiveCommentsMemo_->toPlainText().toStdString()
                                                   : platform::StripQuotes(archiveCommentsFile_->text()));
  if (chapterCommentsCheck_->isChecked())
    jar.SetChapterComment(jar.chapterCommentIsText ? chapterCommentsMemo_->toPlainText().toStdString()
                                                   : platform::StripQuotes(chapterCommentsFile_->text()));

  jar.fromCurrentFolder = true;
  jar.sourceFolder = CopySourceFolder(output, config_.currentArchive);
}
