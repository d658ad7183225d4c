#include "dialogs/AddDialog1_unit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

#include "config/ErrorForm_unit.h"
#include "dialogs/AddBrowser.h"
#include "dialogs/DriveBox.h"
#include "dialogs/PathField.h"
#include "driver/AppTitle.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The operation of each item of the Action box, in item order.
constexpr JarOperation kActions[] = {opAdd, opAddChapter, opFreshen, opMove, opUpdate};

}  // namespace

TAddDialog1::TAddDialog1(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser,
                         QWidget* owner)
    : QDialog(owner), config_(config), prompter_(prompter), chooser_(chooser) {
  setObjectName("AddDialog1");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - Add Files");
  setSizeGripEnabled(true);
  BuildControls();
  ConnectHandlers();
  RunEnableRules();
  ApplyMode(false);
  currentFolder_ = config_.programFolder;
}

TAddDialog1::~TAddDialog1() = default;

void TAddDialog1::ConnectHandlers() {
  connect(AddBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(loadButton_, &QPushButton::clicked, this, [this] { LoadSettings(""); });
  connect(saveButton_, &QPushButton::clicked, this, &TAddDialog1::SaveSettings);
  connect(checkButton_, &QPushButton::clicked, this, &TAddDialog1::CheckClick);
  connect(NewBtn, &QPushButton::clicked, this, [this] { ArchiveNameBrowse("New file", false); });
  connect(OpenBtn, &QPushButton::clicked, this, [this] { ArchiveNameBrowse("Open file", true); });
  connect(FE_ArchiveName, &PathField::browseClicked, this,
          [this] { ArchiveNameBrowse("New file/Open file", false); });

  connect(upButton_, &QToolButton::clicked, this, &TAddDialog1::UpOneLevelClick);
  connect(browser_, &adddialog::FolderBrowser::UpRequested, this, &TAddDialog1::UpOneLevelClick);
  connect(selectAllButton_, &QToolButton::clicked, this, &TAddDialog1::SelectAllClick);
  connect(driveBox_, &QComboBox::activated, this, &TAddDialog1::DriveChange);
  connect(browser_, &adddialog::FolderBrowser::FolderChanged, this, &TAddDialog1::BrowserFolderChanged);

  connect(CO_Action, &QComboBox::currentIndexChanged, this, &TAddDialog1::ActionChanged);
  connect(CO_Action, &QComboBox::editTextChanged, this, &TAddDialog1::ActionChanged);
  connect(CB_SpanMultipleDisk, &QCheckBox::toggled, this, &TAddDialog1::SpanMultipleDiskClick);
  connect(CB_ReserveSpace, &QCheckBox::toggled, this, [this](bool checked) {
    ED_ReserveSpaceSize->setEnabled(checked && CB_SpanMultipleDisk->isChecked());
  });
  const std::pair<QCheckBox*, QWidget*> enables[] = {
      {CB_ArchiveBits, CO_ArchiveBits},     {CB_ChapterMode, CO_ChapterMode},
      {CB_LFNProcessing, CO_LFNProcessing}, {CB_LockOption, CO_LockOption},
      {CB_TimeStamp, CO_TimeStamp},         {CB_AccesProtection, CO_AccesProtection},
      {CB_WorkDir, DE_WorkDirectory},       {CB_CreateFileList, DE_CreateFileList},
      {CB_ExcludeFiles, ME_ExcludeFiles},   {CB_Wildcards, ME_Wildcards}};
  for (const auto& [box, control] : enables) connect(box, &QCheckBox::toggled, control, &QWidget::setEnabled);
  for (QCheckBox* box : {CB_ArchiveComments, CB_ArchiveCommentsFile})
    connect(box, &QCheckBox::toggled, this, &TAddDialog1::ArchiveCommentsClick);
  for (QCheckBox* box : {CB_ChapterComments, CB_ChapterCommentsFile})
    connect(box, &QCheckBox::toggled, this, &TAddDialog1::ChapterCommentsClick);
  connect(CB_Password, &QCheckBox::toggled, this, &TAddDialog1::PasswordClick);
  connect(CB_PasswordHide, &QCheckBox::toggled, this, &TAddDialog1::PasswordHideClick);
  connect(CB_Dosbox, &QCheckBox::toggled, CB_Dosbox2, &QCheckBox::setChecked);
  connect(CB_Dosbox2, &QCheckBox::toggled, CB_Dosbox, &QCheckBox::setChecked);

  connect(DE_WorkDirectory->edit(), &QLineEdit::textChanged, this, &TAddDialog1::WorkDirectoryChange);
  DE_WorkDirectory->edit()->installEventFilter(this);
  connect(DE_WorkDirectory, &PathField::browseClicked, this, &TAddDialog1::WorkDirectoryBrowse);
  connect(DE_FromDirectory, &PathField::browseClicked, this,
          [this] { PathBrowse(DE_FromDirectory, true, true, ""); });
  connect(DE_CreateFileList, &PathField::browseClicked, this,
          [this] { PathBrowse(DE_CreateFileList, false, false, ""); });
  const std::string commentFilter =
      "All files (*);;Text files (*.txt);;Description files (*.diz);;Info files (*.nfo)";
  connect(FE_ArchiveCommentsFile, &PathField::browseClicked, this,
          [this, commentFilter] { PathBrowse(FE_ArchiveCommentsFile, false, true, commentFilter); });
  connect(FE_ChapterCommentsFile, &PathField::browseClicked, this,
          [this, commentFilter] { PathBrowse(FE_ChapterCommentsFile, false, true, commentFilter); });
}

bool TAddDialog1::Execute(const std::string& startFolder, const std::vector<std::string>& droppedNames,
                          const std::string& droppedFolder, const std::string& archiveName, bool droppedMode) {
  droppedMode_ = droppedMode;
  ApplyMode(droppedMode);
  if (droppedMode) {
    const std::string folder = platform::FolderPart(archiveName);
    DE_FromDirectory->setText(Q(folder.empty() ? config_.systemTempFolder : folder));
    droppedNames_ = droppedNames;
    droppedCountLabel_->setText(QString::number(droppedNames.size()));
    const std::string newFolder = droppedFolder.empty() ? config_.programFolder : droppedFolder;
    FE_ArchiveName->setText(Q(platform::FileNamePart(archiveName).empty() ? JoinFolderAndName(newFolder, "Untitled")
                                                                           : archiveName));
  } else {
    settingUp_ = true;
    selectAllToggle_ = false;
    selectAllButton_->setChecked(false);
    currentFolder_ = startFolder;
  }
  CB_Dosbox->setChecked(config_.showDosbox);
  pickerFolder_ = startFolder;
  if (!config_.password.empty()) {
    CO_Password->setText(Q(config_.password));
    CB_Password->setChecked(true);
    PasswordClick(true);
  }
  if (!droppedMode) {
    currentFolder_ = platform::WithoutTrailingSeparator(currentFolder_);
    driveBox_->SetVolumes(MountedVolumes());
    driveBox_->ShowFolder(startFolder);
    browser_->DeselectAll();
  }

  QSize& remembered = droppedMode ? droppedModeSize_ : browserModeSize_;
  grid_->activate();
  resize(remembered.isValid() ? remembered.expandedTo(minimumSizeHint()) : sizeHint());
  platform::PlaceDialog(this, parentWidget());
  showing_ = true;
  QPointer<TAddDialog1> self(this);
  const int result = exec();
  if (!self) return true;
  remembered = size();
  cancelled_ = result != QDialog::Accepted;
  if (!browser_->Folder().isEmpty()) currentFolder_ = browser_->Folder().toStdString();

  TJar* jar = config_.jar;
  if (cancelled_ || !jar) return cancelled_;
  TransferOptions(*jar, !droppedMode);
  if (droppedMode) {
    BuildDroppedFileList(*jar);
    targetArchive_ = FE_ArchiveName->text().toStdString();
  } else {
    BuildBrowserFileList(*jar);
  }
  return cancelled_;
}

void TAddDialog1::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!showing_) return;
  showing_ = false;
  AddBtn->setFocus();
  tabs_->setCurrentIndex(0);
  if (!browser_->SetFolder(Q(currentFolder_))) browser_->SetFolder(QDir::currentPath());
  settingUp_ = false;
}

void TAddDialog1::done(int result) {
  if (result == QDialog::Accepted && !CanClose()) return;
  QDialog::done(result);
}

bool TAddDialog1::CanClose() {
  if (CB_Password->isChecked() && !PasswordExitCheck()) {
    CO_Password->setFocus();
    return false;
  }
  if (CO_Action->findText(CO_Action->currentText(), Qt::MatchExactly) < 0) {
    prompter_.error("Something is wrong with the \"Action\", please change");
    CO_Action->setFocus();
    return false;
  }
  if (!WorkDirectoryCheck()) {
    DE_WorkDirectory->setFocus();
    return false;
  }
  return true;
}

void TAddDialog1::ActionChanged() {
  const int index = CO_Action->findText(CO_Action->currentText(), Qt::MatchExactly);
  if (index < 0) return;
  AddBtn->setText(CO_Action->itemText(index));
  operation_ = kActions[index];
}

void TAddDialog1::ResetChoices() {
  CO_Action->setCurrentIndex(0);
  CO_Compression->setCurrentIndex(3);
  CO_MultipleDiskSize->setCurrentIndex(3);
  for (QComboBox* box : {CO_ArchiveBits, CO_TimeStamp, CO_LockOption, CO_ChapterMode, CO_LFNProcessing,
                         CO_AccesProtection})
    box->setCurrentIndex(0);
}

void TAddDialog1::CheckClick() {
  TErrorForm viewer(this);
  viewer.setWindowTitle(QString::fromUtf8(kAppTitle) + " - Check Dropped/Commandline Files");
  QStringList lines;
  for (const std::string& name : droppedNames_) lines << Q(name);
  viewer.Memo1->setPlainText(lines.join('\n'));
  viewer.Execute("");
}

void TAddDialog1::ArchiveNameBrowse(const char* title, bool existing) {
  const std::string current = FE_ArchiveName->text().toStdString();
  const std::string filter = "Jar Files (*.j *.jar);;All files (*)";
  std::optional<std::string> chosen = existing ? chooser_.openFile(title, platform::FolderPart(current), filter)
                                               : chooser_.saveFile(title, current, filter);
  if (!chosen) return;
  if (!existing && platform::ExtensionPart(*chosen).empty()) *chosen += ".j";
  FE_ArchiveName->setText(Q(*chosen));
}

void TAddDialog1::PathBrowse(PathField* field, bool folder, bool existing, const std::string& filter) {
  const std::string title = field->edit()->accessibleName().toStdString();
  const std::string text = field->text().trimmed().toStdString();
  const std::string start = field == DE_FromDirectory && !text.empty() ? text : pickerFolder_;
  std::optional<std::string> chosen = folder     ? chooser_.folder(title, start, true)
                                      : existing ? chooser_.openFile(title, start, filter)
                                                 : chooser_.saveFile(title, start, filter);
  if (chosen) field->setText(Q(*chosen));
}

bool TAddDialog1::fromCurrentFolder() const { return CB_FromCurrentDir->isChecked(); }
bool TAddDialog1::fromDirectoryChecked() const { return CB_FromDirectory->isChecked(); }
std::string TAddDialog1::fromDirectory() const { return DE_FromDirectory->text().toStdString(); }

void TAddDialog1::setArchiveComment(const std::string& text) { ME_ArchiveComments->setPlainText(Q(text)); }

void TAddDialog1::setPassword(const std::string& password, bool checked) {
  CO_Password->setText(Q(password));
  CB_Password->setChecked(checked);
}
