#pragma once
// The running summary of the list's selection shown in the status bar: how many rows, how many
// bytes, and its text. It follows mouse presses, key releases and the selection commands; other
// selection changes show up with the next of those.

#include <cstdint>
#include <string>
#include <string_view>

// Digits in groups of three with the separator between the groups ("#,": no decimals).
std::string GroupThousands(uint64_t value, std::string_view separator);

class SelectionSummary {
 public:
  static constexpr const char* kNoneSelected = "Selected 0 files; 0 bytes";    // opened, new, Deselect All
  static constexpr const char* kEmptySpace = "Selected 0 file(s); 0 bytes";   // a click beside the rows

  explicit SelectionSummary(std::string separator = ",") : separator_(std::move(separator)) {}

  int64_t count() const { return count_; }
  uint64_t bytes() const { return bytes_; }
  const std::string& text() const { return text_; }

  // Nothing selected, with one of the texts above.
  void Reset(const char* text);
  // The list has no rows: the text is empty.
  void Clear();
  // Exactly one row of this size.
  void One(int64_t size);
  // One more row: the first one makes the one-row text, later ones the several-rows text.
  void Add(int64_t size);
  // One row fewer (a Ctrl-click that deselected it); the figures never go below zero.
  void Remove(int64_t size);
  // The several-rows text for a recount of count rows and their bytes.
  void Set(int64_t count, uint64_t bytes);

 private:
  std::string OneRowText() const;
  std::string SeveralRowsText() const;

  std::string separator_;
  int64_t count_ = 0;
  uint64_t bytes_ = 0;
  std::string text_;
};
