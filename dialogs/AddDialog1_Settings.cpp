// The Add dialog's controls into and out of add-settings files.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "dialogs/AddBrowser.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/AddMemo.h"
#include "dialogs/DriveBox.h"
#include "dialogs/PathField.h"

namespace {

constexpr const char* kSettingsFilter = "Tamber add settings (*.tbs)";

}  // namespace

// Every control a settings file holds, in the order files are written and read. A new file's
// sections follow from it.
std::vector<TAddDialog1::SavedControl> TAddDialog1::SavedControls() const {
  using Kind = addsettings::ControlKind;
  std::vector<SavedControl> controls;
  auto add = [&controls](Kind kind, std::initializer_list<QWidget*> widgets) {
    for (QWidget* widget : widgets) controls.push_back({kind, widget});
  };
  add(Kind::ComboBox, {CO_MultipleDiskSize, CO_Action, CO_Compression, CO_AccesProtection, CO_TimeStamp, CO_LockOption,
                       CO_LFNProcessing, CO_ChapterMode, CO_ArchiveBits});
  add(Kind::Edit, {ED_ReserveSpaceSize, ED_Subdirectory, CO_Password, currentFolderEdit_});
  add(Kind::CheckBox,
      {CB_SpanMultipleDisk,    CB_ReserveSpace,       CB_Inhibit,           CB_Beep,
       CB_StoreFullPath,       CB_RecurseFolders,     CB_AssumeYesOnAll,    CB_FromDirectory,
       CB_FromCurrentDir,      CB_ArchiveBits,        CB_ChapterMode,       CB_LFNProcessing,
       CB_LockOption,          CB_Password,           CB_TimeStamp,         CB_AccesProtection,
       CB_PasswordHide,        CB_AddRecoveryRecords, CB_AddSecurityEnvelope, CB_HideArchiveContents,
       CB_IgnoreReadOnly,      CB_OnlyNewFiles,       CB_QueryOnEach,       CB_SkipSecurityEnv,
       CB_TestNewUpdatedFiles, CB_TestTempArchive,    CB_WithDelete,        CB_AttributeArchive,
       CB_AttributeDirectory,  CB_AttributeHidden,    CB_AttributeReadOnly, CB_AttributeSystem,
       CB_WorkDir,             CB_CreateFileList,     CB_ExcludeFiles,      CB_ArchiveComments,
       CB_ArchiveCommentsFile, CB_ChapterComments,    CB_ChapterCommentsFile, CB_Wildcards,
       CB_Dosbox2});
  add(Kind::Field, {DE_FromDirectory, DE_WorkDirectory, DE_CreateFileList, FE_ArchiveCommentsFile,
                    FE_ChapterCommentsFile, FE_ArchiveName});
  add(Kind::Memo, {ME_ExcludeFiles, ME_ArchiveComments, ME_ChapterComments, ME_Wildcards});
  return controls;
}

addsettings::Snapshot TAddDialog1::TakeSnapshot() const {
  using Kind = addsettings::ControlKind;
  addsettings::Snapshot snapshot;
  snapshot.folder = browser_->Folder().toStdString();
  snapshot.drive = driveBox_->rootPath();
  for (const SavedControl& control : SavedControls()) {
    addsettings::ControlState state;
    state.kind = control.kind;
    state.name = control.widget->objectName().toStdString();
    switch (control.kind) {
      case Kind::CheckBox:
        state.number = static_cast<QCheckBox*>(control.widget)->isChecked() ? 1 : 0;
        break;
      case Kind::ComboBox: {
        // The item the box shows: a text typed into the Action box that is no item counts as none.
        const auto* box = static_cast<QComboBox*>(control.widget);
        state.number = box->isEditable() ? box->findText(box->currentText(), Qt::MatchExactly) : box->currentIndex();
        break;
      }
      case Kind::Edit:
        state.text = static_cast<QLineEdit*>(control.widget)->text().toStdString();
        break;
      case Kind::Field:
        state.text = static_cast<PathField*>(control.widget)->text().toStdString();
        break;
      case Kind::Memo:
        state.lines = adddialog::MemoLines(static_cast<QPlainTextEdit*>(control.widget));
        break;
    }
    snapshot.controls.push_back(std::move(state));
  }
  snapshot.holdsSecret = !CO_Password->text().isEmpty();
  return snapshot;
}

void TAddDialog1::SaveSettings() {
  std::optional<std::string> chosen = chooser_.saveFile("Save Tamber add settings", config_.programFolder, kSettingsFilter);
  if (!chosen) return;
  if (platform::ExtensionPart(*chosen).empty()) *chosen += ".tbs";
  std::string why;
  if (!addsettings::Save(*chosen, TakeSnapshot(), why)) prompter_.error("Error in saving settings !");
}

bool TAddDialog1::LoadSettings(const std::string& path) {
  const bool asked = path.empty();
  std::string file = path;
  if (asked) {
    const std::optional<std::string> chosen =
        chooser_.openFile("Load Tamber add settings", config_.programFolder, kSettingsFilter);
    if (!chosen) return true;
    file = *chosen;
  }
  if (!platform::PathExists(file)) return true;
  addsettings::Reader reader;
  if (!reader.Open(file)) {
    if (asked) prompter_.error("Error in loading settings !");
    return false;
  }
  loadingSettings_ = true;
  if (CB_LoadDir->isChecked()) LoadFolder(reader);
  ApplySettings(reader);
  loadingSettings_ = false;
  return true;
}

// The saved folder, when it still exists, and its volume. A drive letter from a file written on
// another system names no volume here and is passed over.
void TAddDialog1::LoadFolder(const addsettings::Reader& reader) {
  const std::string folder = reader.Folder();
  if (folder.empty() || !IsFolder(folder)) return;
  currentFolder_ = platform::WithoutTrailingSeparator(folder);
  browser_->SetFolder(QString::fromStdString(currentFolder_));
  const std::string drive = reader.Drive();
  if (drive.empty() || drive == driveBox_->rootPath()) return;
  if (driveBox_->SelectRoot(drive)) DriveChange(driveBox_->currentIndex());
}

void TAddDialog1::ApplySettings(const addsettings::Reader& reader) {
  using Kind = addsettings::ControlKind;
  for (const SavedControl& control : SavedControls()) {
    const std::string name = control.widget->objectName().toStdString();
    switch (control.kind) {
      case Kind::CheckBox:
        if (const auto checked = reader.CheckBox(name)) static_cast<QCheckBox*>(control.widget)->setChecked(*checked);
        break;
      case Kind::ComboBox: {
        auto* box = static_cast<QComboBox*>(control.widget);
        if (const auto index = reader.ComboIndex(name, box->count())) {
          box->setCurrentIndex(*index);
          if (box->isEditable()) box->setEditText(box->itemText(*index));
        }
        break;
      }
      case Kind::Edit:
        if (control.widget == currentFolderEdit_) break;
        if (const auto text = reader.Text(control.kind, name))
          static_cast<QLineEdit*>(control.widget)->setText(QString::fromStdString(*text));
        break;
      case Kind::Field:
        if (const auto text = reader.Text(control.kind, name))
          static_cast<PathField*>(control.widget)->setText(QString::fromStdString(*text));
        break;
      case Kind::Memo:
        if (const auto lines = reader.MemoLines(name))
          adddialog::SetMemoLines(static_cast<QPlainTextEdit*>(control.widget), *lines);
        break;
    }
  }
}
