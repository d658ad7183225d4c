// Splits an argument line (or a file list) into items.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace jar32::cli {

/// One item of an argument line. Double-quoted segments are taken literally and lose their
/// quotes; they may sit anywhere in an item, as in -o"/x y/z".
struct Token {
  std::string text;
  /// Index in text of the first character that came from inside quotes (npos: none did).
  size_t literalFrom = std::string::npos;

  bool quoted() const { return literalFrom != std::string::npos; }
  /// True when the character at pos came from a quoted segment or later.
  bool literalAt(size_t pos) const { return quoted() && pos >= literalFrom; }
};

/// Items are separated by blanks, tabs and line ends outside quotes. Throws UsageError on an
/// unbalanced quote or a NUL byte.
std::vector<Token> tokenize(std::string_view line);
/// The same, one item at a time (long file lists are never held as items).
void forEachToken(std::string_view line, const std::function<void(Token&&)>& take);

/// Items straight from the process's own arguments: nothing is unquoted there.
Token plainToken(std::string_view text);

}  // namespace jar32::cli
