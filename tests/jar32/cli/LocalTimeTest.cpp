// Listing times around daylight-saving changes that do not fall on whole UTC hours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "Output.h"

using namespace jar32::cli;

namespace {

class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    if (old_.empty()) unsetenv("TZ");
    else setenv("TZ", old_.c_str(), 1);
    tzset();
  }

 private:
  std::string old_;
};

bool zoneInstalled(const char* zone) {
  return std::filesystem::exists(std::string("/usr/share/zoneinfo/") + zone);
}

}  // namespace

// St. John's is 3:30 behind UTC in winter: its changes fall at half past a UTC hour.
TEST(LocalTime, HalfHourZoneAcrossBothChanges) {
  if (!zoneInstalled("America/St_Johns")) GTEST_SKIP() << "time-zone data for America/St_Johns is not installed";
  ZoneScope zone("America/St_Johns");
  // Ask for the start of each hour first, as a listing sorted by time would.
  EXPECT_EQ(localTimeText(1772946000), "2026-03-08 01:30:00");
  EXPECT_EQ(localTimeText(1772947799), "2026-03-08 01:59:59");
  EXPECT_EQ(localTimeText(1772947800), "2026-03-08 03:00:00");
  EXPECT_EQ(localTimeText(1772948700), "2026-03-08 03:15:00");
  EXPECT_EQ(localTimeText(1793505600), "2026-11-01 01:30:00");
  EXPECT_EQ(localTimeText(1793507399), "2026-11-01 01:59:59");
  EXPECT_EQ(localTimeText(1793507400), "2026-11-01 01:00:00");
  EXPECT_EQ(localTimeText(1793508300), "2026-11-01 01:15:00");
}

TEST(LocalTime, TimesWithoutAFourDigitYearShowZeros) {
  ZoneScope zone("UTC");
  EXPECT_EQ(localTimeText(-1), "1969-12-31 23:59:59");
  EXPECT_EQ(localTimeText(253402300799), "9999-12-31 23:59:59");
  EXPECT_EQ(localTimeText(253402300800), "0000-00-00 00:00:00");
  EXPECT_EQ(localTimeText(-62167219201), "0000-00-00 00:00:00");
}
