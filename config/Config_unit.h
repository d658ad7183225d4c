#pragma once
// TConfiguration: the dialog in which the user edits the settings of TConfig on four pages. The
// settings go into the controls when the dialog is made and come back only on OK or Save.

#include <QDialog>
#include <string>

#include "config/TConfig.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"

class BrowseEdit;
class QCheckBox;
class QPushButton;
class QSpinBox;
class QTabWidget;
class RadioGroup;

class TConfiguration : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 - Configuration", placed over the owner and filled from the settings.
  TConfiguration(TConfig& config, platform::Prompter& prompter, platform::FileChooser& chooser, QWidget* owner);

  // Shows the dialog modally; true when it was closed with OK, and the values were then applied.
  bool ShowConfiguration();
  // The association check and repair with the settings as they were, then every control's value
  // into the settings. Returns true.
  bool ApplyToConfig();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void FillControls();
  void RG_StartUpFolderClick();
  void RG_TemporaryFolderClick();
  void RG_DefaultAddFolderClick();
  void RG_DefaultExtractFolderClick();
  void SaveBtnClick();
  void FormShow();
  void FE_JarExecutableExit();
  // The folder name handed to a folder box's browse dialog, and the one it gives back, made usable.
  std::string DE_StartUpFolderBeforeDialog(const std::string& name) const;
  void BrowseFolder(BrowseEdit* box, const QString& title, bool mayCreate);
  void BrowseJarExecutable();

  QWidget* MakeGeneralPage();
  QWidget* MakeDialogsPage();
  QWidget* MakeJarPage();
  QWidget* MakeMiscPage();
  void SetTabOrder();

  TConfig& config_;
  platform::Prompter& prompter_;
  platform::FileChooser& chooser_;

  QTabWidget* pages_;  // PageControl1
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* SaveBtn;
  RadioGroup* RG_StartUpFolder;
  BrowseEdit* DE_StartUpFolder;
  RadioGroup* RG_TemporaryFolder;
  BrowseEdit* DE_TemporaryFolder;
  QSpinBox* recentEntries_;  // Edit1 with UpDown1
  RadioGroup* RG_DefaultAddFolder;
  BrowseEdit* DE_AddFolder;
  QCheckBox* CB_LoadDefault;
  RadioGroup* RG_DefaultExtractFolder;
  BrowseEdit* DE_ExtractFolder;
  BrowseEdit* FE_JarExecutable;
  QCheckBox* CB_DosBox;
  QCheckBox* CB_InternalHeaderCheck;
  RadioGroup* RG_JarPriority;
  QCheckBox* CB_FlatButtons;
  QCheckBox* CB_LargeButtons;
  QCheckBox* CB_CheckAssociations;
  QCheckBox* CB_AssociateToJ;
};
