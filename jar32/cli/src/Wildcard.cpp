#include "Wildcard.h"

namespace jar32::cli {

bool hasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

namespace {

// Greedy matching with one backtrack point: linear in practice, never exponential.
bool matchPlain(std::string_view p, std::string_view t, char sep) {
  size_t pi = 0, ti = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starT = ti;
    } else if (pi < p.size() && (p[pi] == t[ti] || (p[pi] == '?' && (sep == 0 || t[ti] != sep)))) {
      ++pi;
      ++ti;
    } else if (starP != std::string_view::npos && (sep == 0 || t[starT] != sep)) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view text, char separator) {
  if (matchPlain(pattern, text, separator)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    // "name.*" also matches "name" (no extension).
    const std::string_view stem = pattern.substr(0, pattern.size() - 2);
    const size_t lastSep = separator ? text.rfind(separator) : text.find_last_of("\\/");
    const std::string_view leaf = lastSep == std::string_view::npos ? text : text.substr(lastSep + 1);
    if (leaf.find('.') == std::string_view::npos) return matchPlain(stem, text, separator);
  }
  return false;
}

}  // namespace jar32::cli
