#pragma once
// The lines of the Add dialog's multi-line boxes as the job and the settings files see them.

#include <string>
#include <vector>

class QPlainTextEdit;

namespace adddialog {

// One entry a line; an empty box has none, and a line break at the very end starts no new line.
std::vector<std::string> MemoLines(const QPlainTextEdit* memo);
void SetMemoLines(QPlainTextEdit* memo, const std::vector<std::string>& lines);
// Keeps the box's text at most maxLength characters long, whether typed, pasted or set.
void LimitMemoLength(QPlainTextEdit* memo, int maxLength);

}  // namespace adddialog
