#pragma once
// TExtractDialog: where to extract to, what to extract and the extract switches, moved into the
// job (*config.jar) when the user presses "Extract". A new dialog serves one Extract command.

#include <QDialog>
#include <string>

#include "config/TConfig.h"
#include "driver/TJarExec_unit.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"

class ChapterRange;
class DriveBox;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QTreeView;

class TExtractDialog : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 - Extract File(s)" and placed over the owner's window.
  TExtractDialog(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser, QWidget* owner);

  // Shows the dialog modally with the folder list at startFolder (the program's folder when
  // empty); "Selected Files" is offered only when selectedCount > 0. Returns cancelled; when
  // accepted the job holds the options and operation() says what to run.
  bool Execute(int selectedCount, const std::string& startFolder);

  JarOperation operation() const { return operation_; }  // opExtract or opExtractWithFolders
  // The target folder as given to the job (with a trailing separator).
  std::string outputFolder() const { return outputFolder_; }
  bool selectedFiles() const;  // "Selected Files" chosen
  // Called before Execute with the archive's chapters. available: "Chapters:" is enabled and the
  // archive's last chapter becomes the upper bound of "To"; not available: "Chapters:" is
  // unticked and disabled (the archive has a single chapter).
  void setChapters(bool available, int lastChapter);
  // "Use recovery records", ticked when the archive carries them.
  void setUseRecoveryRecords(bool checked);

  // The folder the folder list shows ("" before it shows one).
  std::string listedFolder() const;
  // Moves the folder list to an existing folder (FileBox follows); false when it is none.
  bool SetListedFolder(const std::string& folder);

 protected:
  void showEvent(QShowEvent* event) override;
  // The user's hand on the folder list ends keeping the listed folder in view.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildOptionsPage();
  QWidget* BuildSwitchesPage();
  QWidget* BuildFolderPane();

  void WhatToExtractClick();
  void ChaptersClick();
  void DosboxClick();
  void SpeedButton1Click();
  void ExtractClick();
  void Transfer();

  TConfig& config_;
  platform::Prompter& prompter_;

  JarOperation operation_ = opExtractWithFolders;
  bool scrollPending_ = false;  // the listed folder is kept in view while the list is read
  std::string outputFolder_;

  QLabel* directoryLabel_;          // Label1
  QLineEdit* folderEdit_;           // FileBox
  QToolButton* goToFolderButton_;   // SpeedButton1
  QTreeView* folderTree_;           // DirBox
  QFileSystemModel* folderModel_;
  DriveBox* driveBox_;              // DriveBox
  QTabWidget* tabs_;
  QRadioButton* allFiles_;          // AllFiles
  QRadioButton* selectedFiles_;     // SelectedFiles
  QRadioButton* wildcards_;         // Wildcards
  QButtonGroup* whatGroup_;
  QCheckBox* chaptersCheck_;        // CheckBox6
  ChapterRange* chapters_;          // FromEdit/UpDown1, Label4, ToEdit/UpDown2
  QCheckBox* overwriteCheck_;       // OverwriteCheckBox
  QCheckBox* folderNamesCheck_;     // FolderNamesCheckBox
  QCheckBox* freshenCheck_;         // CheckBox5
  QComboBox* freshenBox_;           // ComboBox1
  QCheckBox* queryEachFileCheck_;   // CheckBox1
  QCheckBox* recoverBrokenCheck_;   // CheckBox2
  QCheckBox* skipSecurityTestCheck_;  // CheckBox3
  QCheckBox* useRecoveryRecordsCheck_;  // CheckBox4
  QCheckBox* updateCheck_;          // UpdateCBox
  QComboBox* updateBox_;            // UpdateBox
  QPlainTextEdit* excludeMemo_;     // Memo1
  QPushButton* extractButton_;      // Button2
  QPushButton* cancelButton_;       // Button3
  QCheckBox* dosboxCheck_;          // CB_Dosbox
};
