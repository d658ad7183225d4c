// Buffered standard output (or text in memory for tests). Lines are appended without per-line
// allocations and written out in large blocks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace jar32::cli {

class Output {
 public:
  /// Writes to the stream in blocks; nullptr keeps everything in memory (text()).
  explicit Output(std::FILE* stream = nullptr) : stream_(stream) { buffer_.reserve(kBlock + 4096); }
  ~Output() { flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  Output& put(std::string_view text) {
    buffer_.append(text);
    if (stream_ && buffer_.size() >= kBlock) flush();
    return *this;
  }
  Output& put(char c) {
    buffer_.push_back(c);
    return *this;
  }
  Output& line(std::string_view text) { return put(text).put('\n'); }
  /// Writes what is buffered; false when the stream failed (disk full).
  bool flush();
  bool failed() const { return failed_; }
  const std::string& text() const { return buffer_; }

 private:
  static constexpr size_t kBlock = 1 << 16;
  std::FILE* stream_;
  std::string buffer_;
  bool failed_ = false;
};

/// "1,234,567".
std::string withThousands(uint64_t value);

/// "YYYY-MM-DD hh:mm:ss" in local time, always 19 characters ("0000-00-00 00:00:00" when the
/// time has no four-digit year).
std::string localTimeText(int64_t unixSeconds);
/// The same into a buffer (19 characters and a NUL), without allocating.
void formatLocalTime(int64_t unixSeconds, char (&out)[20]);

}  // namespace jar32::cli
