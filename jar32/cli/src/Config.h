// jar.cfg: default switches per command, read from the program's own folder at every run.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "Options.h"
#include "Tokenizer.h"

namespace jar32::cli {

/// The parsed file: for each command, the switch items to apply before the command line's.
/// A line "*" applies to every command (before the command's own line).
struct Config {
  std::vector<Token> everyCommand;
  std::map<Command, std::vector<Token>> perCommand;
  std::string signerName;  // "signer <name>": the name that -hy writes into envelopes
};

/// Parses jar.cfg text: "# ..." comment lines, blank lines, lines "<command> <switches>" and
/// one "signer <name>" (at most 127 bytes, no control characters).
/// Throws UsageError ("jar.cfg line N: ...") on an unknown command, a non-switch item or a switch
/// that does not parse.
Config parseConfig(const std::string& text);

/// The defaults for a command: built-in options with the file's switches applied.
Options defaultsFor(const Config& config, Command command);

/// The text that CFG writes: the documented defaults of every command.
std::string generatedConfigText();

/// The program's own folder (from /proc/self/exe), with a trailing '/'.
std::string programFolder();

/// Loads jar.cfg from the folder; nothing when the file does not exist. Throws UsageError when
/// it cannot be read or does not parse.
std::optional<Config> loadConfig(const std::string& folder);

}  // namespace jar32::cli
