// One run of jar32.exe as given: the command, its archive, names and switches.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "NameList.h"
#include "Options.h"
#include "Tokenizer.h"

namespace jar32::cli {

struct Invocation {
  Command command = Command::List;
  std::string archive;                  // rh: the damaged archive; CFG: the file to write
  NameList names;                       // names and wildcards (file lists already read)
  std::optional<ChapterBounds> deleteRange;  // dc: the bare range
  Options options;
};

/// Reads a file list named after '@' (quoted names separated by blanks) into names. Throws
/// UsageError when the file cannot be read or is malformed.
using FileListReader = void (*)(const std::string& path, NameList& names);
void readFileList(const std::string& path, NameList& names);

/// Takes the items of a command line one at a time (the command first), so that a long
/// argument file is never held as a list of items.
class InvocationBuilder {
 public:
  explicit InvocationBuilder(FileListReader listReader = &readFileList) : listReader_(listReader) {}
  /// Throws UsageError.
  void add(Token&& item);
  /// The command, once the first item was a command word.
  std::optional<Command> command() const { return command_; }
  /// The first item as given ("" when there was none).
  const std::string& firstItem() const { return first_; }
  /// Applies the defaults (from jar.cfg), then the switches as given. Throws UsageError.
  Invocation finish(const Options& defaults);

 private:
  FileListReader listReader_;
  bool started_ = false;
  std::string first_;
  std::optional<Command> command_;
  Invocation inv_;
  std::vector<Token> switches_;
  bool haveArchive_ = false;
};

/// Builds the invocation from the items of the command line (the command first). Switches from
/// jar.cfg are applied first through `defaults`. Throws UsageError.
Invocation parseInvocation(const std::vector<Token>& items, const Options& defaults,
                           FileListReader listReader = &readFileList);

/// The command of an item list, or nothing when the first item is not a command.
std::optional<Command> leadingCommand(const std::vector<Token>& items);

/// Reads a whole argument file or file list: a regular file of at most 512 MiB. Throws
/// UsageError (a folder, a FIFO or device, a file that cannot be read, one too large).
std::string readArgumentFile(const std::string& path);

}  // namespace jar32::cli
