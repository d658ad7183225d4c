#pragma once
// The one configuration object: every user setting, the folders remembered between runs, and the
// run-time values several windows share. Persistent values live under the settings key
// "\Software\TAMBER\Configuration".

#include <cstdint>
#include <optional>
#include <string>

#include "config/Association.h"
#include "driver/TJarSettings.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"

class TJar;

// password, theJar32Exe, showDosbox and jar32Priority come from TJarSettings.
class TConfig : public TJarSettings {
 public:
  static constexpr const char* kKey = "\\Software\\TAMBER\\Configuration";

  // Create: the defaults, then Load, then the start-up association check against the desktop's
  // registration in `desktop` (the program passes DesktopPlaces::OfThisSession()). Without it, as in
  // tests of other windows, the association is never looked at or changed.
  TConfig(platform::SettingsStore& store, platform::Prompter& prompter,
          std::optional<DesktopPlaces> desktop = std::nullopt);

  std::string programFolder;
  TJar* jar = nullptr;  // set by the main window; not owned
  std::string systemTempFolder;
  std::string lastOpenArchive;
  std::string lastExtractFolder;
  std::string lastAddFolder;
  std::string currentArchive;
  int16_t startupFolder = 0;
  std::string theStartupFolder;
  int16_t temporaryFolder = 0;
  std::string theTemporaryFolder;
  int32_t nrRecentEntries = 4;
  int16_t addFolder = 0;
  std::string theAddFolder;
  bool loadDefaultAtStart = false;
  int16_t extractFolder = 0;
  std::string theExtractFolder;
  bool associateToJ = true;
  bool checkAssociations = true;
  bool allowDrag = true;
  bool flatButtons = true;
  bool largeButtons = false;
  bool limitToOneRow = false;
  bool fileOperationsToolBar = true;
  bool archiveOpsToolbar = true;
  bool otherToolbar = true;
  bool internalJarCheck = true;
  bool RealTimeAllowed = false;  // read only: set by hand in the store

  // Reads the persistent values over the current ones; each value stands alone.
  void Load();
  // Writes every persistent value except RealTimeAllowed. False (after a message) when the store
  // cannot be written.
  bool Save();
  // At least 8 characters, no space, and no double quote (the argument file cannot carry one).
  static bool IsValidPassword(const std::string& text);
  // Shown where a password is typed when it holds a double quote.
  static constexpr const char* kPasswordQuoteMessage =
      "A password cannot contain the character \" (the archiver's command file cannot carry it).";
  // The only way the password changes: a valid text replaces it, the empty text clears it.
  void StorePassword(const std::string& text);

  // The association of ".j" files as associateToJ and checkAssociations say (config/Association.h).
  bool AssociationOk();
  void Associate();
  // Save, then (whatever Save answered) the association check, and Associate without asking when
  // it fails. Always true.
  bool SaveAndRepair();

  platform::SettingsStore& store() { return store_; }

 private:
  void CheckAssociationAtStartup();

  platform::SettingsStore& store_;
  platform::Prompter& prompter_;
  std::optional<DesktopPlaces> desktop_;
};

// The folder of the running program: no trailing separator except on a root; "/" when unknown.
std::string ProgramFolderOf(const std::string& programPath);
