// One run of jar32.exe as given: the command, its archive, names and switches.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "Options.h"
#include "Tokenizer.h"

namespace jar32::cli {

struct Invocation {
  Command command = Command::List;
  std::string archive;                  // rh: the damaged archive; CFG: the file to write
  std::vector<std::string> names;       // names and wildcards (file lists already read)
  std::optional<ChapterBounds> deleteRange;  // dc: the bare range
  Options options;
};

/// Reads a file list named after '@': quoted names separated by blanks. Throws UsageError when
/// the file cannot be read or is malformed.
using FileListReader = std::vector<std::string> (*)(const std::string& path);
std::vector<std::string> readFileList(const std::string& path);

/// Builds the invocation from the items of the command line (the command first). Switches from
/// jar.cfg are applied first by the caller through `defaults`. Throws UsageError.
Invocation parseInvocation(const std::vector<Token>& items, const Options& defaults,
                           FileListReader listReader = &readFileList);

/// The command of an item list, or nothing when the first item is not a command.
std::optional<Command> leadingCommand(const std::vector<Token>& items);

/// Reads a whole small text file (argument file, file list). Throws UsageError.
std::string readArgumentFile(const std::string& path);

}  // namespace jar32::cli
