// The two maintenance commands of the Actions menu: rebuilding a damaged archive into "$recover.j"
// beside it, and having the archiver write its configuration file. Neither touches the open archive.

#include <filesystem>
#include <system_error>

#include "mainwindow/MaintenancePaths.h"
#include "mainwindow/Main_unit.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

constexpr const char* kRecoverTitle = "Browsing for Archive to recover";
constexpr const char* kArchiveFilter = "Jar files (*.j *.jar);;All files (*)";
constexpr const char* kConfigTitle = "Save As";
constexpr const char* kConfigFilter = "Config files (*.cfg)";
constexpr const char* kConfigName = "jar.cfg";

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

void TMain::Mainmenu_RecoverHeaderClick() {
  if (operationRunning_) return;
  openDialogTitle_ = kRecoverTitle;
  const std::optional<std::string> chosen =
      services_.chooser.openFile(openDialogTitle_.toStdString(), StartupFolder(), kArchiveFilter);
  openDialogTitle_ = "Open file";
  if (!chosen) return;
  const std::string& damaged = *chosen;

  // The job runs in the damaged archive's folder, where the archiver writes its rebuilt copy. Later
  // runs start where they did before.
  jar_->ResetOptions();
  const bool fromCurrentFolder = jar_->fromCurrentFolder;
  const std::string sourceFolder = jar_->sourceFolder;
  jar_->usePassword = !config_->password.empty();
  jar_->configFileName = damaged;
  jar_->fromCurrentFolder = true;
  jar_->sourceFolder = platform::FolderPart(damaged);
  auto putBack = [&] {
    jar_->fromCurrentFolder = fromCurrentFolder;
    jar_->sourceFolder = sourceFolder;
  };

  const std::string target = RecoveryTarget(damaged);
  // Rebuilding "$recover.j" into itself would replace the only copy of what is damaged.
  if (SameFile(damaged, target)) {
    putBack();
    services_.prompter.error("Cannot recover \"" + target + "\" into itself !\nRename it first.");
    return;
  }
  if (platform::FileExists(target) &&
      services_.prompter.ask(platform::BoxKind::Confirmation,
                             "File: \"" + target +
                                 "\" exists ! To recover you must overwrite.\nDo you want to overwrite ?",
                             platform::ButtonYes | platform::ButtonNo) != platform::ButtonYes) {
    putBack();
    return;
  }

  bool recovered = false;
  try {
    jar_->Run(opRecoverHeader);
    recovered = true;
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  }
  putBack();
  Find("Mainmenu_ViewLastOutput")->setEnabled(true);
  if (recovered)
    services_.prompter.info("Recovery Successful !\nFile created is \"$recover.j\"");
  else
    services_.prompter.error("Recovery was not successful !");
}

void TMain::Mainmenu_GenerateJarcfgClick() {
  if (operationRunning_) return;
  const std::optional<std::string> chosen =
      services_.chooser.saveFile(kConfigTitle, platform::JoinPath(saveDialogFolder_, kConfigName), kConfigFilter);
  if (!chosen) return;
  if (platform::PathExists(*chosen)) {
    services_.prompter.error("Cannot overwrite an existing file !");
    return;
  }
  jar_->configFileName = *chosen;
  try {
    jar_->Run(opGenerateConfig);
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  }
}
