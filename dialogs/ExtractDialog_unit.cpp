#include "dialogs/ExtractDialog_unit.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include "dialogs/ChapterRange.h"
#include "dialogs/DialogControls.h"
#include "dialogs/DriveBox.h"
#include "dialogs/MemoText.h"
#include "dialogs/NameTransfer.h"
#include "platform/Files.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

constexpr int kExcludeTab = 2;
constexpr int kModeOff = 3;  // freshenMode and updateMode when the switch is not chosen

const QStringList kModeItems = {"Newer Files", "Older Files", "Date,etc Changed"};

constexpr const char* kNoTargetMessage = "Please enter the folder to extract to !";
constexpr const char* kBadTargetMessage = "A folder to extract to cannot contain the characters \" and ? :\n";

}  // namespace

TExtractDialog::TExtractDialog(TConfig& config, platform::Prompter& prompter, platform::FileChooser& /*chooser*/,
                               QWidget* owner)
    : QDialog(owner), config_(config), prompter_(prompter) {
  setObjectName("ExtractDialog");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - Extract File(s)");
  BuildControls();
  platform::PlaceDialog(this, owner);
}

void TExtractDialog::BuildControls() {
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("Tabs");
  tabs_->tabBar()->setUsesScrollButtons(false);  // every caption in full: the dialog is as wide as they need
  tabs_->addTab(BuildOptionsPage(), "Options");
  tabs_->addTab(BuildSwitchesPage(), "Switches");
  excludeMemo_ = NewMemo(this, "Memo1", "Names to exclude");
  tabs_->addTab(excludeMemo_, "&Exclude Files");

  extractButton_ = new QPushButton("&Extract", this);
  extractButton_->setObjectName("Button2");
  extractButton_->setDefault(true);
  cancelButton_ = new QPushButton("&Cancel", this);
  cancelButton_->setObjectName("Button3");
  dosboxCheck_ = NewCheckBox(this, "CB_Dosbox", "Dosbox");

  auto* right = new QVBoxLayout;
  right->addWidget(tabs_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(dosboxCheck_);
  buttons->addStretch();
  buttons->addWidget(extractButton_);
  buttons->addWidget(cancelButton_);
  right->addLayout(buttons);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(BuildFolderPane(), 1);
  layout->addLayout(right);

  connect(whatGroup_, &QButtonGroup::buttonToggled, this, &TExtractDialog::WhatToExtractClick);
  connect(chaptersCheck_, &QCheckBox::toggled, this, &TExtractDialog::ChaptersClick);
  connect(dosboxCheck_, &QCheckBox::toggled, this, &TExtractDialog::DosboxClick);
  connect(freshenCheck_, &QCheckBox::toggled, freshenBox_, &QWidget::setEnabled);
  connect(updateCheck_, &QCheckBox::toggled, updateBox_, &QWidget::setEnabled);
  connect(goToFolderButton_, &QToolButton::clicked, this, &TExtractDialog::SpeedButton1Click);
  connect(extractButton_, &QPushButton::clicked, this, &TExtractDialog::ExtractClick);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(folderEdit_, goToFolderButton_);
  setTabOrder(goToFolderButton_, folderTree_);
  setTabOrder(folderTree_, driveBox_);
  setTabOrder(driveBox_, tabs_);
  resize(600, 380);
}

QWidget* TExtractDialog::BuildFolderPane() {
  auto* pane = new QWidget(this);
  directoryLabel_ = new QLabel("Directory:", pane);
  directoryLabel_->setObjectName("Label1");
  folderEdit_ = new QLineEdit(pane);
  folderEdit_->setObjectName("FileBox");
  folderEdit_->setAccessibleName("Directory");
  directoryLabel_->setBuddy(folderEdit_);
  goToFolderButton_ = new QToolButton(pane);
  goToFolderButton_->setObjectName("SpeedButton1");
  goToFolderButton_->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
  goToFolderButton_->setAccessibleName("Go to the typed folder");
  goToFolderButton_->setToolTip("Show the typed folder in the list");
  goToFolderButton_->setFocusPolicy(Qt::StrongFocus);

  folderModel_ = new QFileSystemModel(this);
  folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  folderModel_->setReadOnly(true);
  folderModel_->setRootPath("");
  folderTree_ = new QTreeView(pane);
  folderTree_->setObjectName("DirBox");
  folderTree_->setAccessibleName("Folders");
  folderTree_->setModel(folderModel_);
  for (int column = 1; column < folderModel_->columnCount(); ++column) folderTree_->hideColumn(column);
  folderTree_->setHeaderHidden(true);
  folderTree_->setUniformRowHeights(true);
  folderTree_->setSortingEnabled(true);
  folderTree_->sortByColumn(0, Qt::AscendingOrder);
  folderTree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  folderTree_->header()->setStretchLastSection(false);
  folderTree_->setMinimumWidth(200);
  folderTree_->viewport()->installEventFilter(this);
  folderTree_->installEventFilter(this);

  driveBox_ = new DriveBox(pane);

  connect(folderTree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid()) return;
            const QString folder = folderModel_->filePath(current);
            folderEdit_->setText(folder);
            driveBox_->ShowFolder(folder.toStdString());
          });
  // The list fills and sorts itself in the background: each folder read on the way to the listed
  // one moves it, so it is shown again until the user takes over the list (see eventFilter).
  connect(folderModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    const QModelIndex current = folderTree_->currentIndex();
    if (!scrollPending_ || !current.isValid()) return;
    const QString listed = folderModel_->filePath(current);
    const QString below = loaded.endsWith('/') ? loaded : loaded + '/';
    if (listed == loaded || listed.startsWith(below))
      folderTree_->scrollTo(current, QAbstractItemView::PositionAtCenter);
  });
  // Sorting comes a moment after the reading.
  connect(folderModel_, &QAbstractItemModel::layoutChanged, this, [this] {
    if (scrollPending_ && folderTree_->currentIndex().isValid())
      folderTree_->scrollTo(folderTree_->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  connect(driveBox_, &DriveBox::driveChosen, this,
          [this](const QString& root) { SetListedFolder(root.toStdString()); });

  auto* path = new QHBoxLayout;
  path->setSpacing(2);
  path->addWidget(folderEdit_, 1);
  path->addWidget(goToFolderButton_);
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(directoryLabel_);
  layout->addLayout(path);
  layout->addWidget(folderTree_, 1);
  layout->addWidget(driveBox_);
  return pane;
}

QWidget* TExtractDialog::BuildOptionsPage() {
  auto* page = new QWidget;
  auto* what = new QGroupBox("Extract What?", page);
  what->setObjectName("GroupBox1");
  allFiles_ = NewRadioButton(what, "AllFiles", "All Files");
  selectedFiles_ = NewRadioButton(what, "SelectedFiles", "Selected Files");
  wildcards_ = NewRadioButton(what, "Wildcards", "Wildcards");
  allFiles_->setChecked(true);
  whatGroup_ = new QButtonGroup(this);
  for (QRadioButton* button : {allFiles_, selectedFiles_, wildcards_}) whatGroup_->addButton(button);
  auto* whatLayout = new QVBoxLayout(what);
  whatLayout->addWidget(allFiles_);
  whatLayout->addWidget(selectedFiles_);
  whatLayout->addWidget(wildcards_);

  chaptersCheck_ = NewCheckBox(page, "CheckBox6", "Chapters:", false,
                               "If unchecked and there are multiple\nchapter, the last chapter will be \nextracted.");
  chapters_ = new ChapterRange(page);
  auto* range = new QHBoxLayout;
  range->addWidget(chaptersCheck_);
  range->addWidget(chapters_->from());
  range->addWidget(chapters_->toLabel());
  range->addWidget(chapters_->to());
  range->addStretch();

  overwriteCheck_ = NewCheckBox(page, "OverwriteCheckBox", "Assume Yes On All Queries", true,
                                "Also use this for overwriting existing files.");
  folderNamesCheck_ = NewCheckBox(page, "FolderNamesCheckBox", "Use Folder names", true);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(what);
  layout->addLayout(range);
  layout->addWidget(overwriteCheck_);
  layout->addWidget(folderNamesCheck_);
  layout->addStretch();
  return page;
}

QWidget* TExtractDialog::BuildSwitchesPage() {
  auto* page = new QWidget;
  freshenCheck_ = NewCheckBox(page, "CheckBox5", "Freshen:");
  freshenBox_ = NewChoiceBox(page, "ComboBox1", "Freshen which files", kModeItems);
  updateCheck_ = NewCheckBox(page, "UpdateCBox", "Update:");
  updateBox_ = NewChoiceBox(page, "UpdateBox", "Update which files", kModeItems);
  for (QComboBox* box : {freshenBox_, updateBox_}) {
    box->setCurrentIndex(0);
    box->setEnabled(false);
  }
  queryEachFileCheck_ = NewCheckBox(page, "CheckBox1", "Query on each file");
  recoverBrokenCheck_ = NewCheckBox(page, "CheckBox2", "Recover Broken Archive");
  skipSecurityTestCheck_ = NewCheckBox(page, "CheckBox3", "Skip Security Envelope Test");
  useRecoveryRecordsCheck_ = NewCheckBox(page, "CheckBox4", "Use recovery records");

  auto* modes = new QGridLayout;
  modes->addWidget(freshenCheck_, 0, 0);
  modes->addWidget(freshenBox_, 0, 1);
  modes->addWidget(updateCheck_, 1, 0);
  modes->addWidget(updateBox_, 1, 1);
  modes->setColumnStretch(2, 1);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(modes);
  layout->addWidget(queryEachFileCheck_);
  layout->addWidget(recoverBrokenCheck_);
  layout->addWidget(skipSecurityTestCheck_);
  layout->addWidget(useRecoveryRecordsCheck_);
  layout->addStretch();
  return page;
}

bool TExtractDialog::Execute(int selectedCount, const std::string& startFolder) {
  selectedFiles_->setEnabled(selectedCount > 0);
  (selectedCount > 0 ? selectedFiles_ : allFiles_)->setChecked(true);
  WhatToExtractClick();
  dosboxCheck_->setChecked(config_.showDosbox);
  DosboxClick();
  excludeMemo_->clear();
  const std::string start = startFolder.empty() ? config_.programFolder : startFolder;
  if (!SetListedFolder(start)) folderEdit_->setText(QString::fromStdString(start));

  QPointer<TExtractDialog> self(this);
  const int result = exec();
  if (!self || result != QDialog::Accepted) return true;
  Transfer();
  return false;
}

bool TExtractDialog::selectedFiles() const { return selectedFiles_->isChecked(); }

void TExtractDialog::setChapters(bool available, int lastChapter) {
  if (available) {
    chapters_->SetLastChapter(lastChapter);
  } else {
    chaptersCheck_->setChecked(false);
  }
  chaptersCheck_->setEnabled(available);
}

void TExtractDialog::setUseRecoveryRecords(bool checked) { useRecoveryRecordsCheck_->setChecked(checked); }

std::string TExtractDialog::listedFolder() const {
  const QModelIndex current = folderTree_->currentIndex();
  return current.isValid() ? folderModel_->filePath(current).toStdString() : std::string();
}

bool TExtractDialog::SetListedFolder(const std::string& folder) {
  if (folder.empty() || !platform::IsFolder(folder)) return false;
  const QString path = QDir::cleanPath(QFileInfo(QString::fromStdString(folder)).absoluteFilePath());
  const QModelIndex index = folderModel_->index(path);
  if (!index.isValid()) return false;
  folderTree_->setCurrentIndex(index);
  folderTree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  scrollPending_ = true;
  folderEdit_->setText(folderModel_->filePath(index));
  driveBox_->ShowFolder(folderModel_->filePath(index).toStdString());
  return true;
}

bool TExtractDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
      scrollPending_ = false;
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void TExtractDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  tabs_->setCurrentIndex(0);
  folderEdit_->setFocus();
}

void TExtractDialog::WhatToExtractClick() {
  tabs_->setTabText(kExcludeTab, wildcards_->isChecked() ? "&Wildcards" : "&Exclude Files");
  excludeMemo_->setAccessibleName(wildcards_->isChecked() ? "Wildcards to extract" : "Names to exclude");
}

void TExtractDialog::ChaptersClick() { chapters_->SetEnabled(chaptersCheck_->isChecked()); }

void TExtractDialog::DosboxClick() {
  // Questions can be answered only in a visible console.
  queryEachFileCheck_->setEnabled(dosboxCheck_->isChecked());
  overwriteCheck_->setEnabled(dosboxCheck_->isChecked());
}

void TExtractDialog::SpeedButton1Click() {
  const std::string typed = NormalizeFolder(folderEdit_->text().toStdString());
  if (!SetListedFolder(typed)) folderEdit_->setText(QString::fromStdString(typed));
}

void TExtractDialog::ExtractClick() {
  const NameLines lines = ReadNameLines(excludeMemo_->toPlainText());
  if (lines.refused) {
    prompter_.error(kNameQuoteMessage + *lines.refused);
    tabs_->setCurrentIndex(kExcludeTab);
    excludeMemo_->setFocus();
    return;
  }
  const std::string target = NormalizeFolder(folderEdit_->text().toStdString());
  if (target.empty() || target.find_first_of("\"?") != std::string::npos) {
    prompter_.error(target.empty() ? std::string(kNoTargetMessage) : kBadTargetMessage + target);
    folderEdit_->setFocus();
    return;
  }
  accept();
}

void TExtractDialog::Transfer() {
  TJar& jar = *config_.jar;
  config_.showDosbox = dosboxCheck_->isChecked();
  TransferNames(jar, allFiles_->isChecked(), wildcards_->isChecked(),
                ReadNameLines(excludeMemo_->toPlainText()).names);
  outputFolder_ = NormalizeFolder(folderEdit_->text().toStdString());
  jar.useOutputPath = true;
  jar.SetOutputPath(outputFolder_);
  if (chaptersCheck_->isChecked()) {
    jar.useChapterRange = true;
    jar.SetChapterFrom(chapters_->from()->value());
    jar.SetChapterTo(chapters_->to()->value());
  }
  operation_ = folderNamesCheck_->isChecked() ? opExtractWithFolders : opExtract;
  jar.updateMode = updateCheck_->isChecked() ? updateBox_->currentIndex() : kModeOff;
  jar.freshenMode = freshenCheck_->isChecked() ? freshenBox_->currentIndex() : kModeOff;
  jar.makeNamesAbsolute = false;
  jar.makeNamesRelative = false;
  jar.skipSecurityTest = skipSecurityTestCheck_->isChecked();
  jar.useRecoveryRecords = useRecoveryRecordsCheck_->isChecked();
  jar.recoverBroken = recoverBrokenCheck_->isChecked();
  jar.assumeYes = overwriteCheck_->isChecked();
  jar.queryEachFile = queryEachFileCheck_->isChecked();
}
