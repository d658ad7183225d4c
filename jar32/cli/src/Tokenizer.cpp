#include "Tokenizer.h"

#include "UsageError.h"

namespace jar32::cli {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::vector<Token> tokenize(std::string_view line) {
  std::vector<Token> items;
  forEachToken(line, [&](Token&& t) { items.push_back(std::move(t)); });
  return items;
}

void forEachToken(std::string_view line, const std::function<void(Token&&)>& take) {
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && isBlank(line[i])) ++i;
    if (i >= n) break;
    Token t;
    bool inQuotes = false;
    for (; i < n; ++i) {
      const char c = line[i];
      if (c == '\0') throw UsageError("the argument line holds a NUL byte");
      if (c == '"') {
        inQuotes = !inQuotes;
        if (inQuotes && !t.quoted()) t.literalFrom = t.text.size();
        continue;
      }
      if (!inQuotes && isBlank(c)) break;
      t.text.push_back(c);
    }
    if (inQuotes) throw UsageError("unbalanced double quote in the argument line");
    take(std::move(t));
  }
}

Token plainToken(std::string_view text) { return Token{std::string(text), std::string::npos}; }

}  // namespace jar32::cli
