#include "Comment.h"

namespace jar32::cli {

namespace {
constexpr std::string_view kCurrentChapter = "Current chapter: ";
constexpr std::string_view kChapterRange = "Chapter range selected: ";

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (true) {
    const size_t pos = text.find('\n', start);
    if (pos == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

void breakMarker(std::string& line, std::string_view marker) {
  size_t pos;
  while ((pos = line.find(marker)) != std::string::npos)
    line.insert(pos + marker.size() - 2, " ");  // "Current chapter : "
}
}  // namespace

const std::vector<std::string_view>& flagWords() {
  static const std::vector<std::string_view> words{"LOCKED",  "AUTO_LOCK", "RECOVERY RECORDS",
                                                   "SECURED", "HIDDEN",    "PROTECTED",
                                                   "ENCRYPTED"};
  return words;
}

bool holdsChapterMarker(std::string_view line) {
  return line.find(kCurrentChapter) != std::string_view::npos ||
         line.find(kChapterRange) != std::string_view::npos;
}

bool holdsFlagWord(std::string_view line) {
  for (std::string_view w : flagWords())
    if (line.find(w) != std::string_view::npos) return true;
  return false;
}

std::string normalizeComment(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      out.push_back('\n');
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      out.push_back(c);
    }
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::optional<std::string> commentProblem(std::string_view comment) {
  if (comment.size() > kCommentMaxBytes)
    return "the comment is longer than " + std::to_string(kCommentMaxBytes) + " bytes";
  const size_t firstEnd = comment.find('\n');
  if (firstEnd != std::string_view::npos && comment.size() - firstEnd > kCommentMaxTailBytes)
    return "the comment's lines after the first hold more than " +
           std::to_string(kCommentMaxTailBytes) + " bytes";
  for (unsigned char c : comment)
    if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f)
      return std::string("the comment holds a control character");
  const auto lines = splitLines(comment);
  for (size_t i = 0; i < lines.size(); ++i)
    if (holdsChapterMarker(lines[i]))
      return "comment line " + std::to_string(i + 1) + " would read as the chapter line";
  if (holdsFlagWord(lines[0]))
    return std::string("the first comment line holds a flag word (LOCKED, AUTO_LOCK, RECOVERY "
                       "RECORDS, SECURED, HIDDEN, PROTECTED or ENCRYPTED) and would read as "
                       "the flag line");
  return std::nullopt;
}

std::vector<std::string> commentDisplayLines(std::string_view comment, bool hasFlagLine,
                                             size_t chapterLineLength) {
  std::vector<std::string> out;
  if (comment.empty()) return out;
  for (std::string_view raw : splitLines(comment)) {
    std::string line(raw);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line) {
      const auto u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7f) c = '?';
    }
    breakMarker(line, kCurrentChapter);
    breakMarker(line, kChapterRange);
    out.push_back(std::move(line));
  }
  if (!hasFlagLine && holdsFlagWord(out[0])) out.insert(out.begin(), std::string());
  // The reader counts every line after the first (with its line end) plus the chapter line.
  size_t counted = chapterLineLength + 1;
  for (size_t i = 1; i < out.size(); ++i) counted += out[i].size() + 1;
  while (counted > 4096 && out.size() > 1) {
    counted -= out.back().size() + 1;
    out.pop_back();
  }
  return out;
}

}  // namespace jar32::cli
