// Member names inside an archive (backslashes) and their relation to host paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jar32::cli {

/// Why a host file name (one path component) cannot become part of a member name, or nothing.
/// Refused: backslash, control characters, and the characters '"', '*', '?' that the argument
/// protocol cannot carry or that would read as wildcards when the name is given back; and what
/// the listing cannot carry: a name beginning with a blank, a file or link name ending with one
/// (the listing's reader trims names), a folder name holding "Total files listed" (its folder
/// line would read as the end of the listing).
std::optional<std::string> hostComponentProblem(std::string_view component, bool isFolder);

/// A pattern or name given for delete, extract or list: '/' becomes '\', leading backslashes
/// (the root) go. A trailing backslash stays: it names a folder.
std::string normalizeMemberPattern(std::string_view pattern);

/// Whether a member matches a normalized pattern. Patterns match the whole name; '*' runs over
/// backslashes. A folder member also matches as its name with a trailing backslash; a pattern
/// with a trailing backslash matches folders only.
bool memberMatches(std::string_view pattern, std::string_view memberName, bool isFolder);

/// Any of the patterns (none given: every member).
bool memberMatchesAny(const std::vector<std::string>& patterns, std::string_view memberName,
                      bool isFolder);

/// Exclusion of members by -x: the pattern is matched against the whole name, and when it holds
/// no backslash also against the name's last part ("*.bak" leaves out backups in every folder).
bool memberExcluded(const std::vector<std::string>& excludes, std::string_view memberName,
                    bool isFolder);

/// The host path parts of a member for extraction, or the reason it is refused: an absolute
/// name, a drive letter, "..", "." or empty parts. '/' inside a member name counts as a
/// separator too, so it can never smuggle a "..".
struct SafePath {
  std::vector<std::string> parts;
  std::string problem;  // empty when parts are usable
};
SafePath safeRelativePath(std::string_view memberName);

/// The base folder inside the archive from -o on an add: "" for the root ("\" or empty), else
/// "dir\sub\" with one trailing backslash. Nothing when it holds ".." or other unusable parts.
std::optional<std::string> normalizeBaseFolder(std::string_view outputPath);

/// A link target is safe when it is relative and, read from the link's folder (parts of the
/// member name before the last), never leaves the extraction folder. Only the canonical form
/// is accepted: all ".." parts first, then plain names.
bool linkTargetStaysInside(std::string_view memberName, std::string_view target);

/// Parts joined with backslashes into a member name.
std::string joinMemberName(const std::vector<std::string>& parts);

/// Text for the listing and the list file: every byte of a control character (C0, DEL and the
/// C1 controls) or of a sequence that is not UTF-8 becomes '?', so the line stays one line and
/// the name given back still matches the member ('?' matches any one byte).
std::string printable(std::string_view text);

/// Text for messages and progress lines: the same bytes are written as \xNN, so a terminal
/// never obeys them and the reader still sees what they were.
std::string escaped(std::string_view text);

/// The folder part of a member name ("docs\sub\" for "docs\sub\a.txt", "" for a root name) and
/// the last part.
std::string_view memberFolder(std::string_view name);
std::string_view memberLeaf(std::string_view name);

}  // namespace jar32::cli
