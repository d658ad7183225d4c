#include "dialogs/DeleteDialog_unit.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "dialogs/ChapterRange.h"
#include "dialogs/DialogControls.h"
#include "dialogs/MemoText.h"
#include "dialogs/NameTransfer.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

constexpr int kWhatTab = 0;
constexpr int kExcludeTab = 1;
constexpr int kMemoMaxCharacters = 2048;

}  // namespace

TDeleteDialog::TDeleteDialog(TConfig& config, platform::Prompter& prompter, QWidget* owner)
    : QDialog(owner), config_(config), prompter_(prompter) {
  setObjectName("DeleteDialog");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - Delete File(s)");

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("Tabs");
  tabs_->tabBar()->setUsesScrollButtons(false);  // every caption in full: the dialog is as wide as they need
  tabs_->addTab(BuildWhatPage(), "&Delete What ?");
  wildcardMemo_ = NewMemo(this, "WildcardMemo", "Names to exclude",
                          "You can place your wildcards or exclude files here.\nExclude files: one per line");
  LimitCharacters(wildcardMemo_, kMemoMaxCharacters);
  tabs_->addTab(wildcardMemo_, "&Exclude Files");

  dosboxCheck_ = NewCheckBox(this, "CB_Dosbox", "Show Dosbox");
  okButton_ = new QPushButton("&OK", this);
  okButton_->setObjectName("OKBtn");
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton("&Cancel", this);
  cancelButton_->setObjectName("CancelBtn");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(dosboxCheck_);
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);

  connect(whatGroup_, &QButtonGroup::buttonToggled, this, &TDeleteDialog::WhatToDeleteClick);
  connect(dosboxCheck_, &QCheckBox::toggled, this, &TDeleteDialog::DosboxClick);
  connect(okButton_, &QPushButton::clicked, this, &TDeleteDialog::OKBtnClick);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  WhatToDeleteClick();

  platform::PlaceDialog(this, owner);
}

QWidget* TDeleteDialog::BuildWhatPage() {
  auto* page = new QWidget;
  allFiles_ = NewRadioButton(page, "AllFiles", "&All Files");
  selectedFiles_ = NewRadioButton(page, "SelectedFiles", "&Selected Files");
  wildcards_ = NewRadioButton(page, "Wildcards", "Wild&cards");
  chaptersChoice_ = NewRadioButton(page, "Chapters", "C&hapters:");
  allFiles_->setChecked(true);
  whatGroup_ = new QButtonGroup(this);
  for (QRadioButton* button : {allFiles_, selectedFiles_, wildcards_, chaptersChoice_}) whatGroup_->addButton(button);
  chapters_ = new ChapterRange(page);

  assumeYesCheck_ = NewCheckBox(page, "CheckBox2", "Assume Yes On All Queries");
  inAllChaptersCheck_ = NewCheckBox(page, "InAllChaptersCBox", "&In all Chapters");
  queryEachFileCheck_ = NewCheckBox(page, "CheckBox1", "Query on each file");

  auto* range = new QHBoxLayout;
  range->addWidget(chaptersChoice_);
  range->addWidget(chapters_->from());
  range->addWidget(chapters_->toLabel());
  range->addWidget(chapters_->to());
  range->addStretch();
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(allFiles_);
  layout->addWidget(selectedFiles_);
  layout->addWidget(wildcards_);
  layout->addLayout(range);
  layout->addSpacing(6);
  layout->addWidget(assumeYesCheck_);
  layout->addWidget(inAllChaptersCheck_);
  layout->addWidget(queryEachFileCheck_);
  layout->addStretch();
  return page;
}

bool TDeleteDialog::Execute(int selectedCount) {
  operation_ = opDelete;
  dosboxCheck_->setChecked(config_.showDosbox);
  DosboxClick();
  selectedFiles_->setEnabled(selectedCount > 0);
  (selectedCount > 0 ? selectedFiles_ : allFiles_)->setChecked(true);
  wildcardMemo_->clear();

  QPointer<TDeleteDialog> self(this);
  const int result = exec();
  if (!self || result != QDialog::Accepted) return true;
  Transfer();
  return false;
}

bool TDeleteDialog::selectedFiles() const { return selectedFiles_->isChecked(); }

void TDeleteDialog::setChapters(bool available, int lastChapter) {
  if (available) {
    chapters_->SetLastChapter(lastChapter);
  } else if (chaptersChoice_->isChecked()) {
    allFiles_->setChecked(true);
  }
  chaptersChoice_->setEnabled(available);
}

void TDeleteDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  tabs_->setCurrentIndex(kWhatTab);
  okButton_->setFocus();
}

void TDeleteDialog::WhatToDeleteClick() {
  tabs_->setTabText(kExcludeTab, wildcards_->isChecked() ? "&Wildcards" : "&Exclude Files");
  wildcardMemo_->setAccessibleName(wildcards_->isChecked() ? "Wildcards to delete" : "Names to exclude");
  chapters_->SetEnabled(chaptersChoice_->isChecked());
}

void TDeleteDialog::DosboxClick() {
  // Questions can be answered only in a visible console.
  queryEachFileCheck_->setEnabled(dosboxCheck_->isChecked());
  assumeYesCheck_->setEnabled(dosboxCheck_->isChecked());
}

void TDeleteDialog::OKBtnClick() {
  const NameLines lines = ReadNameLines(wildcardMemo_->toPlainText());
  if (lines.refused) {
    prompter_.error(kNameQuoteMessage + *lines.refused);
    tabs_->setCurrentIndex(kExcludeTab);
    wildcardMemo_->setFocus();
    return;
  }
  accept();
}

void TDeleteDialog::Transfer() {
  TJar& jar = *config_.jar;
  config_.showDosbox = dosboxCheck_->isChecked();
  jar.queryEachFile = queryEachFileCheck_->isChecked();
  TransferNames(jar, allFiles_->isChecked(), wildcards_->isChecked(),
                ReadNameLines(wildcardMemo_->toPlainText()).names);
  jar.makeNamesAbsolute = false;
  jar.makeNamesRelative = false;
  jar.assumeYes = assumeYesCheck_->isChecked();
  if (chaptersChoice_->isChecked()) {
    operation_ = opDeleteChapters;
    jar.useChapterRange = true;
    jar.SetChapterFrom(chapters_->from()->value());
    jar.SetChapterTo(chapters_->to()->value());
  } else {
    operation_ = inAllChaptersCheck_->isChecked() ? opDeleteAllChapters : opDelete;
  }
}
