#pragma once
// Pure path helpers. Every function works on text only (no file system access) and takes the path
// style it should follow: Windows (backslash, drive letters, UNC) or POSIX (slash, root "/").
// Under the POSIX style a "drive part" is the absolute root "/".

#include <string>
#include <string_view>

namespace platform {

enum class PathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle kHostPathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kHostPathStyle = PathStyle::Posix;
#endif

char Separator(PathStyle style = kHostPathStyle);

// "C:", "\\server\share" (Windows) or "/" (POSIX) at the start of the path, else "".
std::string RootPart(std::string_view path, PathStyle style = kHostPathStyle);
// Everything up to and including the last separator (or a drive colon under Windows).
std::string FolderPart(std::string_view path, PathStyle style = kHostPathStyle);
// Everything after the last separator (or a drive colon under Windows).
std::string FileNamePart(std::string_view path, PathStyle style = kHostPathStyle);
// The file name's extension with its dot ("a.tar.j" -> ".j"), or "".
std::string ExtensionPart(std::string_view path, PathStyle style = kHostPathStyle);
// folder + name with exactly the separator between them that is needed; an empty folder gives name.
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style = kHostPathStyle);
// Removes one trailing separator unless that would leave a bare root ("C:\", "/").
std::string WithoutTrailingSeparator(std::string_view path, PathStyle style = kHostPathStyle);

// The folder text of a dialog field made usable: quotes taken off, a trailing separator added.
// Texts too short to name a folder (shorter than a root folder of the style) give "".
std::string NormalizeFolder(std::string_view text, PathStyle style = kHostPathStyle);
// Removes one trailing and one leading double quote; a lone quote or nothing left gives "".
std::string StripQuotes(std::string_view text);
// NormalizeFolder(folder) followed by the file-name part of name.
std::string JoinFolderAndName(std::string_view folder, std::string_view name, PathStyle style = kHostPathStyle);
// A relative name joined to an absolute base; names with their own root stay as they are.
std::string MakeAbsoluteName(std::string_view base, std::string_view name, PathStyle style = kHostPathStyle);
// The name with a leading base taken off (case-insensitive under Windows, exact under POSIX).
std::string MakeRelativeName(std::string_view base, std::string_view name, PathStyle style = kHostPathStyle);

}  // namespace platform
