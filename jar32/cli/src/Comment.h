// Archive comments: reading comment files, the rules that keep the listing readable, and the
// display form of a stored comment.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jar32::cli {

/// Most bytes a stored comment may hold (line ends counted as one byte each).
inline constexpr size_t kCommentMaxBytes = 4096;
/// Most bytes after the end of the first line (that line end included): the listing's reader
/// counts those together with the chapter line and stops at 4096.
inline constexpr size_t kCommentMaxTailBytes = 4040;

/// The flag words of the listing's flag line.
const std::vector<std::string_view>& flagWords();
/// The two texts that mark the listing's chapter line.
bool holdsChapterMarker(std::string_view line);
bool holdsFlagWord(std::string_view line);

/// Comment text from a file's bytes: CR LF and lone CR become LF, line ends at the end go.
std::string normalizeComment(std::string_view bytes);

/// Why a normalized comment cannot be stored, or nothing. Refused: more than kCommentMaxBytes,
/// more than kCommentMaxTailBytes after the first line, a line with a chapter marker, a first
/// line with a flag word, control characters other than tab.
std::optional<std::string> commentProblem(std::string_view comment);

/// The lines to print for a stored comment (any bytes, also from archives made elsewhere):
/// control characters shown as '?', chapter markers broken up ("Current chapter : "), an empty
/// first line put in front when the first line would read as a flag line and hasFlagLine is
/// false, and lines dropped from the end when the reader's 4096-character window would be
/// exceeded together with a chapter line of chapterLineLength characters.
std::vector<std::string> commentDisplayLines(std::string_view comment, bool hasFlagLine,
                                             size_t chapterLineLength);

}  // namespace jar32::cli
