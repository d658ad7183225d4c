#pragma once
// Makes Tamber the desktop's program for ".j" archives, or takes that back, and tells whether the
// desktop's registration matches the settings. The registration is four pieces under the user's
// XDG folders:
//   the ".j" side:   $XDG_DATA_HOME/mime/packages/tamber.xml (the type of "*.j" files) and the
//                    type's line in $XDG_CONFIG_HOME/mimeapps.list (its default application);
//   the class side:  $XDG_DATA_HOME/applications/tamber.desktop (Exec=, Icon=) and the icons in
//                    $XDG_DATA_HOME/icons/hicolor.
// Files of other programs are never touched; of mimeapps.list only the type's default line changes.

#include <string>

#include "platform/Prompter.h"

// Where the desktop keeps this user's file types, and the program to register.
struct DesktopPlaces {
  std::string dataHome;     // $XDG_DATA_HOME, else ~/.local/share
  std::string configHome;   // $XDG_CONFIG_HOME, else ~/.config
  std::string programPath;  // full path of the program that .j files start

  // The places of the running session and the running program.
  static DesktopPlaces OfThisSession();

  std::string MimePackagePath() const;
  std::string MimeDatabaseFolder() const;
  std::string DesktopEntryPath() const;
  std::string ApplicationsFolder() const;
  std::string MimeAppsListPath() const;
  std::string IconThemeFolder() const;  // .../icons/hicolor
};

namespace association {

inline constexpr const char* kCheckFailedMessage = "Error while checking associations";
inline constexpr const char* kAssociateFailedMessage = "Error while association extensions to Tamber";
inline constexpr const char* kRetryMessage = "Tamber unsuccesfully associated to \".j\" files";

// True when the registration matches associateToJ, or when checkAssociations is false (then nothing
// is read). A file that cannot be read counts as a mismatch. An unexpected failure is reported
// ("Error while checking associations") and answers true, so that no repair follows.
bool AssociationOk(const DesktopPlaces& places, bool associateToJ, bool checkAssociations,
                   platform::Prompter& prompter);

// Writes the registration (associateToJ) or removes it, then refreshes the desktop's caches.
// A piece that cannot be written or removed is reported once at the end with Retry and Cancel;
// Retry starts again from the first piece.
void Associate(const DesktopPlaces& places, bool associateToJ, platform::Prompter& prompter);

}  // namespace association
