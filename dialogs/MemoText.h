#pragma once
// Line-based input of the dialogs' memos: names and wildcards one per line, and length limits.

#include <QString>
#include <optional>
#include <string>
#include <vector>

class QPlainTextEdit;

// The lines of a memo's text that hold more than blanks, in order, as UTF-8.
std::vector<std::string> NonEmptyLines(const QString& text);

// The names or wildcards typed one per line, each with one pair of surrounding double quotes taken
// off (a name is never quoted by hand). A line that still holds a double quote cannot travel to
// the archiver (and no member name holds one): the first such line is returned in `refused`.
struct NameLines {
  std::vector<std::string> names;
  std::optional<std::string> refused;
};
NameLines ReadNameLines(const QString& text);

// Shown when a name or wildcard line holds a double quote.
inline constexpr const char* kNameQuoteMessage =
    "A name or wildcard cannot contain the character \" (the archiver's command file cannot carry it):\n";

// Keeps the memo's text at most maxCharacters characters long (typed or pasted).
void LimitCharacters(QPlainTextEdit* memo, int maxCharacters);
// Keeps the memo's text at most maxBytes bytes long in UTF-8 (the archiver's limit for comments).
void LimitUtf8Bytes(QPlainTextEdit* memo, int maxBytes);
// The longest start of text that fits in maxBytes bytes of UTF-8, never splitting a character.
QString Utf8Prefix(const QString& text, int maxBytes);
