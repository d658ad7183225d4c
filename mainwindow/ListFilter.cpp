#include "mainwindow/ListFilter.h"

#include <QString>
#include <algorithm>

namespace {

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether folded (already lower case) occurs in text, ignoring the case of text's ASCII letters.
bool ContainsFolded(std::string_view text, std::string_view folded) {
  if (folded.empty()) return true;
  if (text.size() < folded.size()) return false;
  const char first = folded.front();
  const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - ('a' - 'A')) : first;
  const size_t last = text.size() - folded.size();
  for (size_t at = 0; at <= last; ++at) {
    if (text[at] != first && text[at] != firstUpper) continue;
    size_t i = 1;
    while (i < folded.size() && Lower(text[at + i]) == folded[i]) ++i;
    if (i == folded.size()) return true;
  }
  return false;
}

// Folder and name as one text, without joining them.
struct Joined {
  std::string_view path, name;
  size_t size() const { return path.size() + name.size(); }
  char operator[](size_t i) const { return i < path.size() ? path[i] : name[i - path.size()]; }
};

// Whether text ends with the folded tail, where ? stands for any character (ASCII only).
bool EndsWithFolded(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  const size_t from = text.size() - tail.size();
  for (size_t i = 0; i < tail.size(); ++i)
    if (tail[i] != '?' && Lower(text[from + i]) != tail[i]) return false;
  return true;
}

// The whole of text against a pattern of * (any run) and ? (one item); at() folds an item of text.
template <class Text, class Pattern, class Fold>
bool Glob(const Text& text, const Pattern& pattern, Fold fold) {
  size_t t = 0, p = 0, star = std::string::npos, resume = 0;
  const size_t tn = static_cast<size_t>(text.size()), pn = static_cast<size_t>(pattern.size());
  while (t < tn) {
    if (p < pn && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pn && (pattern[p] == '?' || pattern[p] == fold(text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pn && pattern[p] == '*') ++p;
  return p == pn;
}

QString Folded(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toCaseFolded();
}

}  // namespace

ListFilter::ListFilter(std::string_view text) : text_(text) {
  folded_.reserve(text.size());
  for (char c : text) folded_ += Lower(c);
  pattern_ = text_.find_first_of("*?") != std::string::npos;
  ascii_ = IsAscii(text_);
  if (const size_t star = folded_.rfind('*'); star != std::string::npos) tail_ = folded_.substr(star + 1);
}

bool ListFilter::MatchesPattern(std::string_view path, std::string_view name) const {
  if (ascii_ && IsAscii(path) && IsAscii(name)) {
    // Both texts end with the name: its tail rejects most rows before any matching.
    if (!EndsWithFolded(name, tail_)) return false;
    const std::string_view pattern(folded_);
    return Glob(Joined{path, name}, pattern, Lower) || (!path.empty() && Glob(name, pattern, Lower));
  }
  std::string full(path);
  full.append(name);
  return MatchesText(full) || (!path.empty() && MatchesText(name));
}

bool ListFilter::MatchesText(std::string_view text) const {
  if (ascii_ && IsAscii(text)) {
    if (!pattern_) return ContainsFolded(text, folded_);
    return Glob(text, std::string_view(folded_), Lower);
  }
  const QString folded = Folded(text);
  const QString wanted = Folded(text_);
  if (!pattern_) return folded.contains(wanted);
  return Glob(folded, wanted, [](QChar c) { return c; });
}

bool ListFilter::Matches(std::string_view path, std::string_view name) const {
  if (text_.empty()) return true;
  if (pattern_) return MatchesPattern(path, name);
  if (FolderDecides()) return MatchesText(name) || MatchesText(path);
  std::string full(path);
  full.append(name);
  return MatchesText(full);
}

bool ListFilter::Narrows(const ListFilter& previous) const {
  if (previous.empty()) return true;
  if (pattern_ || previous.pattern_ || !ascii_ || !previous.ascii_) return false;
  return folded_.find(previous.folded_) != std::string::npos;
}
