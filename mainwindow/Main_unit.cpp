// The main window's construction: its controls, menus, pop-up menus and toolbar.

#include "mainwindow/Main_unit.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QIcon>
#include <QLocale>
#include <QMenuBar>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "config/ShippedIcons.h"
#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/CommentLines.h"
#include "mainwindow/CommentPane.h"
#include "mainwindow/MainStatusBar.h"
#include "mainwindow/TempExtractions.h"

namespace {

constexpr int kClientWidth = 518;
constexpr int kClientHeight = 373;
constexpr double kClassicLineHeight = 13.0;  // the 8-point font the column widths were made for

std::string GroupSeparator() {
  const QString separator = QLocale().groupSeparator();
  return separator.isEmpty() ? std::string(",") : separator.toStdString();
}

}  // namespace

// The application icon at every size the program carries.
QIcon ProgramIcon() {
  QIcon icon;
  for (const association::ShippedIcon& shipped : association::ShippedIcons()) {
    QPixmap pixmap;
    if (pixmap.loadFromData(reinterpret_cast<const uchar*>(shipped.bytes.data()), static_cast<uint>(shipped.bytes.size())))
      icon.addPixmap(pixmap);
  }
  return icon;
}

TMain::TMain(MainServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), summary_(GroupSeparator()) {
  setObjectName("Main");
  resize(kClientWidth, kClientHeight);
  BuildCentre();
  BuildMenus();
  BuildToolbar();
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - ");
  setWindowIcon(ProgramIcon());

  try {
    config_ = std::make_unique<TConfig>(services_.store, services_.prompter, services_.desktop);
  } catch (...) {
    services_.prompter.error("Error in getting configuration");
    fallbackStore_ = std::make_unique<platform::SettingsStore>(std::string());
    config_ = std::make_unique<TConfig>(*fallbackStore_, services_.prompter);
  }

  jar_ = std::make_unique<TJar>(*config_, services_.prompter);
  config_->jar = jar_.get();
  jar_->SetOwner(&runLoop_);
  jar_->listView = model_;
  jar_->commentMemo = commentMemo_;
  jar_->onRunStart = [this](TJar&) { JarRunStarted(); };
  jar_->onRunEnd = [this](TJar&) { JarRunEnded(); };
  jarDialogs_ = std::make_unique<QtJarDialogs>(*config_, services_.prompter, this);
  jar_->dialogs = jarDialogs_.get();

  commentMemo_->SetLines(StartHintLines());
  setAcceptDrops(false);  // from the first activation on
  WatchClipboard();
  BuildExtras();
}

TMain::~TMain() = default;

void TMain::BuildCentre() {
  model_ = new ArchiveListModel(this);
  model_->SetIcons(QIcon::fromTheme("text-x-generic", style()->standardIcon(QStyle::SP_FileIcon)),
                   QIcon::fromTheme("folder", style()->standardIcon(QStyle::SP_DirIcon)));

  listView_ = new ArchiveListView;
  listView_->setObjectName("ListView");
  listView_->setAccessibleName("Archive contents");
  listView_->setModel(model_);
  listView_->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* header = listView_->header();
  header->setObjectName("ListViewHeader");
  header->setAccessibleName("Columns");
  const double scale = std::max(1.0, listView_->fontMetrics().height() / kClassicLineHeight);
  const int widths[] = {120, 73, 0, 160, 64};
  for (int column = 0; column < 5; ++column)
    if (widths[column] > 0) header->resizeSection(column, static_cast<int>(widths[column] * scale));

  commentMemo_ = new CommentPane;
  commentMemo_->setObjectName("CommentMemo");
  commentMemo_->setAccessibleName("Archive flags, chapters and comment");

  splitter_ = new QSplitter(Qt::Vertical);
  splitter_->setObjectName("Splitter1");
  splitter_->addWidget(listView_);
  splitter_->addWidget(commentMemo_);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 0);
  splitter_->setChildrenCollapsible(false);
  setCentralWidget(splitter_);

  statusBar_ = new MainStatusBar;
  setStatusBar(statusBar_);
  progressSink_ = std::make_unique<ProgressBarSink>(*statusBar_->progressBar());

  connect(header, &QHeaderView::sectionClicked, this, &TMain::ListViewColumnClick);
  connect(listView_, &ArchiveListView::mousePressed, this, &TMain::ListViewMouseDown);
  connect(listView_, &ArchiveListView::keyReleased, this, &TMain::ListViewKeyUp);
  connect(listView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (!operationRunning_) popupMenu1_->popup(listView_->viewport()->mapToGlobal(pos));
  });
  connect(statusBar_, &MainStatusBar::clicked, this, &TMain::StatusBar1Click);
}

QAction* TMain::Item(QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut,
                     void (TMain::*handler)()) {
  auto* item = new QAction(text, this);
  item->setObjectName(name);
  item->setShortcut(shortcut);
  if (handler) connect(item, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  menu->addAction(item);
  return item;
}

QAction* TMain::Find(const char* name) const { return findChild<QAction*>(name); }

void TMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  fileMenu_ = bar->addMenu("&File");
  fileMenu_->setObjectName("File1");
  actionsMenu_ = bar->addMenu("&Actions");
  actionsMenu_->setObjectName("Actions1");
  optionsMenu_ = bar->addMenu("&Options");
  optionsMenu_->setObjectName("Options1");
  helpMenu_ = bar->addMenu("&Help");
  helpMenu_->setObjectName("Help1");
  for (QMenu* menu : {fileMenu_, actionsMenu_, optionsMenu_, helpMenu_}) menu->setToolTipsVisible(true);

  // File
  QMenu* file = fileMenu_;
  Item(file, "Mainmenu_NewArchive", "&New Archive...", QKeySequence("Ctrl+N"), &TMain::Mainmenu_NewArchiveClick);
  Item(file, "Mainmenu_OpenArchive", "&Open Archive...", QKeySequence("Ctrl+O"), &TMain::Mainmenu_OpenArchiveClick);
  QMenu* special = file->addMenu("Open &Special");
  special->setObjectName("OpenSpecial1");
  special->setToolTipsVisible(true);
  Item(special, "ParseDirsOnly1", "Parse &Folders Only", {}, &TMain::ParseDirsOnly1Click)
      ->setToolTip("Use this to open archives with MANY files.");
  Item(special, "ParseNone1", "Parse &None", {}, &TMain::ParseNone1Click)
      ->setToolTip("Use this to open archive with MANY MANY files");
  Item(file, "Mainmenu_ReopenArchive", "&Reopen Archive...", QKeySequence("Ctrl+R"),
       &TMain::Mainmenu_ReopenArchiveClick);
  Item(file, "Mainmenu_CloseArchive", "&Close Archive...", QKeySequence("Ctrl+C"), &TMain::Mainmenu_CloseArchiveClick);
  file->addSeparator();
  Item(file, "Mainmenu_Information", "&Information", QKeySequence("Ctrl+I"), &TMain::Mainmenu_InformationClick);
  file->addSeparator();
  Item(file, "Mainmenu_CopyArchive", "Cop&y Archive", QKeySequence("F8"), &TMain::Mainmenu_CopyArchiveClick);
  Item(file, "Mainmenu_DeleteArchive", "&Delete Archive", QKeySequence("Ctrl+Del"), &TMain::Mainmenu_DeleteArchiveClick);
  Item(file, "Mainmenu_MoveArchive", "&Move Archive", QKeySequence("F7"), &TMain::Mainmenu_MoveArchiveClick);
  Item(file, "Mainmenu_RenameArchive", "Re&name Archive", {}, &TMain::Mainmenu_RenameArchiveClick);
  file->addSeparator();
  for (int i = 0; i < RecentArchives::kMenuItems; ++i) {
    QAction* recent = Item(file, nullptr, QString("&%1").arg(i + 1), {}, nullptr);
    recent->setObjectName(QString("Main_Recent%1").arg(i));
    recent->setVisible(false);
    recent->setEnabled(false);
    if (i < RecentArchives::kMenuItems - 1) connect(recent, &QAction::triggered, this, [this, recent] { RecentClick(recent); });
  }
  file->addSeparator();
  Item(file, "Mainmenu_Quit", "E&xit", QKeySequence("Alt+F4"), &TMain::Mainmenu_QuitClick);

  // Actions
  QMenu* actions = actionsMenu_;
  Item(actions, "Mainmenu_Add", "&Add...", QKeySequence("Ctrl+A"), &TMain::Mainmenu_AddClick);
  Item(actions, "Mainmenu_Copy", "&Copy...", {}, &TMain::Mainmenu_CopyClick);
  Item(actions, "Mainmenu_Delete", "&Delete...", QKeySequence("Del"), &TMain::Mainmenu_DeleteClick);
  Item(actions, "Mainmenu_Extract", "&Extract...", QKeySequence("Ctrl+E"), &TMain::Mainmenu_ExtractClick);
  actions->addSeparator();
  Item(actions, "Mainmenu_GenerateJarcfg", "&Generate Jar.cfg", {}, &TMain::Mainmenu_GenerateJarcfgClick);
  Item(actions, "Mainmenu_RecoverHeader", "&Recover Header", {}, &TMain::Mainmenu_RecoverHeaderClick);
  actions->addSeparator();
  Item(actions, "Mainmenu_PasteFiles", "&Paste Files...", QKeySequence("Ctrl+V"), &TMain::Mainmenu_PasteFilesClick);
  actions->addSeparator();
  Item(actions, "Mainmenu_SelectAll", "&Select All", QKeySequence("Ctrl+/"), &TMain::Mainmenu_SelectAllClick);
  Item(actions, "Mainmenu_DeselectAll", "Dese&lect All", QKeySequence("Ctrl+\\"), &TMain::Mainmenu_DeselectAllClick);
  Item(actions, "Mainmenu_InvertSelection", "&Invert Selection", {}, nullptr)->setEnabled(false);
  actions->addSeparator();
  Item(actions, "Mainmenu_Test", "&Test...", QKeySequence("Ctrl+T"), &TMain::Mainmenu_TestClick);
  connect(actions, &QMenu::aboutToShow, this, &TMain::PopupMenu1Popup);

  // Options
  QMenu* options = optionsMenu_;
  Item(options, "Mainmenu_Configure", "&Configuration...", {}, &TMain::Mainmenu_ConfigureClick);
  Item(options, "Mainmenu_Font", "&Font...", QKeySequence("Ctrl+F"), &TMain::Mainmenu_FontClick);
  Item(options, "Mainmenu_Password", "&Password...", QKeySequence("Ctrl+P"), &TMain::Mainmenu_PasswordClick);
  options->addSeparator();
  QMenu* sort = options->addMenu("S&ort");
  sort->setObjectName("Sort1");
  sortGroup_ = new QActionGroup(this);
  sortGroup_->setExclusive(true);
  const struct {
    const char* name;
    const char* text;
    void (TMain::*handler)();
  } sorts[] = {{"ByName", "By &Name", &TMain::ByNameClick},
               {"BySize", "By &Size", &TMain::BySizeClick},
               {"ByAttributes", "By &Attributes", &TMain::ByAttributesClick},
               {"ByModified", "By &Modified", &TMain::ByModifiedClick},
               {"ByPath", "By &Path", &TMain::ByPathClick},
               {"ByChapters", "By &Chapters", &TMain::ByChaptersClick}};
  for (const auto& s : sorts) {
    QAction* item = Item(sort, s.name, s.text, {}, s.handler);
    item->setCheckable(true);
    sortGroup_->addAction(item);
    sortItems_.push_back(item);
  }
  sortItems_.front()->setChecked(true);
  options->addSeparator();
  Item(options, "Mainmenu_StayOnTop", "Stay On &Top", {}, &TMain::Mainmenu_StayOnTopClick)->setCheckable(true);
  Item(options, "Mainmenu_SaveSettingsNow", "Save Settings &now", {}, &TMain::Mainmenu_SaveSettingsNowClick);
  QAction* onExit = Item(options, "Mainmenu_SaveSettingsOnExit", "Save Settings On &Exit", {},
                         &TMain::Mainmenu_SaveSettingsOnExitClick);
  onExit->setCheckable(true);
  onExit->setChecked(true);
  options->addSeparator();
  Item(options, "Mainmenu_ViewLastOutput", "&View Last Output", {}, &TMain::Mainmenu_ViewLastOutputClick);

  // Help
  Item(helpMenu_, "Mainmenu_Help", "&Help", QKeySequence("F1"), &TMain::Mainmenu_HelpClick);
  Item(helpMenu_, "Mainmenu_About", "&About", QKeySequence("F2"), &TMain::Mainmenu_AboutClick);

  // The list's pop-up menu. Its shortcuts are shown, and work while it is open; the menu bar's
  // items of the same names answer them otherwise.
  popupMenu1_ = new QMenu(this);
  popupMenu1_->setObjectName("PopupMenu1");
  popupMenu1_->addAction(Find("Mainmenu_NewArchive"));
  popupMenu1_->addAction(Find("Mainmenu_OpenArchive"));
  popupMenu1_->addSeparator();
  Item(popupMenu1_, "POP_CloseArchive", "&Close Archive", {}, &TMain::Mainmenu_CloseArchiveClick);
  QAction* paste =
      Item(popupMenu1_, "POP1_PasteFiles", "&Paste Files...", QKeySequence("Ctrl+V"), &TMain::Mainmenu_PasteFilesClick);
  paste->setShortcutContext(Qt::WidgetShortcut);
  Item(popupMenu1_, "POP_Add", "&Add...", {}, &TMain::Mainmenu_AddClick);
  Item(popupMenu1_, "POP_Delete", "&Delete...", {}, &TMain::Mainmenu_DeleteClick);
  Item(popupMenu1_, "POP_Extract", "&Extract...", {}, &TMain::Mainmenu_ExtractClick);
  connect(popupMenu1_, &QMenu::aboutToShow, this, &TMain::PopupMenu1Popup);

  // The Open button's drop-down.
  popupMenu3_ = new QMenu(this);
  popupMenu3_->setObjectName("PopupMenu3");
  QAction* reopen =
      Item(popupMenu3_, "POP3_ReopenArchive", "&Reopen", QKeySequence("Ctrl+R"), &TMain::Mainmenu_ReopenArchiveClick);
  reopen->setShortcutContext(Qt::WidgetShortcut);
  popupMenu3_->addSeparator();
  for (int i = 0; i < RecentArchives::kMenuItems; ++i) {
    QAction* recent = Item(popupMenu3_, nullptr, QString("&%1").arg(i + 1), {}, nullptr);
    recent->setObjectName(QString("POP_Recent%1").arg(i));
    recent->setVisible(false);
    recent->setEnabled(false);
    connect(recent, &QAction::triggered, this, [this, recent] { RecentClick(recent); });
  }

  for (const char* name : {"Mainmenu_ReopenArchive", "Mainmenu_CloseArchive", "Mainmenu_Information",
                           "Mainmenu_CopyArchive", "Mainmenu_DeleteArchive", "Mainmenu_MoveArchive",
                           "Mainmenu_RenameArchive", "Mainmenu_Add", "Mainmenu_Copy", "Mainmenu_Delete",
                           "Mainmenu_Extract", "Mainmenu_Test", "Mainmenu_ViewLastOutput", "POP_CloseArchive",
                           "POP_Add", "POP_Delete", "POP_Extract", "POP3_ReopenArchive"})
    Find(name)->setEnabled(false);
}

QAction* TMain::Button(const char* name, const QString& caption, const QString& tip, const char* icon,
                       void (TMain::*handler)()) {
  auto* button = new QAction(QIcon::fromTheme(icon), caption, this);
  button->setObjectName(name);
  button->setToolTip(tip);
  connect(button, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  toolBar_->addAction(button);
  QWidget* widget = toolBar_->widgetForAction(button);
  widget->setObjectName(name);
  widget->setAccessibleName(tip);
  widget->setToolTipDuration(10000);
  return button;
}

void TMain::BuildToolbar() {
  toolBar_ = new QToolBar("Toolbar", this);
  toolBar_->setObjectName("ToolBar1");
  toolBar_->setAccessibleName("Toolbar");
  addToolBar(Qt::TopToolBarArea, toolBar_);
  Button("NewArchiveBtn", "New", "New Archive", "document-new", &TMain::Mainmenu_NewArchiveClick);
  Button("OpenArchiveBtn", "Open", "Open Archive", "document-open", &TMain::Mainmenu_OpenArchiveClick);
  Button("CloseArchiveBtn", "Close", "Close Archive", "window-close", &TMain::Mainmenu_CloseArchiveClick);
  toolBar_->addSeparator();
  Button("AddBtn", "Add", "Add Files To Archive", "list-add", &TMain::Mainmenu_AddClick);
  Button("ExtractBtn", "Extract", "Extract Files From Archive", "document-save", &TMain::Mainmenu_ExtractClick);
  Button("DeleteBtn", "Delete", "Delete Files From Archive", "edit-delete", &TMain::Mainmenu_DeleteClick);
  Button("TestBtn", "Test", "Test Archive", "emblem-default", &TMain::Mainmenu_TestClick);
  toolBar_->addSeparator();
  Button("PasteFilesBtn", "Paste", "Paste Files Into Archive", "edit-paste", &TMain::Mainmenu_PasteFilesClick);

  auto* open = findChild<QToolButton*>("OpenArchiveBtn");
  open->setMenu(popupMenu3_);
  open->setPopupMode(QToolButton::MenuButtonPopup);
  for (const char* name : {"CloseArchiveBtn", "AddBtn", "ExtractBtn", "DeleteBtn", "TestBtn"})
    Find(name)->setEnabled(false);
}
