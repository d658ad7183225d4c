#pragma once
// The texts of the desktop's file-type registration for ".j" archives: the MIME package, the
// desktop entry, and the default-application lines of mimeapps.list. Text only, no file access.

#include <optional>
#include <string>
#include <string_view>

namespace association {

inline constexpr const char* kMimeType = "application/x-jar32-archive";
inline constexpr const char* kTypeComment = "Jar Archive";
inline constexpr const char* kDesktopId = "tamber.desktop";
inline constexpr const char* kIconName = "tamber";
inline constexpr const char* kMimePackageFile = "tamber.xml";

// The shared-mime-info package: the glob "*.j" and the archive signature at bytes 14..19.
std::string MimePackageText();

// The Exec= value (as stored in the file) that starts the program with one file.
std::string DesktopExecValue(std::string_view programPath);
// The whole desktop entry for the program.
std::string DesktopEntryText(std::string_view programPath);
// True when the program path can be written into a desktop entry (UTF-8, no control characters).
bool IsUsableProgramPath(std::string_view programPath);

// The raw value of a key in the entry's "[Desktop Entry]" group, nothing when absent.
std::optional<std::string> DesktopEntryValue(std::string_view entryText, std::string_view key);

// mimeapps.list: the first application of the type's line in "[Default Applications]", or nothing.
std::optional<std::string> DefaultApplication(std::string_view listText, std::string_view mimeType);
// The list with the type's default set to desktopId alone. Every other line keeps its bytes.
std::string WithDefaultApplication(std::string_view listText, std::string_view mimeType, std::string_view desktopId);
// The list without any default for the type. Every other line keeps its bytes.
std::string WithoutDefaultApplication(std::string_view listText, std::string_view mimeType);

}  // namespace association
