#pragma once
// Files named by a file manager on the clipboard or in a drop: "text/uri-list" (RFC 2483), GNOME's
// "x-special/gnome-copied-files" (a "copy" or "cut" line, then URIs) and KDE's
// "application/x-kde-cutselection" beside a URI list. Only local file URIs name files; they are
// percent-decoded to the path's bytes, which need not be UTF-8. A "cut" is read like a copy.

#include <string>
#include <string_view>
#include <vector>

#include "platform/Clipboard.h"

inline constexpr const char* kUriListFormat = "text/uri-list";
inline constexpr const char* kGnomeFilesFormat = "x-special/gnome-copied-files";
inline constexpr const char* kKdeCutFormat = "application/x-kde-cutselection";

struct DroppedFiles {
  std::vector<std::string> paths;
  std::vector<std::string> refused;  // URIs that name no local file, as given
};

// The path of a local file URI ("file:///p", "file://localhost/p", "file:/p"); "" for any other
// URI, a malformed escape or an escaped NUL.
std::string LocalPathOfUri(std::string_view uri);

// The URIs of a list, one a line (CR LF or LF), blank lines and "#" comments skipped. With
// gnomeHeader a first line "copy" or "cut" is passed over.
DroppedFiles ParseUriList(std::string_view text, bool gnomeHeader = false);

// The files the clipboard holds; false when it holds no file list or names anything but local
// files.
bool ClipboardFiles(const platform::Clipboard& clipboard, std::vector<std::string>& list, int& count);
