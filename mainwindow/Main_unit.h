#pragma once
// TMain: the main window. Menus, the toolbar, the list of the open archive's members, the comment
// pane and the status bar; the archiver job and the configuration; start-up, the busy state while
// the archiver runs, the archive file commands and the recent archives.

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/Association.h"
#include "config/QtJarDialogs.h"
#include "config/TConfig.h"
#include "driver/TJarExec_unit.h"
#include "mainwindow/RecentArchives.h"
#include "mainwindow/SelectionSummary.h"
#include "platform/Clipboard.h"
#include "platform/FileChooser.h"
#include "platform/FileOperation.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/qt/QtRunEventLoop.h"

class ArchiveListModel;
class ArchiveListView;
class ExtractingMimeData;
class FilterBar;
class MemberOpener;
class TempExtractions;
class CommentPane;
class MainStatusBar;
class ProgressBarSink;
class QAction;
class QActionGroup;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;

// What the window works with from outside: the settings store, the message boxes, the pickers, the
// clipboard, the shell's file operations, and the program's arguments.
struct MainServices {
  platform::SettingsStore& store;
  platform::Prompter& prompter;
  platform::FileChooser& chooser;
  platform::Clipboard& clipboard;
  platform::ShellFileOperations& fileOperations;
  std::vector<std::string> arguments;  // without the program's own name
  // The desktop's file-type registration to check and repair; none in tests of the window.
  std::optional<DesktopPlaces> desktop = std::nullopt;
};

// The application icon, as the program carries it.
QIcon ProgramIcon();

class TAddDialog1;

class TMain : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kSettingsKey = "\\Software\\TAMBER\\Settings";
  static constexpr const char* kToolbarsKey = "Software\\Tamber\\Toolbars";
  static constexpr const char* kFormKey = "Software\\tamber\\Main";  // the form-state store

  explicit TMain(MainServices services, QWidget* parent = nullptr);
  ~TMain() override;

  TConfig& config() { return *config_; }
  // The Add dialog the program makes at start and keeps until it ends; not owned.
  void SetAddDialog(TAddDialog1* dialog) { addDialog_ = dialog; }
  TAddDialog1* addDialog() const { return addDialog_; }
  TJar& jar() { return *jar_; }
  platform::Prompter& prompter() { return services_.prompter; }

  // Start-up and lifecycle.
  void FormActivate();
  void SetCurrentArchive(const std::string& path);
  void RememberLastArchive(const std::string& path);
  void RememberArchiveFolder(const std::string& path);
  bool RequestPassword(bool ask);
  void ApplyToolbarSettings();
  void SaveMainSettings();
  void CancelRunningOperation();
  bool operationRunning() const { return operationRunning_; }
  bool archiveProtected() const { return archiveProtected_; }
  void JarRunStarted();
  void JarRunEnded();

  // The archive view.
  bool RefreshListing();
  void ShowTotals(const std::string& files, const std::string& bytes, const std::string& ratio);
  void SetSortKey(int key);
  void UncheckSortItems();
  // The comment lines below the pane's "Archive Comments:" header; false (target untouched) without one.
  bool CopyArchiveComment(std::vector<std::string>& target) const;
  const std::vector<std::string>& CommentLines() const;
  int RowCount() const;
  int SelectedCount() const;
  // Folder text + name of each selected row, top to bottom: the names the archiver knows them by.
  std::vector<std::string> SelectedMemberNames() const;
  int sortKey() const { return sortKey_; }
  bool sortAscending() const { return sortAscending_; }

  // Archive file commands.
  bool OpenArchive(const std::string& path, bool addToRecent);
  bool StartNewArchive(std::string path);
  void CloseArchive();
  void EnableArchiveCommands(bool on);
  std::string StartupFolder() const;
  bool AddRecent(const std::string& path);
  void AddRecentAndRebuild(const std::string& path);
  void RebuildRecentMenu(const QString& prefix);
  const RecentArchives& recentArchives() const { return recentArchives_; }

  // The program's arguments, handled once at the first activation.
  void HandleCommandLine(const std::vector<std::string>& arguments);

  // Menu and toolbar handlers.
  void Mainmenu_NewArchiveClick();
  void Mainmenu_OpenArchiveClick();
  void ParseDirsOnly1Click();
  void ParseNone1Click();
  void Mainmenu_ReopenArchiveClick();
  void Mainmenu_CloseArchiveClick();
  void Mainmenu_InformationClick();
  void Mainmenu_CopyArchiveClick();
  void Mainmenu_DeleteArchiveClick();
  void Mainmenu_MoveArchiveClick();
  void Mainmenu_RenameArchiveClick();
  void RecentClick(QAction* item);
  void Mainmenu_QuitClick();
  void Mainmenu_AddClick();
  void Mainmenu_CopyClick();
  void Mainmenu_DeleteClick();
  void Mainmenu_ExtractClick();
  void Mainmenu_TestClick();
  void Mainmenu_PasteFilesClick();
  void Mainmenu_ViewLastOutputClick();
  void Mainmenu_GenerateJarcfgClick();
  void Mainmenu_RecoverHeaderClick();
  void PopupMenu1Popup();
  void Mainmenu_SelectAllClick();
  void Mainmenu_DeselectAllClick();
  void Mainmenu_ConfigureClick();
  void Mainmenu_FontClick();
  void Mainmenu_PasswordClick();
  void Mainmenu_StayOnTopClick();
  void Mainmenu_SaveSettingsNowClick();
  void Mainmenu_SaveSettingsOnExitClick();
  void Mainmenu_HelpClick();
  void Mainmenu_AboutClick();
  void ByNameClick();
  void BySizeClick();
  void ByAttributesClick();
  void ByModifiedClick();
  void ByPathClick();
  void ByChaptersClick();
  void ListViewColumnClick(int section);
  void ListViewMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void ListViewKeyUp(int key, Qt::KeyboardModifiers modifiers);
  void StatusBar1Click();
  void ToolBar_ShowCaptionsClick();

  // The filter above the list, opening a member, dragging rows out (MainExtras.cpp).
  void ShowFilter();
  void ApplyFilter(const QString& text);
  // Extracts the member of a file row into a private folder and opens it with the desktop's
  // application; a change to it is offered back to the archive. False if nothing was opened.
  bool OpenMemberRow(int row);
  // Starts a drag of the selected rows (their files are extracted when a target asks for them).
  void DragSelectedRows();
  // The data of that drag, owned by the caller; none while a run is in progress, without selected
  // rows, or when the password of a protected archive was not given.
  ExtractingMimeData* MakeDragData();
  // The members extracted with their folders into a new private folder: that folder, or "".
  std::string ExtractToPrivateFolder(const std::vector<std::string>& names);
  MemberOpener* memberOpener() const { return memberOpener_; }
  TempExtractions& tempExtractions() { return *tempExtractions_; }
  std::string TemporaryBase() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  void BuildCentre();
  QAction* Item(QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut,
                void (TMain::*handler)());
  QAction* Button(const char* name, const QString& caption, const QString& tip, const char* icon,
                  void (TMain::*handler)());
  QAction* Find(const char* name) const;
  void SetButtonEnabled(QAction* button, bool on);
  void ShowSummary();
  void Recount();
  void OpenWithParseMode(int mode);
  void SortItemClick(int key, QAction* item);
  void ReadRecentList();
  void RestoreFormState();
  void SaveFormState();
  int64_t RowSize(int row) const;
  // The further volumes of a set after its first went from `from` to `to` (VolumeSet.h).
  bool CarryFurtherVolumes(const std::string& from, const std::string& to, const std::vector<std::string>& suffixes,
                           const char* title, platform::FileOperationKind operation);
  bool ShellFileOperation(const std::string& from, const std::string& to, const char* title, bool renameOnCollision,
                          platform::FileOperationKind operation, std::string* target = nullptr);
  std::string PickTargetFolder(const char* title);
  std::string ProgramFolder() const;
  // The dialogs of other windows: the configuration dialog, the configuration's saving with the
  // file association, the Add dialog's default choices.
  void ShowConfiguration();
  void SaveConfiguration();
  void ResetAddChoices();
  // Extras (MainExtras.cpp).
  void BuildExtras();
  void ForgetExtractions();
  bool EnsureArchivePassword();
  void MemberChanged(const std::string& member, const QString& folder);
  FilterBar* filterBar_ = nullptr;
  MemberOpener* memberOpener_ = nullptr;
  std::unique_ptr<TempExtractions> tempExtractions_;
  bool askingChange_ = false;

  MainServices services_;
  std::unique_ptr<TConfig> config_;
  std::unique_ptr<platform::SettingsStore> fallbackStore_;  // when the configuration could not load
  std::unique_ptr<TJar> jar_;
  platform::QtRunEventLoop runLoop_;
  std::unique_ptr<QtJarDialogs> jarDialogs_;
  std::unique_ptr<ProgressBarSink> progressSink_;

  ArchiveListModel* model_ = nullptr;
  ArchiveListView* listView_ = nullptr;
  CommentPane* commentMemo_ = nullptr;
  QSplitter* splitter_ = nullptr;
  MainStatusBar* statusBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* actionsMenu_ = nullptr;
  QMenu* optionsMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QMenu* popupMenu1_ = nullptr;
  QMenu* popupMenu3_ = nullptr;
  QActionGroup* sortGroup_ = nullptr;
  std::vector<QAction*> sortItems_;

  TAddDialog1* addDialog_ = nullptr;
  RecentArchives recentArchives_;
  bool firstActivation_ = true;
  bool activating_ = false;
  bool shownOnce_ = false;
  bool archiveProtected_ = false;
  bool operationRunning_ = false;
  bool addButtonWasEnabled_ = false;
  bool pasteButtonWasEnabled_ = false;
  int sortKey_ = 0;
  bool sortAscending_ = true;
  SelectionSummary summary_;
  std::string openDialogFolder_;  // OpenDialog1's initial folder
  std::string saveDialogFolder_;  // SaveDialog1's initial folder
  QString openDialogTitle_ = "Open file";
  // --- The content commands: guards, the add flow, drops and the clipboard. ---
 public:
  bool RunAdd(bool filesGiven, const std::vector<std::string>& list, int count);
  bool RunCopy();
  bool RunDelete();
  void RunExtract();
  void RunTest();
  bool CheckArchiveLocked();
  bool CheckArchiveHasContents(const std::string& verb);
  // The password a protected archive needs, asked for when none is set; false: the command stops.
  bool PasswordForProtectedArchive();
  bool PrepareChapterRange(bool forDelete, class TDeleteDialog* deleteDialog, class TExtractDialog* extractDialog);
  std::string DefaultAddFolder() const;
  std::string DefaultExtractFolder() const;
  // Files dropped on the window, handled after the drop event has returned.
  void FileDrag1Drop(const std::vector<std::string>& paths);
  // Paste Files' enabling follows the desktop's clipboard from then on.
  void WatchClipboard();

 protected:
  void dragEnterEvent(class QDragEnterEvent* event) override;
  void dragMoveEvent(class QDragMoveEvent* event) override;
  void dragLeaveEvent(class QDragLeaveEvent* event) override;
  void dropEvent(class QDropEvent* event) override;

 private:
  bool DropAllowed() const;
  void ShowDropHint(bool on);
  // Given names the archiver cannot take are left out, with a message; false when none is left.
  bool KeepFitNames(std::vector<std::string>& names);
  bool defaultSettingsLoaded_ = false;
  class QLabel* dropHint_ = nullptr;
  // --- end of the content commands ---
};
