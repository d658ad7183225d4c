// The main window from its first activation to its closing: settings, toolbar appearance, the busy
// state while the archiver runs, and the window-level commands.

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDialog>
#include <QMenu>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <span>

#include "mainwindow/AboutBox.h"
#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/CommentPane.h"
#include "mainwindow/Main_unit.h"
#include "mainwindow/MainStatusBar.h"
#include "mainwindow/MaintenancePaths.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

constexpr const char* kToolbarState = "State";
constexpr int kFirstRunWidth = 470;
constexpr int kFirstRunHeight = 400;
constexpr int kRecentCaptionCharacters = 60;  // longer captions are cut in the middle

const char* const kButtonNames[] = {"NewArchiveBtn", "OpenArchiveBtn", "CloseArchiveBtn", "AddBtn",
                                    "ExtractBtn",    "DeleteBtn",      "TestBtn",         "PasteFilesBtn"};

std::span<const uint8_t> Bytes(const QByteArray& data) {
  return {reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())};
}

QByteArray BinaryValue(const platform::SettingsStore& store, const char* key, const char* name) {
  auto value = store.value(key, name);
  if (!value || value->type != platform::ValueType::Binary) return {};
  return QByteArray(reinterpret_cast<const char*>(value->bytes.data()), static_cast<qsizetype>(value->bytes.size()));
}

// Control characters would break a window title; the path itself is kept as it is.
QString CaptionText(const std::string& path) {
  QString text = QString::fromStdString(path);
  for (QChar& c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QChar('?');
  return text;
}

}  // namespace

void TMain::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    RestoreFormState();
    // The first activation runs once the window is on screen, also where no window manager
    // activates windows.
    QTimer::singleShot(0, this, &TMain::FormActivate);
  }
  QMainWindow::showEvent(event);
}

void TMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && shownOnce_) FormActivate();
}

std::string TMain::ProgramFolder() const {
  return platform::WithoutTrailingSeparator(config_->programFolder);
}

void TMain::FormActivate() {
  // The dialogs below activate the window again when they close: that is no first activation.
  if (!firstActivation_ || activating_) return;
  activating_ = true;
  openDialogFolder_ = saveDialogFolder_ = ProgramFolder();

  // A settings file that could not be used was set aside: say so once.
  if (!services_.store.loadWarning().empty()) services_.prompter.info(services_.store.loadWarning());

  try {
    if (!services_.store.keyExists(kSettingsKey)) {
      resize(kFirstRunWidth, kFirstRunHeight);
      repaint();
      services_.prompter.info(
          "First time use of Tamber or information in registry was deleted!\nPlease set configuration.");
      ShowConfiguration();
      services_.store.writeBinary(kToolbarsKey, kToolbarState, Bytes(saveState()));
    }
  } catch (...) {
    services_.prompter.error("Cannot access registry ! Settings will no be saved.");
  }

  try {
    const QByteArray state = BinaryValue(services_.store, kToolbarsKey, kToolbarState);
    if (!state.isEmpty()) restoreState(state);
  } catch (...) {
    // A toolbar layout that cannot be read leaves the default one.
  }

  ApplyToolbarSettings();
  firstActivation_ = false;
  activating_ = false;
  jar_->progressBar = progressSink_.get();
  jar_->statusBar = statusBar_;
  saveDialogFolder_ = JarConfigFolder(config_->theJar32Exe);
  ResetAddChoices();
  SetCurrentArchive("");
  setAcceptDrops(true);
  HandleCommandLine(services_.arguments);
  listView_->setFocus();
}

void TMain::SetCurrentArchive(const std::string& path) {
  if (path != config_->currentArchive) ForgetExtractions();
  config_->currentArchive = path;
  jar_->archiveName = path;
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - " + CaptionText(path));
}

void TMain::RememberLastArchive(const std::string& path) {
  if (!path.empty() && platform::FileExists(path)) config_->lastOpenArchive = path;
}

void TMain::RememberArchiveFolder(const std::string& path) {
  const std::string folder = platform::FolderPart(path);
  if (!folder.empty() && platform::IsFolder(folder)) config_->theStartupFolder = folder;
}

bool TMain::RequestPassword(bool ask) {
  if (ask) jarDialogs_->AskPassword();
  jar_->usePassword = !config_->password.empty();
  return jar_->usePassword;
}

void TMain::ApplyToolbarSettings() {
  const bool oneRow = config_->limitToOneRow;
  toolBar_->setMovable(!oneRow);
  toolBar_->setFloatable(!oneRow);
  toolBar_->setAllowedAreas(oneRow ? Qt::TopToolBarArea : Qt::AllToolBarAreas);
  if (oneRow && (toolBarArea(toolBar_) != Qt::TopToolBarArea || toolBar_->isFloating()))
    addToolBar(Qt::TopToolBarArea, toolBar_);
  for (const char* name : kButtonNames) {
    auto* button = findChild<QToolButton*>(name);
    if (button->autoRaise() != config_->flatButtons) button->setAutoRaise(config_->flatButtons);
  }
  ToolBar_ShowCaptionsClick();
  if (firstActivation_) ReadRecentList();
}

// Button sizes at the classic font are the least a button gets; a larger font makes them larger.
void TMain::ToolBar_ShowCaptionsClick() {
  const bool large = config_->largeButtons;
  toolBar_->setToolButtonStyle(large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
  const int height = large ? 38 : 22;
  for (const char* name : kButtonNames) {
    const bool open = std::string_view(name) == "OpenArchiveBtn";
    const int width = large ? (open ? 50 : 39) : (open ? 34 : 23);
    findChild<QToolButton*>(name)->setMinimumSize(width, height);
  }
}

void TMain::ReadRecentList() {
  if (!services_.store.keyExists(kSettingsKey)) return;
  recentArchives_.Clear();
  try {
    // Only Recent0 .. Recent9 exist; a larger number in the settings reads no more.
    const int stored = std::clamp<int32_t>(config_->nrRecentEntries, 0, RecentArchives::kMenuItems);
    for (int k = stored - 1; k >= 0; --k)
      recentArchives_.Add(services_.store.readString(kSettingsKey, "Recent" + std::to_string(k)).value_or(""));
  } catch (...) {
    services_.prompter.error("Error in reading from registry");
  }
  RebuildRecentMenu("Main_");
  RebuildRecentMenu("POP_");
}

void TMain::RebuildRecentMenu(const QString& prefix) {
  const auto& entries = recentArchives_.entries();
  const int longest = fontMetrics().averageCharWidth() * kRecentCaptionCharacters;
  int i = 0;
  for (; i < static_cast<int>(entries.size()); ++i) {
    QAction* item = findChild<QAction*>(prefix + "Recent" + QString::number(i));
    if (!item) return;
    const std::string caption = RecentCaption(static_cast<size_t>(i), entries[static_cast<size_t>(i)]);
    const size_t blank = caption.find(' ');
    const QString path = fontMetrics().elidedText(QString::fromStdString(caption.substr(blank + 1)), Qt::ElideMiddle,
                                                  longest);
    item->setText(QString::fromStdString(caption.substr(0, blank + 1)) + QString(path).replace('&', "&&"));
    item->setEnabled(true);
    item->setVisible(true);
  }
  for (; i < RecentArchives::kMenuItems; ++i) {
    QAction* item = findChild<QAction*>(prefix + "Recent" + QString::number(i));
    if (!item) break;
    item->setEnabled(false);
    item->setVisible(false);
    item->setText(QString());
  }
}

void TMain::SaveMainSettings() {
  platform::SettingsStore& store = services_.store;
  store.writeBinary(kToolbarsKey, kToolbarState, Bytes(saveState()));
  if (!store.createKey(kSettingsKey)) {
    services_.prompter.error("Error opening key: \"\\Software\\TAMBER\\Settings\"");
    return;
  }
  bool written = true;
  const auto& entries = recentArchives_.entries();
  for (size_t i = 0; i < entries.size(); ++i)
    written = store.writeString(kSettingsKey, "Recent" + std::to_string(i), entries[i]) && written;
  for (size_t j = entries.size(); j < static_cast<size_t>(RecentArchives::kMenuItems); ++j)
    store.deleteValue(kSettingsKey, "Recent" + std::to_string(j));
  if (!written || !store.save()) services_.prompter.error("Error in writing to registry");
}

void TMain::RestoreFormState() {
  const platform::SettingsStore& store = services_.store;
  const QByteArray geometry = BinaryValue(store, kFormKey, "Geometry");
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  const int line = commentMemo_->fontMetrics().lineSpacing();
  int paneHeight = 3 * line + 2 * commentMemo_->frameWidth() + 4;
  if (auto stored = store.readNumber(kFormKey, "CommentMemoHeight"); stored && *stored >= 1 && *stored < 10000)
    paneHeight = static_cast<int>(*stored);
  const int total = std::max(splitter_->height(), height() / 2);
  splitter_->setSizes({std::max(1, total - paneHeight), paneHeight});
  if (auto onExit = store.readNumber(kFormKey, "SaveSettingsOnExit"))
    Find("Mainmenu_SaveSettingsOnExit")->setChecked(*onExit != 0);
}

void TMain::SaveFormState() {
  platform::SettingsStore& store = services_.store;
  store.writeBinary(kFormKey, "Geometry", Bytes(saveGeometry()));
  store.writeNumber(kFormKey, "CommentMemoHeight", static_cast<uint32_t>(commentMemo_->height()));
  store.writeNumber(kFormKey, "CommentMemoTop", static_cast<uint32_t>(std::max(0, commentMemo_->mapTo(this, QPoint()).y())));
  store.writeNumber(kFormKey, "SaveSettingsOnExit", Find("Mainmenu_SaveSettingsOnExit")->isChecked() ? 1 : 0);
  store.save();  // the window's place is not worth a message
}

void TMain::closeEvent(QCloseEvent* event) {
  if (operationRunning_) {
    event->ignore();
    return;
  }
  RememberLastArchive(config_->currentArchive);
  if (Find("Mainmenu_SaveSettingsOnExit")->isChecked()) {
    SaveMainSettings();
    SaveConfiguration();
  }
  jar_->DeleteTempFiles();
  ForgetExtractions();
  SaveFormState();
  event->accept();
}

void TMain::SetButtonEnabled(QAction* button, bool on) { button->setEnabled(on); }

void TMain::JarRunStarted() {
  operationRunning_ = true;
  for (QMenu* menu : {fileMenu_, actionsMenu_, optionsMenu_, helpMenu_}) menu->menuAction()->setEnabled(false);
  addButtonWasEnabled_ = Find("AddBtn")->isEnabled();
  pasteButtonWasEnabled_ = Find("PasteFilesBtn")->isEnabled();
  setCursor(Qt::WaitCursor);
  for (QWidget* control : findChildren<QWidget*>())
    if (!qobject_cast<QSplitterHandle*>(control)) control->setCursor(Qt::WaitCursor);
  for (const char* name : kButtonNames) SetButtonEnabled(Find(name), false);
}

void TMain::JarRunEnded() {
  operationRunning_ = false;
  for (QMenu* menu : {fileMenu_, actionsMenu_, optionsMenu_, helpMenu_}) menu->menuAction()->setEnabled(true);
  SetButtonEnabled(Find("NewArchiveBtn"), true);
  SetButtonEnabled(Find("OpenArchiveBtn"), true);
  for (const char* name : {"CloseArchiveBtn", "AddBtn", "ExtractBtn", "DeleteBtn", "TestBtn"})
    SetButtonEnabled(Find(name), addButtonWasEnabled_);
  SetButtonEnabled(Find("PasteFilesBtn"), pasteButtonWasEnabled_);
  unsetCursor();
  for (QWidget* control : findChildren<QWidget*>())
    if (!qobject_cast<QSplitterHandle*>(control)) control->unsetCursor();
}

void TMain::CancelRunningOperation() {
  if (!operationRunning_) return;
  jar_->CancelRun();
}

void TMain::StatusBar1Click() {
  if (operationRunning_) CancelRunningOperation();
}

void TMain::Mainmenu_ConfigureClick() {
  if (operationRunning_) return;
  try {
    ShowConfiguration();
  } catch (...) {
    services_.prompter.error("Error in configuration !");
  }
  ApplyToolbarSettings();
}

void TMain::Mainmenu_FontClick() {
  if (operationRunning_) return;
  QFontDialog dialog(listView_->font(), this);
  dialog.setObjectName("FontDialog1");
  if (dialog.exec() == QDialog::Accepted) listView_->setFont(dialog.selectedFont());
}

void TMain::Mainmenu_PasswordClick() {
  if (operationRunning_) return;
  RequestPassword(true);
}

void TMain::Mainmenu_StayOnTopClick() {
  const bool onTop = Find("Mainmenu_StayOnTop")->isChecked();
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (visible) show();
}

void TMain::Mainmenu_SaveSettingsNowClick() {
  if (operationRunning_) return;
  SaveMainSettings();
  SaveConfiguration();
}

// The menu item toggles its own mark.
void TMain::Mainmenu_SaveSettingsOnExitClick() {}

void TMain::Mainmenu_HelpClick() {
  if (operationRunning_) return;
  const std::string page = platform::JoinPath(ProgramFolder(), "html/main.htm");
  if (!platform::FileExists(page) || !QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page))))
    services_.prompter.error("The help file \"" + page + "\" cannot be opened.");
}

void TMain::Mainmenu_AboutClick() {
  if (operationRunning_) return;
  try {
    AboutBox about(this);
    about.exec();
  } catch (...) {
    // Nothing to report: the box could not be shown.
  }
  listView_->setFocus();
}

void TMain::Mainmenu_QuitClick() {
  if (operationRunning_) return;
  close();
}
