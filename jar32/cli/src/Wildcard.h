// Wildcard matching: '*' any run of characters, '?' one character. Byte-wise, case-sensitive.
#pragma once

#include <string_view>

namespace jar32::cli {

bool hasWildcards(std::string_view text);

/// Whole-text match. With separator != 0, '*' and '?' never match that character (host names
/// within one folder); with 0 they match anything (member names: "*" is every member).
/// A pattern ending in ".*" also matches names without a dot ("*.*" matches everything).
bool wildcardMatch(std::string_view pattern, std::string_view text, char separator = 0);

}  // namespace jar32::cli
