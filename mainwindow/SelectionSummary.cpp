#include "mainwindow/SelectionSummary.h"

std::string GroupThousands(uint64_t value, std::string_view separator) {
  const std::string digits = std::to_string(value);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 * separator.size());
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

void SelectionSummary::Reset(const char* text) {
  count_ = 0;
  bytes_ = 0;
  text_ = text;
}

void SelectionSummary::Clear() {
  count_ = 0;
  bytes_ = 0;
  text_.clear();
}

void SelectionSummary::One(int64_t size) {
  count_ = 1;
  bytes_ = static_cast<uint64_t>(size);
  text_ = OneRowText();
}

void SelectionSummary::Add(int64_t size) {
  if (text_.empty()) return One(size);
  count_ += 1;
  bytes_ += static_cast<uint64_t>(size);
  text_ = SeveralRowsText();
}

void SelectionSummary::Remove(int64_t size) {
  count_ = count_ > 0 ? count_ - 1 : 0;
  const uint64_t less = static_cast<uint64_t>(size);
  bytes_ = bytes_ > less ? bytes_ - less : 0;
  text_ = SeveralRowsText();
}

void SelectionSummary::Set(int64_t count, uint64_t bytes) {
  count_ = count;
  bytes_ = bytes;
  text_ = SeveralRowsText();
}

std::string SelectionSummary::OneRowText() const {
  return "Selected 1 file(s); " + GroupThousands(bytes_, separator_) + " bytes";
}

std::string SelectionSummary::SeveralRowsText() const {
  return "Selected " + std::to_string(count_) + " file(s); " + GroupThousands(bytes_, separator_) + " bytes";
}
