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

namespace {

/// Civil date from days since 1970-01-01 (proleptic Gregorian).
void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

}  // namespace

std::string localTimeText(int64_t unixSeconds) {
  char text[20];
  formatLocalTime(unixSeconds, text);
  return text;
}

void formatLocalTime(int64_t unixSeconds, char (&out)[20]) {
  static const char kNone[] = "0000-00-00 00:00:00";
  // The offset from UTC changes only at whole UTC hours in practice: ask for it once per hour.
  static thread_local int64_t cachedHour = INT64_MIN;
  static thread_local long cachedOffset = 0;
  constexpr int64_t kLimit = 253402300799;  // 9999-12-31 23:59:59
  if (unixSeconds < -62167219200 || unixSeconds > kLimit) {
    std::memcpy(out, kNone, sizeof out);
    return;
  }
  const int64_t hour = unixSeconds >= 0 ? unixSeconds / 3600 : (unixSeconds - 3599) / 3600;
  if (hour != cachedHour) {
    cachedHour = hour;
    const std::time_t start = static_cast<std::time_t>(hour * 3600);
    std::tm tm{};
    cachedOffset = localtime_r(&start, &tm) ? tm.tm_gmtoff : 0;
  }
  const int64_t local = unixSeconds + cachedOffset;
  int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  const int64_t secs = local - days * 86400;
  int64_t y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  if (y < 0 || y > 9999) {
    std::memcpy(out, kNone, sizeof out);
    return;
  }
  const auto put = [&out](size_t at, unsigned value, size_t digits) {
    for (size_t i = digits; i-- > 0; value /= 10) out[at + i] = static_cast<char>('0' + value % 10);
  };
  const auto s = static_cast<unsigned>(secs);
  std::memcpy(out, kNone, sizeof out);
  put(0, static_cast<unsigned>(y), 4);
  put(5, m, 2);
  put(8, d, 2);
  put(11, s / 3600, 2);
  put(14, s / 60 % 60, 2);
  put(17, s % 60, 2);
}

}  // namespace jar32::cli
