// The Add dialog's controls and layout. Widgets are made in the order the keyboard visits them.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>

#include "dialogs/AddBrowser.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/AddIcons.h"
#include "dialogs/AddMemo.h"
#include "dialogs/DriveBox.h"
#include "dialogs/PathField.h"
#include "platform/qt/HashMask.h"

namespace {

// Hints are written with the line breaks of the texts they come from.
QString HintText(const char* text) { return QString::fromUtf8(text).remove('\r'); }

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, bool checked = false,
                 const char* hint = nullptr) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(name);
  box->setChecked(checked);
  if (hint) box->setToolTip(HintText(hint));
  return box;
}

QComboBox* Combo(QWidget* parent, const char* name, const char* accessibleName, std::initializer_list<const char*> items,
                 int index) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setAccessibleName(accessibleName);
  for (const char* item : items) box->addItem(QString::fromUtf8(item));
  box->setCurrentIndex(index);
  return box;
}

QLineEdit* Edit(QWidget* parent, const char* name, const char* accessibleName, const char* text = "",
                const char* hint = nullptr) {
  auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
  edit->setObjectName(name);
  edit->setAccessibleName(accessibleName);
  if (hint) edit->setToolTip(HintText(hint));
  return edit;
}

QPlainTextEdit* Memo(QWidget* parent, const char* name, const char* accessibleName, int maxLength,
                     const char* hint = nullptr) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setAccessibleName(accessibleName);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setTabChangesFocus(true);
  memo->setMinimumHeight(memo->fontMetrics().height() * 4);
  if (maxLength > 0) adddialog::LimitMemoLength(memo, maxLength);
  if (hint) memo->setToolTip(HintText(hint));
  return memo;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  if (hint) button->setToolTip(HintText(hint));
  return button;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* caption) {
  auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
  group->setObjectName(name);
  return group;
}

QToolButton* Tool(QWidget* parent, const char* name, const char* hint, const QIcon& icon) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setIcon(icon);
  button->setAutoRaise(true);
  const int side = std::max(16, button->fontMetrics().height());
  button->setIconSize(QSize(side, side));
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

}  // namespace

void TAddDialog1::BuildControls() {
  grid_ = new QGridLayout(this);
  grid_->setContentsMargins(8, 8, 8, 8);
  grid_->setHorizontalSpacing(10);
  grid_->setVerticalSpacing(8);

  browserArea_ = BuildBrowserArea();
  droppedArea_ = BuildDroppedArea();
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("OptionTabs");
  tabs_->setAccessibleName("Add options");
  tabs_->addTab(BuildOptionsTab(), "&Options");
  tabs_->addTab(BuildSwitchesTab(), "&Switches");
  tabs_->addTab(BuildMoreSwitchesTab(), "&More switches");
  tabs_->addTab(BuildExcludeTab(), "E&xclude Files");
  tabs_->addTab(BuildCommentsTab(), "&Comments");
  tabs_->addTab(BuildWildcardsTab(), "&Wildcards");
  panel_ = BuildPanel();

  grid_->addWidget(browserArea_, 0, 0, 1, 2);
  grid_->addWidget(droppedArea_, 1, 0);
  grid_->addWidget(tabs_, 2, 0);
  grid_->setColumnStretch(0, 1);
}

QWidget* TAddDialog1::BuildBrowserArea() {
  auto* area = new QWidget(this);
  area->setObjectName("BrowserArea");

  driveBox_ = new DriveBox(area);
  driveBox_->setObjectName("RzDriveComboBox1");
  driveBox_->setMinimumContentsLength(16);
  upButton_ = Tool(area, "SpeedButton5", "Up one level", style()->standardIcon(QStyle::SP_FileDialogToParent));
  selectAllButton_ = Tool(area, "SpeedButton6", "(De)Select All", adddialog::SelectAllIcon(palette()));
  selectAllButton_->setCheckable(true);
  const char* styleHints[] = {"Large icons", "Small Icons", "List", "Details"};
  auto* styles = new QButtonGroup(area);
  for (int i = 0; i < 4; ++i) {
    const std::string name = "SpeedButton" + std::to_string(i + 1);
    styleButtons_[i] = Tool(area, name.c_str(), styleHints[i],
                            adddialog::ViewStyleIcon(static_cast<adddialog::ViewStyle>(i), palette()));
    styleButtons_[i]->setCheckable(true);
    styles->addButton(styleButtons_[i], i);
  }
  styleButtons_[static_cast<int>(adddialog::ViewStyle::List)]->setChecked(true);
  connect(styles, &QButtonGroup::idClicked, this,
          [this](int id) { browser_->SetViewStyle(static_cast<adddialog::ViewStyle>(id)); });

  browser_ = new adddialog::FolderBrowser(area);
  browser_->setObjectName("FilesListView1");
  browser_->setMinimumHeight(fontMetrics().height() * 10);
  currentFolderLabel_ = new QLabel("Current Directory:", area);
  currentFolderLabel_->setObjectName("Label3");
  currentFolderEdit_ = Edit(area, "Edit2", "Current Directory", "c:\\");
  currentFolderEdit_->setReadOnly(true);
  currentFolderLabel_->setBuddy(currentFolderEdit_);

  auto* tools = new QHBoxLayout;
  tools->setSpacing(2);
  tools->addWidget(driveBox_);
  tools->addStretch(1);
  tools->addWidget(upButton_);
  tools->addWidget(selectAllButton_);
  tools->addSpacing(8);
  for (QToolButton* button : styleButtons_) tools->addWidget(button);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(currentFolderLabel_);
  folderRow->addWidget(currentFolderEdit_, 1);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addLayout(tools);
  layout->addWidget(browser_, 1);
  layout->addLayout(folderRow);
  return area;
}

QWidget* TAddDialog1::BuildDroppedArea() {
  auto* area = new QWidget(this);
  area->setObjectName("DroppedArea");

  archiveGroup_ = Group(area, "GroupBox11", "Add to file:");
  FE_ArchiveName = new PathField("FE_ArchiveName", "Add to file", archiveGroup_);
  NewBtn = Button(archiveGroup_, "NewBtn", "&New...");
  OpenBtn = Button(archiveGroup_, "OpenBtn", "&Open...");
  auto* nameRow = new QHBoxLayout(archiveGroup_);
  nameRow->addWidget(FE_ArchiveName, 1);
  nameRow->addWidget(NewBtn);
  nameRow->addWidget(OpenBtn);

  droppedLabel_ = new QLabel("Dropped files #:", area);
  droppedLabel_->setObjectName("Label5");
  droppedCountLabel_ = new QLabel("1", area);
  droppedCountLabel_->setObjectName("Label4");
  droppedCountLabel_->setMinimumWidth(fontMetrics().horizontalAdvance("00000"));
  checkButton_ = Button(area, "Button4", "Check", "View dropped files");
  CB_Dosbox2 = Check(area, "CB_Dosbox2", "Dosbox");

  auto* countRow = new QHBoxLayout;
  countRow->addWidget(droppedLabel_);
  countRow->addWidget(droppedCountLabel_);
  countRow->addWidget(checkButton_);
  countRow->addStretch(1);
  countRow->addWidget(CB_Dosbox2);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(archiveGroup_);
  layout->addLayout(countRow);
  return area;
}

QWidget* TAddDialog1::BuildPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName("ButtonPanel");
  AddBtn = Button(panel, "AddBtn", "Add");
  AddBtn->setDefault(true);
  cancelButton_ = Button(panel, "Button2", "&Cancel");

  settingsGroup_ = Group(panel, "GroupBox5", "Settings");
  loadButton_ = Button(settingsGroup_, "Button3", "Load");
  saveButton_ = Button(settingsGroup_, "Button1", "Save");
  CB_LoadDir = Check(settingsGroup_, "CB_LoadDir", "Load Dir.", false,
                     "Also load the current directory, from a settings file.");
  auto* settings = new QVBoxLayout(settingsGroup_);
  settings->addWidget(loadButton_);
  settings->addWidget(saveButton_);
  settings->addWidget(CB_LoadDir);

  CB_Dosbox = Check(panel, "CB_Dosbox", "Dosbox");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(AddBtn);
  layout->addWidget(cancelButton_);
  layout->addSpacing(6);
  layout->addWidget(settingsGroup_);
  layout->addWidget(CB_Dosbox);
  layout->addStretch(1);
  return panel;
}

QWidget* TAddDialog1::BuildOptionsTab() {
  auto* page = new QWidget(tabs_);
  page->setObjectName("TabOptions");

  auto* primary = Group(page, "PrimaryOptionsGroup", "Primary Options");
  CO_Action = Combo(primary, "CO_Action", "Action", {"Add", "Add Chapter", "Freshen", "Move", "Update"}, 0);
  CO_Action->setEditable(true);
  CO_Action->setInsertPolicy(QComboBox::NoInsert);
  // The box sizes its own edit field; no layout does.
  CO_Action->lineEdit()->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  CO_Compression = Combo(primary, "CO_Compression", "Compression", {"Fast", "Normal", "Better", "Best"}, 3);
  auto* primaryForm = new QFormLayout(primary);
  primaryForm->addRow("Action:", CO_Action);
  primaryForm->addRow("Compression", CO_Compression);

  auto* used = Group(page, "MostUsedSwitchesGroup", "Most Used Switches");
  CB_FromCurrentDir = Check(used, "CB_FromCurrentDir", "From Current Folder", true,
                            "If not checked, the operation will\r\nbe executed from the temp dir and\r\nfull path will be "
                            "added to all add files.\r\nIf checked, operation will be executed\r\nfrom the current "
                            "directory.");
  CB_FromDirectory = Check(used, "CB_FromDirectory", "Add From Directory:", true,
                           "If not checked and directory is not valid,\r\nthen the files will be added from the "
                           "temp\r\ndirectory. Also files will be converted to\r\nfull path");
  DE_FromDirectory = new PathField("DE_FromDirectory", "Add From Directory", used);
  CB_AssumeYesOnAll = Check(used, "CB_AssumeYesOnAll", "Assume Yes On All", true);
  CB_RecurseFolders = Check(used, "CB_RecurseFolders", "Recurse Folders", false);
  CB_StoreFullPath = Check(used, "CB_StoreFullPath", "Store Full Matched Path", true);
  // The three lower boxes spread evenly below whichever source box the mode shows.
  auto* usedLayout = new QVBoxLayout(used);
  usedLayout->addWidget(CB_FromCurrentDir);
  usedLayout->addWidget(CB_FromDirectory);
  usedLayout->addWidget(DE_FromDirectory);
  for (QCheckBox* box : {CB_AssumeYesOnAll, CB_RecurseFolders, CB_StoreFullPath}) {
    usedLayout->addStretch(1);
    usedLayout->addWidget(box);
  }

  auto* spanning = Group(page, "DiskSpanningGroup", "Multiple Disk Spanning");
  CB_SpanMultipleDisk = Check(spanning, "CB_SpanMultipleDisk", "Multiple Disk Span");
  CO_MultipleDiskSize = Combo(spanning, "CO_MultipleDiskSize", "Disk size",
                              {"Autodetect", "  360 kb ", "  720 kb", "1440 kb", "2880 kb", "100 Mb (zip disk)"}, 3);
  CB_ReserveSpace = Check(spanning, "CB_ReserveSpace", "Reserve Space:");
  ED_ReserveSpaceSize = Edit(spanning, "ED_ReserveSpaceSize", "Reserve space size", "",
                             "Enter a size that you want to reserve.\r\nOnly Number accepted or a 'k' at the end, "
                             "meaning 1024 bytes.\r\nThere is not check, so enter correctly !");
  ED_ReserveSpaceSize->setMaximumWidth(fontMetrics().averageCharWidth() * 12);
  CB_Inhibit = Check(spanning, "CB_Inhibit", "Inhibit");
  CB_Beep = Check(spanning, "CB_Beep", "Beep");
  auto* spanGrid = new QGridLayout(spanning);
  spanGrid->addWidget(CB_SpanMultipleDisk, 0, 0, 1, 2);
  spanGrid->addWidget(CO_MultipleDiskSize, 1, 0, 1, 2);
  spanGrid->addWidget(CB_ReserveSpace, 2, 0);
  spanGrid->addWidget(ED_ReserveSpaceSize, 2, 1);
  spanGrid->addWidget(CB_Inhibit, 3, 0);
  spanGrid->addWidget(CB_Beep, 3, 1);
  spanGrid->setRowStretch(4, 1);

  auto* destination = Group(page, "DestinationGroup", "Destination Directory Within Archive");
  ED_Subdirectory = Edit(destination, "ED_Subdirectory", "Destination Directory Within Archive", "\\",
                         "Specify a subdirectory in which \r\nthe files are added to INSIDE\r\nthe archive.");
  auto* destinationLayout = new QVBoxLayout(destination);
  destinationLayout->addWidget(ED_Subdirectory);

  auto* layout = new QGridLayout(page);
  layout->addWidget(primary, 0, 0);
  layout->addWidget(used, 1, 0);
  layout->addWidget(spanning, 0, 1, 2, 1);
  layout->addWidget(destination, 2, 0, 1, 2);
  layout->setRowStretch(1, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
  return page;
}

QWidget* TAddDialog1::BuildSwitchesTab() {
  auto* page = new QWidget(tabs_);
  page->setObjectName("TabSwitches");
  CB_ArchiveBits = Check(page, "CB_ArchiveBits", "Archive bits:");
  CO_ArchiveBits = Combo(page, "CO_ArchiveBits", "Archive bits", {"Reset", "Set"}, 0);
  CB_ChapterMode = Check(page, "CB_ChapterMode", "Chapter Mode:");
  CO_ChapterMode = Combo(page, "CO_ChapterMode", "Chapter Mode", {"Method 0", "Method 1", "Compress All"}, 2);
  CB_LFNProcessing = Check(page, "CB_LFNProcessing", "LFN Proces.:", false, "Long filename processing");
  CO_LFNProcessing = Combo(page, "CO_LFNProcessing", "Long filename processing",
                           {"Match Long & Short", "Match Short Only", "Convert Long->Short 1", "Convert Long->Short 2"}, 0);
  CB_LockOption = Check(page, "CB_LockOption", "Lock Option:");
  CO_LockOption = Combo(page, "CO_LockOption", "Lock Option", {"Lock Archive", "Lock Chapter", "Auto Lockable"}, 0);
  CB_Password = Check(page, "CB_Password", "Password:");
  CO_Password = Edit(page, "CO_Password", "Password");
  platform::UseHashMask(CO_Password);
  CO_Password->installEventFilter(this);
  CB_PasswordHide = Check(page, "CB_PasswordHide", "Hide", true);
  CB_TimeStamp = Check(page, "CB_TimeStamp", "Time-Stamp:");
  CO_TimeStamp = Combo(page, "CO_TimeStamp", "Time-Stamp", {"Newest", "Keep Old"}, 0);
  CB_AccesProtection = Check(page, "CB_AccesProtection", "XS protection:", false, "Access protection.");
  CO_AccesProtection = Combo(page, "CO_AccesProtection", "Access protection", {"Authenticate", "Gost 1.01"}, 0);

  auto* layout = new QGridLayout(page);
  const std::pair<QCheckBox*, QWidget*> rows[] = {
      {CB_ArchiveBits, CO_ArchiveBits}, {CB_ChapterMode, CO_ChapterMode}, {CB_LFNProcessing, CO_LFNProcessing},
      {CB_LockOption, CO_LockOption},   {CB_Password, CO_Password},       {CB_TimeStamp, CO_TimeStamp},
      {CB_AccesProtection, CO_AccesProtection}};
  int row = 0;
  for (const auto& [box, value] : rows) {
    layout->addWidget(box, row, 0);
    layout->addWidget(value, row, 1);
    ++row;
  }
  layout->addWidget(CB_PasswordHide, 4, 2);
  layout->setColumnStretch(1, 1);
  layout->setColumnStretch(3, 1);
  layout->setRowStretch(row, 1);
  return page;
}

QWidget* TAddDialog1::BuildMoreSwitchesTab() {
  auto* page = new QWidget(tabs_);
  page->setObjectName("TabMoreSwitches");

  auto* onOff = Group(page, "OnOffSwitchesGroup", "On/Off Switches");
  CB_AddRecoveryRecords = Check(onOff, "CB_AddRecoveryRecords", "Add Recovery Records");
  CB_AddSecurityEnvelope = Check(onOff, "CB_AddSecurityEnvelope", "Add Security Envelope");
  CB_HideArchiveContents = Check(onOff, "CB_HideArchiveContents", "Hide Archive Contents");
  CB_IgnoreReadOnly = Check(onOff, "CB_IgnoreReadOnly", "Ignore Read-only Attr.", false, "Ignore read-only attributes");
  CB_OnlyNewFiles = Check(onOff, "CB_OnlyNewFiles", "Only New Files");
  CB_QueryOnEach = Check(onOff, "CB_QueryOnEach", "Query On Each File");
  CB_SkipSecurityEnv = Check(onOff, "CB_SkipSecurityEnv", "Skip Security Env. Test", false,
                             "Skip security envelope test.");
  CB_TestNewUpdatedFiles = Check(onOff, "CB_TestNewUpdatedFiles", "Test New/Updated Files");
  CB_TestTempArchive = Check(onOff, "CB_TestTempArchive", "Test Temporary Archive");
  CB_WithDelete = Check(onOff, "CB_WithDelete", "With Delete");
  auto* onOffGrid = new QGridLayout(onOff);
  QCheckBox* const switches[] = {CB_AddRecoveryRecords, CB_AddSecurityEnvelope, CB_HideArchiveContents,
                                       CB_IgnoreReadOnly,     CB_OnlyNewFiles,        CB_QueryOnEach,
                                       CB_SkipSecurityEnv,    CB_TestNewUpdatedFiles, CB_TestTempArchive,
                                       CB_WithDelete};
  for (int i = 0; i < 10; ++i) onOffGrid->addWidget(switches[i], i % 5, i / 5);

  auto* attributes = Group(page, "AttributesGroup", "Select by Attribute");
  CB_AttributeArchive = Check(attributes, "CB_AttributeArchive", "Archive", true);
  CB_AttributeDirectory = Check(attributes, "CB_AttributeDirectory", "Directory", true);
  CB_AttributeHidden = Check(attributes, "CB_AttributeHidden", "Hidden", true);
  CB_AttributeReadOnly = Check(attributes, "CB_AttributeReadOnly", "Read-Only", true);
  CB_AttributeSystem = Check(attributes, "CB_AttributeSystem", "System", true);
  auto* attributeLayout = new QVBoxLayout(attributes);
  for (QCheckBox* box : {CB_AttributeArchive, CB_AttributeDirectory, CB_AttributeHidden, CB_AttributeReadOnly,
                         CB_AttributeSystem})
    attributeLayout->addWidget(box);

  auto* misc = Group(page, "MiscGroup", "Misc.");
  CB_WorkDir = Check(misc, "CB_WorkDir", "Work Directory:");
  DE_WorkDirectory = new PathField("DE_WorkDirectory", "Work Directory", misc);
  CB_CreateFileList = Check(misc, "CB_CreateFileList", "Create File List:");
  DE_CreateFileList = new PathField("DE_CreateFileList", "Create File List", misc);
  auto* miscGrid = new QGridLayout(misc);
  miscGrid->addWidget(CB_WorkDir, 0, 0);
  miscGrid->addWidget(DE_WorkDirectory, 0, 1);
  miscGrid->addWidget(CB_CreateFileList, 1, 0);
  miscGrid->addWidget(DE_CreateFileList, 1, 1);
  miscGrid->setColumnStretch(1, 1);

  auto* layout = new QGridLayout(page);
  layout->addWidget(onOff, 0, 0);
  layout->addWidget(attributes, 0, 1);
  layout->addWidget(misc, 1, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  layout->setRowStretch(2, 1);
  return page;
}

QWidget* TAddDialog1::BuildExcludeTab() {
  auto* page = new QWidget(tabs_);
  page->setObjectName("TabExclude");
  CB_ExcludeFiles = Check(page, "CB_ExcludeFiles", "Exclude File(s):");
  ME_ExcludeFiles = Memo(page, "ME_ExcludeFiles", "Files to exclude", 20000);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(CB_ExcludeFiles);
  layout->addWidget(ME_ExcludeFiles, 1);
  return page;
}

QWidget* TAddDialog1::BuildCommentsTab() {
  auto* page = new QWidget(tabs_);
  page->setObjectName("TabComments");
  auto commentGroup = [page](const char* groupName, const char* caption, const char* prefix, QCheckBox*& add,
                             QPlainTextEdit*& memo, QCheckBox*& useFile, PathField*& file) {
    auto* group = Group(page, groupName, caption);
    const std::string base = std::string(prefix) + "Comments";
    add = Check(group, ("CB_" + base).c_str(), "Add comments");
    memo = Memo(group, ("ME_" + base).c_str(), caption, 4096, "Maximum comment size is 4 KB.");
    useFile = Check(group, ("CB_" + base + "File").c_str(), "Use File:");
    file = new PathField(QString::fromStdString("FE_" + base + "File"), QString(caption) + " file", group);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(useFile);
    fileRow->addWidget(file, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(add);
    layout->addWidget(memo, 1);
    layout->addLayout(fileRow);
    return group;
  };
  auto* archive = commentGroup("ArchiveCommentsGroup", "Archive Comments", "Archive", CB_ArchiveComments, ME_ArchiveComments,
                               CB_ArchiveCommentsFile, FE_ArchiveCommentsFile);
  auto* chapter = commentGroup("ChapterCommentsGroup", "Chapter Comments", "Chapter", CB_ChapterComments, ME_ChapterComments,
                               CB_ChapterCommentsFile, FE_ChapterCommentsFile);
  auto* layout = new QHBoxLayout(page);
  layout->addWidget(archive, 1);
  layout->addWidget(chapter, 1);
  return page;
}

QWidget* TAddDialog1::BuildWildcardsTab() {
  auto* page = new QWidget(tabs_);
  page->setObjectName("TabWildcards");
  CB_Wildcards = Check(page, "CB_Wildcards", "Wildcard(s):", false,
                       "Instead of using the selected file, you can use wildcards.\r\nIt must be a legal windows "
                       "wildcard.");
  ME_Wildcards = Memo(page, "ME_Wildcards", "Wildcards", 0,
                      "Specify wildcards in addition to the files \r\nselected in the fileslistview.\r\nOnly &O&N&E "
                      "wildcard per line. Must be a legal \r\nDos/Window (95/NT) wildcard.");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(CB_Wildcards);
  layout->addWidget(ME_Wildcards, 1);
  return page;
}

void TAddDialog1::ApplyMode(bool droppedMode) {
  for (QWidget* w : {static_cast<QWidget*>(droppedArea_), static_cast<QWidget*>(CB_FromDirectory),
                     static_cast<QWidget*>(DE_FromDirectory)})
    w->setVisible(droppedMode);
  for (QWidget* w : {static_cast<QWidget*>(browserArea_), static_cast<QWidget*>(CB_LoadDir),
                     static_cast<QWidget*>(CB_FromCurrentDir), static_cast<QWidget*>(CB_Dosbox)})
    w->setVisible(!droppedMode);
  // Dropped-files mode: the panel beside the "Add to file:" group, the tabs below both. Browser
  // mode: the browser across the top, the panel beside the tabs.
  grid_->removeWidget(panel_);
  if (droppedMode)
    grid_->addWidget(panel_, 1, 1, 2, 1);
  else
    grid_->addWidget(panel_, 2, 1);
  grid_->setRowStretch(0, droppedMode ? 0 : 1);
  grid_->setRowStretch(2, droppedMode ? 1 : 0);
}
