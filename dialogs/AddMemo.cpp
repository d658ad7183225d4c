#include "dialogs/AddMemo.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>

namespace adddialog {

std::vector<std::string> MemoLines(const QPlainTextEdit* memo) {
  QString text = memo->toPlainText();
  if (text.endsWith('\n')) text.chop(1);
  std::vector<std::string> lines;
  if (memo->toPlainText().isEmpty()) return lines;
  for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
  return lines;
}

void SetMemoLines(QPlainTextEdit* memo, const std::vector<std::string>& lines) {
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  memo->setPlainText(text.join('\n'));
}

void LimitMemoLength(QPlainTextEdit* memo, int maxLength) {
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [memo, maxLength] {
    const int length = memo->document()->characterCount() - 1;
    if (length <= maxLength) return;
    // Takes the surplus off the text just entered (it ends at the cursor), else off the end.
    const int surplus = length - maxLength;
    QTextCursor cursor = memo->textCursor();
    const int end = cursor.position() >= surplus ? cursor.position() : length;
    cursor.setPosition(end - surplus);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    memo->setTextCursor(cursor);
  });
}

}  // namespace adddialog
