#pragma once
// TDeleteDialog: what to delete from the open archive (all files, the selected entries, wildcards
// or a range of chapters), which delete command that is, and the query switches, moved into the
// job (*config.jar) on OK. A new dialog serves one Delete command.

#include <QDialog>

#include "config/TConfig.h"
#include "driver/TJarExec_unit.h"
#include "platform/Prompter.h"

class ChapterRange;
class QButtonGroup;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TDeleteDialog : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 - Delete File(s)" and placed over the owner's window.
  TDeleteDialog(TConfig& config, platform::Prompter& prompter, QWidget* owner);

  // Shows the dialog modally; "Selected Files" is offered only when selectedCount > 0. Returns
  // cancelled; when accepted the job holds the options and operation() says what to run.
  bool Execute(int selectedCount);

  JarOperation operation() const { return operation_; }  // opDelete, opDeleteAllChapters or opDeleteChapters
  bool selectedFiles() const;                             // "Selected Files" chosen
  // Called before Execute with the archive's chapters. available: "Chapters:" is enabled and the
  // archive's last chapter becomes the upper bound of "To"; not available: "Chapters:" is
  // disabled and, when it was chosen, "All Files" is chosen instead.
  void setChapters(bool available, int lastChapter);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildWhatPage();
  void WhatToDeleteClick();
  void DosboxClick();
  void OKBtnClick();
  void Transfer();

  TConfig& config_;
  platform::Prompter& prompter_;
  JarOperation operation_ = opDelete;

  QTabWidget* tabs_;
  QRadioButton* allFiles_;         // AllFiles
  QRadioButton* selectedFiles_;    // SelectedFiles
  QRadioButton* wildcards_;        // Wildcards
  QRadioButton* chaptersChoice_;   // Chapters
  QButtonGroup* whatGroup_;
  ChapterRange* chapters_;         // FromEdit/UpDown1, Label4, ToEdit/UpDown2
  QCheckBox* assumeYesCheck_;      // CheckBox2
  QCheckBox* inAllChaptersCheck_;  // InAllChaptersCBox
  QCheckBox* queryEachFileCheck_;  // CheckBox1
  QCheckBox* dosboxCheck_;         // CB_Dosbox
  QPlainTextEdit* wildcardMemo_;   // WildcardMemo
  QPushButton* okButton_;          // OKBtn
  QPushButton* cancelButton_;      // CancelBtn
};
