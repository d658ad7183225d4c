#pragma once
// What the Extract and Delete dialogs hand to the job as names: "*" for all files, then the lines
// of the memo as wildcards to process or as names to exclude.

#include <string>
#include <vector>

class TJar;

// fileList and excludeList are cleared first; useExcludeList is true only when lines were excluded.
void TransferNames(TJar& jar, bool allFiles, bool linesAreWildcards, const std::vector<std::string>& lines);
