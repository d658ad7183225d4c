#pragma once
// TAddDialog1: where the choices for adding files become the fields of the archiver job. Browser
// mode picks files and folders in a built-in file browser; dropped-files mode takes the names from
// the caller and asks for the target archive. One instance serves the whole run, so every control
// keeps its state from one Add to the next; add-settings files save and load that state.

#include <QDialog>
#include <QSize>
#include <string>
#include <vector>

#include "config/TConfig.h"
#include "dialogs/AddSettings.h"
#include "driver/TJarExec_unit.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class DriveBox;
class PathField;

namespace adddialog {
class FolderBrowser;
}  // namespace adddialog

class TAddDialog1 : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 - Add Files"; the browser starts in programFolder, the action is "Add".
  TAddDialog1(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser, QWidget* owner);
  ~TAddDialog1() override;

  // Shows the dialog modally in browser mode or dropped-files mode and returns true when it was
  // cancelled. On acceptance the job (*config.jar) holds the options and the file list.
  bool Execute(const std::string& startFolder, const std::vector<std::string>& droppedNames,
               const std::string& droppedFolder, const std::string& archiveName, bool droppedMode);
  // Every combo box back to its first choice, except "Best", "1440 kb" and "Method 0".
  void ResetChoices();
  // Loads an add-settings file into the controls; "" asks for the file (and reports a failure).
  // False when the file could not be read.
  bool LoadSettings(const std::string& path);
  // The "Save" button: asks for a file and saves the controls into it.
  void SaveSettings();

  JarOperation operation() const { return operation_; }
  std::string currentFolder() const { return currentFolder_; }
  std::string targetArchive() const { return targetArchive_; }
  bool fromCurrentFolder() const;      // CB_FromCurrentDir
  bool fromDirectoryChecked() const;   // CB_FromDirectory
  std::string fromDirectory() const;   // DE_FromDirectory
  void setArchiveComment(const std::string& text);              // ME_ArchiveComments
  void setPassword(const std::string& password, bool checked);  // CO_Password, CB_Password

 protected:
  void showEvent(QShowEvent* event) override;
  // Accepting runs the closing check first.
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Controls and layout (AddDialog1_Controls.cpp).
  void BuildControls();
  QWidget* BuildBrowserArea();
  QWidget* BuildDroppedArea();
  QWidget* BuildPanel();
  QWidget* BuildOptionsTab();
  QWidget* BuildSwitchesTab();
  QWidget* BuildMoreSwitchesTab();
  QWidget* BuildExcludeTab();
  QWidget* BuildCommentsTab();
  QWidget* BuildWildcardsTab();
  void ConnectHandlers();
  void ApplyMode(bool droppedMode);

  // Enable rules, the password box, the work folder, the browser (AddDialog1_Rules.cpp).
  void RunEnableRules();
  void ActionChanged();
  void SpanMultipleDiskClick(bool checked);
  void ArchiveCommentsClick();
  void ChapterCommentsClick();
  void PasswordClick(bool checked);
  void PasswordHideClick();
  // Refuses a text with a double quote or one that IsValidPassword refuses, with a message.
  bool PasswordExitCheck();
  void WorkDirectoryChange();
  bool WorkDirectoryCheck();
  void WorkDirectoryBrowse();
  void UpOneLevelClick();
  void SelectAllClick();
  void DriveChange(int index);
  void BrowserFolderChanged();
  void ArchiveNameBrowse(const char* title, bool existing);
  void CheckClick();
  void PathBrowse(PathField* field, bool folder, bool existing, const std::string& filter);
  bool CanClose();

  // The job's fields from the controls (AddDialog1_Transfer.cpp).
  void TransferOptions(TJar& jar, bool browserFolderRows);
  void BuildBrowserFileList(TJar& jar);
  void BuildDroppedFileList(TJar& jar);
  void TransferVolumeSize(TJar& jar);

  // Add-settings files (AddDialog1_Settings.cpp).
  struct SavedControl {
    addsettings::ControlKind kind;
    QWidget* widget;
  };
  std::vector<SavedControl> SavedControls() const;
  addsettings::Snapshot TakeSnapshot() const;
  void ApplySettings(const addsettings::Reader& reader);
  void LoadFolder(const addsettings::Reader& reader);

  TConfig& config_;
  platform::Prompter& prompter_;
  platform::FileChooser& chooser_;

  JarOperation operation_ = opAdd;
  std::string currentFolder_;
  std::string targetArchive_;
  std::vector<std::string> droppedNames_;
  std::string pickerFolder_;  // where the comment, work-folder and list-file pickers open
  bool selectAllToggle_ = false;
  bool settingUp_ = false;
  bool cancelled_ = false;
  bool droppedMode_ = false;
  bool loadingSettings_ = false;
  bool checkingPassword_ = false;
  bool showing_ = false;
  QSize browserModeSize_, droppedModeSize_;

  // Outside the tabs.
  QGridLayout* grid_ = nullptr;
  QWidget* browserArea_ = nullptr;
  QWidget* droppedArea_ = nullptr;
  QWidget* panel_ = nullptr;
  DriveBox* driveBox_ = nullptr;                          // RzDriveComboBox1
  QToolButton* upButton_ = nullptr;                       // SpeedButton5
  QToolButton* selectAllButton_ = nullptr;                // SpeedButton6
  QToolButton* styleButtons_[4] = {};                     // SpeedButton1..4
  adddialog::FolderBrowser* browser_ = nullptr;           // FilesListView1
  QLabel* currentFolderLabel_ = nullptr;                  // Label3
  QLineEdit* currentFolderEdit_ = nullptr;                // Edit2
  QLabel* droppedLabel_ = nullptr;                        // Label5
  QLabel* droppedCountLabel_ = nullptr;                   // Label4
  QPushButton* checkButton_ = nullptr;                    // Button4
  QGroupBox* archiveGroup_ = nullptr;                     // GroupBox11
  PathField* FE_ArchiveName = nullptr;
  QPushButton* NewBtn = nullptr;
  QPushButton* OpenBtn = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* cancelButton_ = nullptr;                   // Button2
  QGroupBox* settingsGroup_ = nullptr;                    // GroupBox5
  QPushButton* loadButton_ = nullptr;                     // Button3
  QPushButton* saveButton_ = nullptr;                     // Button1
  QCheckBox* CB_LoadDir = nullptr;
  QCheckBox* CB_Dosbox = nullptr;
  QCheckBox* CB_Dosbox2 = nullptr;
  QTabWidget* tabs_ = nullptr;

  // Options.
  QComboBox* CO_Action = nullptr;
  QComboBox* CO_Compression = nullptr;
  QCheckBox* CB_FromCurrentDir = nullptr;
  QCheckBox* CB_FromDirectory = nullptr;
  PathField* DE_FromDirectory = nullptr;
  QCheckBox* CB_AssumeYesOnAll = nullptr;
  QCheckBox* CB_RecurseFolders = nullptr;
  QCheckBox* CB_StoreFullPath = nullptr;
  QCheckBox* CB_SpanMultipleDisk = nullptr;
  QComboBox* CO_MultipleDiskSize = nullptr;
  QCheckBox* CB_ReserveSpace = nullptr;
  QLineEdit* ED_ReserveSpaceSize = nullptr;
  QCheckBox* CB_Inhibit = nullptr;
  QCheckBox* CB_Beep = nullptr;
  QLineEdit* ED_Subdirectory = nullptr;

  // Switches.
  QCheckBox* CB_ArchiveBits = nullptr;
  QComboBox* CO_ArchiveBits = nullptr;
  QCheckBox* CB_ChapterMode = nullptr;
  QComboBox* CO_ChapterMode = nullptr;
  QCheckBox* CB_LFNProcessing = nullptr;
  QComboBox* CO_LFNProcessing = nullptr;
  QCheckBox* CB_LockOption = nullptr;
  QComboBox* CO_LockOption = nullptr;
  QCheckBox* CB_Password = nullptr;
  QLineEdit* CO_Password = nullptr;
  QCheckBox* CB_PasswordHide = nullptr;
  QCheckBox* CB_TimeStamp = nullptr;
  QComboBox* CO_TimeStamp = nullptr;
  QCheckBox* CB_AccesProtection = nullptr;
  QComboBox* CO_AccesProtection = nullptr;

  // More switches.
  QCheckBox* CB_AddRecoveryRecords = nullptr;
  QCheckBox* CB_AddSecurityEnvelope = nullptr;
  QCheckBox* CB_HideArchiveContents = nullptr;
  QCheckBox* CB_IgnoreReadOnly = nullptr;
  QCheckBox* CB_OnlyNewFiles = nullptr;
  QCheckBox* CB_QueryOnEach = nullptr;
  QCheckBox* CB_SkipSecurityEnv = nullptr;
  QCheckBox* CB_TestNewUpdatedFiles = nullptr;
  QCheckBox* CB_TestTempArchive = nullptr;
  QCheckBox* CB_WithDelete = nullptr;
  QCheckBox* CB_AttributeArchive = nullptr;
  QCheckBox* CB_AttributeDirectory = nullptr;
  QCheckBox* CB_AttributeHidden = nullptr;
  QCheckBox* CB_AttributeReadOnly = nullptr;
  QCheckBox* CB_AttributeSystem = nullptr;
  QCheckBox* CB_WorkDir = nullptr;
  PathField* DE_WorkDirectory = nullptr;
  QCheckBox* CB_CreateFileList = nullptr;
  PathField* DE_CreateFileList = nullptr;

  // Exclude files, comments, wildcards.
  QCheckBox* CB_ExcludeFiles = nullptr;
  QPlainTextEdit* ME_ExcludeFiles = nullptr;
  QCheckBox* CB_ArchiveComments = nullptr;
  QPlainTextEdit* ME_ArchiveComments = nullptr;
  QCheckBox* CB_ArchiveCommentsFile = nullptr;
  PathField* FE_ArchiveCommentsFile = nullptr;
  QCheckBox* CB_ChapterComments = nullptr;
  QPlainTextEdit* ME_ChapterComments = nullptr;
  QCheckBox* CB_ChapterCommentsFile = nullptr;
  PathField* FE_ChapterCommentsFile = nullptr;
  QCheckBox* CB_Wildcards = nullptr;
  QPlainTextEdit* ME_Wildcards = nullptr;
};
