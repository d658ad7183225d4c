#pragma once
// The lines of the comment pane: the header lines put over the archive comment after a listing,
// and the comment read back from the pane.

#include <string>
#include <vector>

inline constexpr const char* kCommentHeader = "Archive Comments:";

// After a listing the pane holds the comment lines; the header lines go over them, top to bottom:
// "Flags: " + flags, "Current Chapter(s): " + chapters, "Archive Comments:" (each when it applies).
void AddHeaderLines(std::vector<std::string>& pane, bool hasComment, const std::string& currentChapters,
                    const std::string& archiveFlags);

// The comment lines below the "Archive Comments:" header, which is one of the first three lines.
// False (target untouched) when the pane holds no such header.
bool CommentOfPane(const std::vector<std::string>& pane, std::vector<std::string>& target);

// The hint lines of a pane without an archive, at start and after closing one.
std::vector<std::string> StartHintLines();
std::vector<std::string> ClosedHintLines();
