#pragma once
// The content commands' rules that need no window: the chapter choice read from the comment pane,
// the default folders, when a copy changed the open archive, the new archive's extension, and the
// given names the archiver cannot take.

#include <optional>
#include <string>
#include <vector>

// What the pane's "Current Chapter(s): " line means for the Extract and Delete dialogs' chapters.
struct ChapterChoice {
  enum Kind { kLeave, kRange, kSingle };
  Kind kind = kLeave;
  int last = -1;  // the last chapter of kRange
};
// nullopt when the pane holds fewer lines than are read (the command then stops).
std::optional<ChapterChoice> ChapterChoiceOfPane(const std::vector<std::string>& pane);

// Pane line 0 is the flags line and names recovery records.
bool PaneShowsRecoveryRecords(const std::vector<std::string>& pane);

// By mode: 1 last, 2 configured, otherwise the archive's folder; a folder that does not exist is
// replaced by the process's current folder; trimmed of blanks.
std::string DefaultFolder(int mode, const std::string& last, const std::string& configured,
                          const std::string& currentArchive);

// The copy's output archive (FE_OutputArchive) names the archive that was copied: the same text,
// nothing, or its bare file name.
bool CopyChangesInPlace(const std::string& outputArchive, const std::string& copied);

// An archive name without an extension gets ".j".
std::string WithArchiveExtension(const std::string& name);

// A given file name the archiver would read as a wildcard, split into folders, or could not take
// at all: it holds '"', '*', '?', a backslash or a control character (a line break).
bool UnfitForArchiver(const std::string& path);
