#include "mainwindow/CommentLines.h"

#include <algorithm>

namespace {

void PutOnTop(std::vector<std::string>& pane, std::string line) { pane.insert(pane.begin(), std::move(line)); }

}  // namespace

void AddHeaderLines(std::vector<std::string>& pane, bool hasComment, const std::string& currentChapters,
                    const std::string& archiveFlags) {
  if (hasComment) PutOnTop(pane, kCommentHeader);
  if (!currentChapters.empty()) PutOnTop(pane, "Current Chapter(s): " + currentChapters);
  if (!archiveFlags.empty()) PutOnTop(pane, "Flags: " + archiveFlags);
}

bool CommentOfPane(const std::vector<std::string>& pane, std::vector<std::string>& target) {
  if (pane.empty()) return false;
  for (size_t i = std::min<size_t>(pane.size() - 1, 2) + 1; i-- > 0;) {
    if (pane[i].compare(0, 17, kCommentHeader) != 0) continue;
    target.assign(pane.begin() + static_cast<std::ptrdiff_t>(i) + 1, pane.end());
    return true;
  }
  return false;
}

std::vector<std::string> StartHintLines() {
  return {"Press \"Open\" to open an archive.", "Press \"New\" to make a new archive."};
}

std::vector<std::string> ClosedHintLines() {
  return {"Press \"Open\" to open an existing archive.", "Press \"New\" to make a new archive."};
}
