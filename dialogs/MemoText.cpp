#include "dialogs/MemoText.h"

#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <functional>

#include "platform/Paths.h"

std::vector<std::string> NonEmptyLines(const QString& text) {
  std::vector<std::string> lines;
  for (const QString& line : text.split('\n')) {
    QString clean = line;
    if (clean.endsWith('\r')) clean.chop(1);
    if (!clean.trimmed().isEmpty()) lines.push_back(clean.toStdString());
  }
  return lines;
}

NameLines ReadNameLines(const QString& text) {
  NameLines result;
  for (const std::string& line : NonEmptyLines(text)) {
    const bool quoted = line.size() >= 2 && line.front() == '"' && line.back() == '"';
    std::string name = quoted ? platform::StripQuotes(line) : line;
    if (name.find('"') != std::string::npos) {
      result.refused = line;
      return result;
    }
    if (!name.empty()) result.names.push_back(std::move(name));
  }
  return result;
}

QString Utf8Prefix(const QString& text, int maxBytes) {
  int bytes = 0;
  qsizetype i = 0;
  while (i < text.size()) {
    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    const char32_t code = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
    const int size = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    if (bytes + size > maxBytes) break;
    bytes += size;
    i += pair ? 2 : 1;
  }
  return text.left(i);
}

namespace {

// Cuts the memo's text to what `fit` keeps, leaving the cursor where it was (or at the end).
void KeepFitting(QPlainTextEdit* memo, std::function<QString(const QString&)> fit) {
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [memo, fit] {
    const QString text = memo->toPlainText();
    const QString kept = fit(text);
    if (kept.size() == text.size()) return;
    const int position = std::min<int>(memo->textCursor().position(), static_cast<int>(kept.size()));
    const QSignalBlocker blocker(memo);
    memo->setPlainText(kept);
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(position);
    memo->setTextCursor(cursor);
  });
}

}  // namespace

void LimitCharacters(QPlainTextEdit* memo, int maxCharacters) {
  KeepFitting(memo, [maxCharacters](const QString& text) {
    QString kept = text.left(maxCharacters);
    if (kept.size() < text.size() && !kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);
    return kept;
  });
}

void LimitUtf8Bytes(QPlainTextEdit* memo, int maxBytes) {
  KeepFitting(memo, [maxBytes](const QString& text) { return Utf8Prefix(text, maxBytes); });
}
