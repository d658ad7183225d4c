#include "Output.h"

#include <cstring>
#include <ctime>

namespace jar32::cli {

bool Output::flush() {
  if (!stream_ || buffer_.empty()) return !failed_;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size()) failed_ = true;
  if (std::fflush(stream_) != 0) failed_ = true;
  buffer_.clear();
  return !failed_;
}

std::string withThousands(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string localTimeText(int64_t unixSeconds) {
  char text[20];
  formatLocalTime(unixSeconds, text);
  return text;
}

void formatLocalTime(int64_t unixSeconds, char (&out)[20]) {
  static const char kNone[] = "0000-00-00 00:00:00";
  std::memcpy(out, kNone, sizeof out);
  // Asked for every time: offsets change at any second of the day (half-hour zones, history),
  // and the C library answers fast enough.
  constexpr int64_t kLimit = 253402300799;  // 9999-12-31 23:59:59 UTC
  if (unixSeconds < -62167219200 || unixSeconds > kLimit) return;
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return;
  const long year = 1900L + tm.tm_year;
  if (year < 0 || year > 9999) return;
  const auto put = [&out](size_t at, unsigned value, size_t digits) {
    for (size_t i = digits; i-- > 0; value /= 10) out[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, static_cast<unsigned>(year), 4);
  put(5, static_cast<unsigned>(tm.tm_mon + 1), 2);
  put(8, static_cast<unsigned>(tm.tm_mday), 2);
  put(11, static_cast<unsigned>(tm.tm_hour), 2);
  put(14, static_cast<unsigned>(tm.tm_min), 2);
  put(17, static_cast<unsigned>(tm.tm_sec), 2);
}

}  // namespace jar32::cli
