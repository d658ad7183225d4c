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
  // Every row this filter passes also passes previous: only previous's rows need testing.
  bool Narrows(const ListFilter& previous) const;

 private:
  bool MatchesText(std::string_view text) const;

  std::string text_;    // as typed
  std::string folded_;  // ASCII letters in lower case
  bool pattern_ = false;
  bool ascii_ = true;
};
