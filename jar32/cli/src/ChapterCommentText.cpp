#include "ChapterCommentText.h"

#include <string>
#include <string_view>

#include "MemberNames.h"

namespace jar32::cli {

void printChapterComments(const std::vector<ChapterComment>& comments, ChapterRange range,
                          Output& out) {
  bool any = false;
  for (const ChapterComment& c : comments) {
    if (!range.contains(c.chapter) || c.text.empty()) continue;
    if (!any) out.line("Chapter comments:");
    any = true;
    out.put("Chapter ").put(std::to_string(c.chapter)).line(":");
    std::string_view rest = c.text;
    for (;;) {
      const size_t end = rest.find('\n');
      // Tabs are part of a comment; other control characters are not printed.
      std::string_view text = rest.substr(0, end);
      out.put("    ");
      for (size_t tab; (tab = text.find('\t')) != std::string_view::npos;) {
        out.put(printable(text.substr(0, tab))).put('\t');
        text.remove_prefix(tab + 1);
      }
      out.line(printable(text));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
}

}  // namespace jar32::cli
