// Chapter comments as the listing (with -jc) and the test command print them.
#pragma once

#include <vector>

#include "Output.h"
#include "jar32/Member.h"

namespace jar32::cli {

/// Prints "Chapter comments:" and, for each comment of a chapter in `range`, a line
/// "Chapter N:" followed by its lines indented by four blanks (control characters other than tab
/// and bytes that are not UTF-8 as ?). Prints nothing when no chapter in the range has a comment.
void printChapterComments(const std::vector<ChapterComment>& comments, ChapterRange range,
                          Output& out);

}  // namespace jar32::cli
