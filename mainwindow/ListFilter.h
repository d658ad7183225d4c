#pragma once
// The list's filter text. Without wildcards a row passes when its folder + name contains the text;
// with * or ? in it, the row's name or its folder + name must match the whole pattern. Case is
// ignored (ASCII directly on the bytes, other letters through Unicode case folding).

#include <string>
#include <string_view>

class ListFilter {
 public:
  ListFilter() = default;
  explicit ListFilter(std::string_view text);

  bool empty() const { return text_.empty(); }
  const std::string& text() const { return text_; }
  bool Matches(std::string_view path, std::string_view name) const;
  // A row passes exactly when its folder or its name passes alone (so a folder's verdict can be
  // worked out once for all its rows).
  bool FolderDecides() const { return !pattern_ && ascii_ && text_.find('\\') == std::string::npos; }
  bool MatchesPart(std::string_view text) const { return MatchesText(text); }
  // Every row this filter passes also passes previous: only previous's rows need testing.
  bool Narrows(const ListFilter& previous) const;

 private:
  bool MatchesText(std::string_view text) const;
  bool MatchesPattern(std::string_view path, std::string_view name) const;

  std::string text_;    // as typed
  std::string folded_;  // ASCII letters in lower case
  std::string tail_;  // folded, after the pattern's last *: what every passing name ends with
  bool pattern_ = false;
  bool ascii_ = true;
};
