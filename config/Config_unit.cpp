#include "config/Config_unit.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "config/BrowseEdit.h"
#include "config/RadioGroup.h"
#include "driver/AppTitle.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

// The client size the dialog keeps at least; a larger font makes it as large as its layout needs.
constexpr QSize kClientSize(338, 235);

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QCheckBox* MakeCheckBox(const char* name, const QString& caption, const QString& toolTip, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setToolTip(toolTip);
  return box;
}

RadioGroup* MakeRadioGroup(const char* name, const QString& title, const QStringList& items, QWidget* parent) {
  auto* group = new RadioGroup(title, items, parent);
  group->setObjectName(name);
  return group;
}

BrowseEdit* MakeBrowseEdit(const char* name, const QString& accessibleName, QWidget* parent) {
  auto* box = new BrowseEdit(accessibleName, parent);
  box->setObjectName(name);
  return box;
}

// Makes a spin box large enough that its number's editor gets the room it asks for, in any style
// and at any font (a plain spin box gives its editor a few pixels less).
void FitEditorOf(QSpinBox* spin) {
  auto* editor = spin->findChild<QLineEdit*>();
  QStyleOptionSpinBox option;
  option.initFrom(spin);
  option.rect = QRect(QPoint(), spin->sizeHint());
  option.frame = spin->hasFrame();
  option.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp |
                       QStyle::SC_SpinBoxDown;
  const QRect field = spin->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, spin);
  const QSize around = option.rect.size() - field.size();
  spin->setMinimumSize((editor->minimumSizeHint() + around).expandedTo(spin->sizeHint()));
}

QVBoxLayout* PageLayout(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  return layout;
}

}  // namespace

TConfiguration::TConfiguration(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser,
                               QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      config_(config),
      prompter_(prompter),
      chooser_(chooser) {
  setObjectName("Configuration");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - Configuration");

  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  pages_->tabBar()->setAccessibleName("Configuration pages");
  pages_->addTab(MakeGeneralPage(), "General");
  pages_->addTab(MakeDialogsPage(), "Dialogs");
  pages_->addTab(MakeJarPage(), "Jar");
  pages_->addTab(MakeMiscPage(), "Misc");

  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  SaveBtn = new QPushButton("Save", this);
  SaveBtn->setObjectName("SaveBtn");
  SaveBtn->setToolTip("Save to registry");
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(SaveBtn);
  buttons->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);
  setFixedSize(layout->totalSizeHint().expandedTo(kClientSize));

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(SaveBtn, &QPushButton::clicked, this, &TConfiguration::SaveBtnClick);
  connect(RG_StartUpFolder, &RadioGroup::clicked, this, &TConfiguration::RG_StartUpFolderClick);
  connect(RG_TemporaryFolder, &RadioGroup::clicked, this, &TConfiguration::RG_TemporaryFolderClick);
  connect(RG_DefaultAddFolder, &RadioGroup::clicked, this, &TConfiguration::RG_DefaultAddFolderClick);
  connect(RG_DefaultExtractFolder, &RadioGroup::clicked, this, &TConfiguration::RG_DefaultExtractFolderClick);
  connect(DE_StartUpFolder, &BrowseEdit::browseClicked, this,
          [this] { BrowseFolder(DE_StartUpFolder, "Start-up Folder", true); });
  connect(DE_TemporaryFolder, &BrowseEdit::browseClicked, this,
          [this] { BrowseFolder(DE_TemporaryFolder, "Temporary Folder", true); });
  connect(DE_AddFolder, &BrowseEdit::browseClicked, this,
          [this] { BrowseFolder(DE_AddFolder, "Default Add Folder", true); });
  connect(DE_ExtractFolder, &BrowseEdit::browseClicked, this,
          [this] { BrowseFolder(DE_ExtractFolder, "Default Extract Folder", false); });
  connect(FE_JarExecutable, &BrowseEdit::browseClicked, this, &TConfiguration::BrowseJarExecutable);
  FE_JarExecutable->edit()->installEventFilter(this);

  SetTabOrder();
  platform::PlaceDialog(this, owner);
  FillControls();
}

QWidget* TConfiguration::MakeGeneralPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  RG_StartUpFolder = MakeRadioGroup("RG_StartUpFolder", "Start-up Folder",
                                    {"&System Default", "Last &Open Archive", "&Folder:"}, page);
  DE_StartUpFolder = MakeBrowseEdit("DE_StartUpFolder", "Start-up folder", page);
  RG_StartUpFolder->setField(2, DE_StartUpFolder);

  RG_TemporaryFolder = MakeRadioGroup("RG_TemporaryFolder", "Temporary Folder", {"&System Default", "&Folder:"}, page);
  DE_TemporaryFolder = MakeBrowseEdit("DE_TemporaryFolder", "Temporary folder", page);
  RG_TemporaryFolder->setField(1, DE_TemporaryFolder);

  auto* recentLabel = new QLabel("# Recent Entries", page);
  recentLabel->setObjectName("RecentEntriesLabel");
  recentEntries_ = new QSpinBox(page);
  recentEntries_->setObjectName("UpDown1");
  recentEntries_->findChild<QLineEdit*>()->setObjectName("Edit1");
  recentEntries_->setRange(1, 10);
  recentEntries_->setWrapping(false);
  recentEntries_->setValue(4);
  recentEntries_->setAccessibleName("# Recent Entries");
  FitEditorOf(recentEntries_);
  recentLabel->setBuddy(recentEntries_);
  auto* recentRow = new QHBoxLayout;
  recentRow->addWidget(recentLabel);
  recentRow->addWidget(recentEntries_);
  recentRow->addStretch();

  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(RG_StartUpFolder);
  layout->addWidget(RG_TemporaryFolder);
  layout->addLayout(recentRow);
  layout->addStretch();
  return page;
}

QWidget* TConfiguration::MakeDialogsPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");
  RG_DefaultAddFolder = MakeRadioGroup("RG_DefaultAddFolder", "Default Add Folder",
                                       {"Open Ar&chive Folder", "Last &Add Folder", "Folde&r:"}, page);
  DE_AddFolder = MakeBrowseEdit("DE_AddFolder", "Default add folder", page);
  RG_DefaultAddFolder->setField(2, DE_AddFolder);
  CB_LoadDefault = MakeCheckBox("CB_LoadDefault", "Load \"default.tbs\" at first start.",
                                "Loads default.tbs at the first start\nof the add dialog(s).", page);
  RG_DefaultExtractFolder = MakeRadioGroup("RG_DefaultExtractFolder", "Default Extract Folder",
                                           {"O&pen Archive Folder", "Last &Extract Folder", "Fol&der:"}, page);
  DE_ExtractFolder = MakeBrowseEdit("DE_ExtractFolder", "Default extract folder", page);
  RG_DefaultExtractFolder->setField(2, DE_ExtractFolder);

  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(RG_DefaultAddFolder);
  layout->addWidget(CB_LoadDefault);
  layout->addWidget(RG_DefaultExtractFolder);
  layout->addStretch();
  return page;
}

QWidget* TConfiguration::MakeJarPage() {
  auto* page = new QWidget;
  page->setObjectName("Jar");
  auto* programGroup = new QGroupBox("Jar32.exe", page);
  programGroup->setObjectName("JarExecutableGroup");
  FE_JarExecutable = MakeBrowseEdit("FE_JarExecutable", "Jar32.exe program", programGroup);
  (new QVBoxLayout(programGroup))->addWidget(FE_JarExecutable);
  CB_DosBox = MakeCheckBox("CB_DosBox", "Show Dosbox.", "Start jar32 in a dosbox", page);
  CB_InternalHeaderCheck = MakeCheckBox("CB_InternalHeaderCheck", "Use Internal Jar Check",
                                        "Check Jar header internally, instead\nof executing Jar32.", page);
  RG_JarPriority = MakeRadioGroup("RG_JarPriority", "Jar32 Priority", {"Normal", "High", "Realtime (!! CAREFUL !!)"}, page);

  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(programGroup);
  layout->addWidget(CB_DosBox);
  layout->addWidget(CB_InternalHeaderCheck);
  layout->addWidget(RG_JarPriority);
  layout->addStretch();
  return page;
}

QWidget* TConfiguration::MakeMiscPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet3");
  auto* toolbars = new QGroupBox("Toolbars Appearance", page);
  toolbars->setObjectName("ToolbarsGroup");
  CB_FlatButtons = MakeCheckBox("CB_FlatButtons", "Flat Buttons", "Use flat (= dynamic) buttons", toolbars);
  CB_LargeButtons = MakeCheckBox("CB_LargeButtons", "Large Buttons", "Use large buttons", toolbars);
  auto* toolbarsLayout = new QVBoxLayout(toolbars);
  toolbarsLayout->addWidget(CB_FlatButtons);
  toolbarsLayout->addWidget(CB_LargeButtons);

  auto* association = new QGroupBox("Association", page);
  association->setObjectName("AssociationGroup");
  CB_CheckAssociations = MakeCheckBox("CB_CheckAssociations", "Check Associations",
                                      "Checks associations at startup and\nconfiguration save.", association);
  CB_AssociateToJ = MakeCheckBox("CB_AssociateToJ", "To \".j\" Files", QString(), association);
  auto* associationLayout = new QVBoxLayout(association);
  associationLayout->addWidget(CB_CheckAssociations);
  associationLayout->addWidget(CB_AssociateToJ);

  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(toolbars);
  layout->addWidget(association);
  layout->addStretch();
  return page;
}

void TConfiguration::SetTabOrder() {
  // The page tabs, each page's controls top to bottom, then the buttons.
  std::vector<QWidget*> order{pages_->tabBar()};
  auto addGroup = [&order](RadioGroup* group) {
    for (int i = 0; i < group->count(); ++i) order.push_back(group->item(i));
  };
  auto addBox = [&order](BrowseEdit* box) {
    order.push_back(box->edit());
    order.push_back(box->browseButton());
  };
  addGroup(RG_StartUpFolder);
  addBox(DE_StartUpFolder);
  addGroup(RG_TemporaryFolder);
  addBox(DE_TemporaryFolder);
  order.push_back(recentEntries_);
  addGroup(RG_DefaultAddFolder);
  addBox(DE_AddFolder);
  order.push_back(CB_LoadDefault);
  addGroup(RG_DefaultExtractFolder);
  addBox(DE_ExtractFolder);
  addBox(FE_JarExecutable);
  order.push_back(CB_DosBox);
  order.push_back(CB_InternalHeaderCheck);
  addGroup(RG_JarPriority);
  for (QWidget* w : std::initializer_list<QWidget*>{CB_FlatButtons, CB_LargeButtons, CB_CheckAssociations, CB_AssociateToJ, OKBtn, CancelBtn, SaveBtn})
    order.push_back(w);
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TConfiguration::FillControls() {
  RG_StartUpFolder->setItemIndex(config_.startupFolder);
  DE_StartUpFolder->setText(Q(config_.theStartupFolder));
  RG_TemporaryFolder->setItemIndex(config_.temporaryFolder);
  DE_TemporaryFolder->setText(Q(config_.theTemporaryFolder));
  recentEntries_->setValue(config_.nrRecentEntries);
  RG_DefaultAddFolder->setItemIndex(config_.addFolder);
  DE_AddFolder->setText(Q(config_.theAddFolder));
  CB_LoadDefault->setChecked(config_.loadDefaultAtStart);
  RG_DefaultExtractFolder->setItemIndex(config_.extractFolder);
  DE_ExtractFolder->setText(Q(config_.theExtractFolder));
  FE_JarExecutable->setText(Q(config_.theJar32Exe));
  CB_DosBox->setChecked(config_.showDosbox);
  CB_InternalHeaderCheck->setChecked(config_.internalJarCheck);
  RG_JarPriority->setItemIndex(config_.jar32Priority);
  CB_FlatButtons->setChecked(config_.flatButtons);
  CB_LargeButtons->setChecked(config_.largeButtons);
  CB_CheckAssociations->setChecked(config_.checkAssociations);
  CB_AssociateToJ->setChecked(config_.associateToJ);
}

bool TConfiguration::ShowConfiguration() {
  platform::PlaceDialog(this, parentWidget());
  if (!config_.RealTimeAllowed) {
    if (RG_JarPriority->count() > 2) RG_JarPriority->removeItem(2);
    RG_JarPriority->setItemIndex(0);
  }
  QPointer<TConfiguration> self(this);
  const int result = exec();
  if (!self || result != QDialog::Accepted) return false;
  ApplyToConfig();
  return true;
}

bool TConfiguration::ApplyToConfig() {
  if (!config_.AssociationOk()) config_.Associate();
  config_.startupFolder = static_cast<int16_t>(RG_StartUpFolder->itemIndex());
  config_.theStartupFolder = S(DE_StartUpFolder->text());
  config_.temporaryFolder = static_cast<int16_t>(RG_TemporaryFolder->itemIndex());
  config_.theTemporaryFolder = S(DE_TemporaryFolder->text());
  config_.nrRecentEntries = recentEntries_->value();
  config_.addFolder = static_cast<int16_t>(RG_DefaultAddFolder->itemIndex());
  config_.theAddFolder = S(DE_AddFolder->text());
  config_.loadDefaultAtStart = CB_LoadDefault->isChecked();
  config_.extractFolder = static_cast<int16_t>(RG_DefaultExtractFolder->itemIndex());
  config_.theExtractFolder = S(DE_ExtractFolder->text());
  config_.associateToJ = CB_AssociateToJ->isChecked();
  config_.checkAssociations = CB_CheckAssociations->isChecked();
  config_.flatButtons = CB_FlatButtons->isChecked();
  config_.largeButtons = CB_LargeButtons->isChecked();
  config_.internalJarCheck = CB_InternalHeaderCheck->isChecked();
  config_.showDosbox = CB_DosBox->isChecked();
  config_.theJar32Exe = S(FE_JarExecutable->text());
  config_.jar32Priority = RG_JarPriority->itemIndex();
  return true;
}

void TConfiguration::RG_StartUpFolderClick() { DE_StartUpFolder->setEnabled(RG_StartUpFolder->itemIndex() == 2); }

void TConfiguration::RG_TemporaryFolderClick() {
  DE_TemporaryFolder->setEnabled(RG_TemporaryFolder->itemIndex() == 1);
}

void TConfiguration::RG_DefaultAddFolderClick() { DE_AddFolder->setEnabled(RG_DefaultAddFolder->itemIndex() == 2); }

void TConfiguration::RG_DefaultExtractFolderClick() {
  DE_ExtractFolder->setEnabled(RG_DefaultExtractFolder->itemIndex() == 2);
}

void TConfiguration::SaveBtnClick() {
  do {
    ApplyToConfig();
    if (config_.Save()) {
      prompter_.info("Settings succesfully saved!");
      return;
    }
  } while (prompter_.ask(platform::BoxKind::Error, "Error in saving settings!",
                         platform::ButtonRetry | platform::ButtonCancel) == platform::ButtonRetry);
}

void TConfiguration::FormShow() {
  pages_->setCurrentIndex(0);
  OKBtn->setFocus();
}

void TConfiguration::FE_JarExecutableExit() {
  FE_JarExecutable->setText(Q(platform::StripQuotes(S(FE_JarExecutable->text()))));
}

std::string TConfiguration::DE_StartUpFolderBeforeDialog(const std::string& name) const {
  return platform::NormalizeFolder(name);
}

void TConfiguration::BrowseFolder(BrowseEdit* box, const QString& title, bool mayCreate) {
  const std::string start = DE_StartUpFolderBeforeDialog(S(box->text()));
  const std::optional<std::string> chosen = chooser_.folder(S(title), start, mayCreate);
  if (chosen) box->setText(Q(DE_StartUpFolderBeforeDialog(*chosen)));
}

void TConfiguration::BrowseJarExecutable() {
  // A bare name starts where the driver would find it: the program's folder, then PATH.
  const std::string program = platform::FindProgram(platform::StripQuotes(S(FE_JarExecutable->text())));
  const std::string start =
      program.empty() ? config_.programFolder : platform::WithoutTrailingSeparator(platform::FolderPart(program));
  const std::optional<std::string> chosen = chooser_.openFile("Jar32.exe", start, "Programs (*.exe);;All files (*)");
  if (chosen) FE_JarExecutable->setText(Q(*chosen));
}

void TConfiguration::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TConfiguration::keyPressEvent(QKeyEvent* event) {
  // Only Cancel and the close box cancel; Escape is not bound.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TConfiguration::done(int result) {
  // Enter in the Jar box closes the dialog without moving the focus: that leaves the box too.
  if (result == QDialog::Accepted && FE_JarExecutable->edit()->hasFocus()) FE_JarExecutableExit();
  QDialog::done(result);
}

// A folder box hands its focus to its field, so Tab past the last button would enter the page's
// boxes a second time instead of going round to the page tabs.
bool TConfiguration::focusNextPrevChild(bool next) {
  if (next && focusWidget() == SaveBtn) {
    pages_->tabBar()->setFocus(Qt::TabFocusReason);
    return true;
  }
  return QDialog::focusNextPrevChild(next);
}

bool TConfiguration::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FE_JarExecutable->edit() && event->type() == QEvent::FocusOut) FE_JarExecutableExit();
  return QDialog::eventFilter(watched, event);
}
