// A 200 MB archive with recovery records made by jar32.exe, damaged by 100 single bursts of up
// to 2.5% of the file at random offsets: each is repaired. Most are checked through the
// library's repair (fast); every 10th through jar32.exe, alternately x -hx (the extracted files
// compared) and t -jr (the repaired archive compared byte for byte with the one made).
// JAR32_BURSTS_SEED=<n> repeats a run; the seed is printed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>

#include "FileIo.h"
#include "JarRun.h"
#include "RecoveryRecords.h"
#include "VolumeSet.h"

using namespace e2e;

namespace {

constexpr size_t kFiles = 20;
constexpr size_t kFileBytes = 10u << 20;
constexpr int kBursts = 100;

// Incompressible content, fast to make: the archive is as large as the files.
void writeNoise(const fs::path& path, uint64_t seed) {
  std::string bytes(kFileBytes, '\0');
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(&bytes[i], &x, 8);
  }
  writeFile(path, bytes);
}

std::string bytesAt(int fd, uint64_t offset, size_t n) {
  std::string b(n, '\0');
  EXPECT_EQ(::pread(fd, b.data(), n, off_t(offset)), ssize_t(n));
  return b;
}

void putAt(const fs::path& path, uint64_t offset, const std::string& b) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::pwrite(fd, b.data(), b.size(), off_t(offset)), ssize_t(b.size()));
  ::close(fd);
}

bool sameFiles(const fs::path& a, const fs::path& b) {
  if (fs::file_size(a) != fs::file_size(b)) return false;
  const int fa = ::open(a.c_str(), O_RDONLY), fb = ::open(b.c_str(), O_RDONLY);
  std::string x(1 << 20, '\0'), y(1 << 20, '\0');
  bool same = fa >= 0 && fb >= 0;
  for (off_t at = 0; same;) {
    const ssize_t n = ::pread(fa, x.data(), x.size(), at), m = ::pread(fb, y.data(), y.size(), at);
    if (n != m || n < 0) same = false;
    if (n <= 0) break;
    same = same && std::memcmp(x.data(), y.data(), size_t(n)) == 0;
    at += n;
  }
  if (fa >= 0) ::close(fa);
  if (fb >= 0) ::close(fb);
  return same;
}

TEST(Bursts, OneHundredBurstsOnA200MBArchiveAreEachRepaired) {
  uint64_t seed = std::random_device{}();
  if (const char* s = std::getenv("JAR32_BURSTS_SEED")) seed = std::strtoull(s, nullptr, 10);
  std::cout << "JAR32_BURSTS_SEED=" << seed << std::endl;
  ::testing::Test::RecordProperty("seed", std::to_string(seed));

  TempDir t;
  fs::create_directories(t / "src");
  for (size_t i = 0; i < kFiles; ++i) writeNoise(t / "src" / ("f" + std::to_string(i) + ".bin"), i + 1);
  Result r = jar({"a", "../b.j", "-m1", "-hk", "-r", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path archive = t / "b.j";
  fs::copy_file(archive, t / "made.j");
  const uint64_t size = fs::file_size(archive);
  ASSERT_GT(size, 200u << 20);

  std::mt19937_64 random(seed);
  const uint64_t most = size * 25 / 1000;
  int repaired = 0;
  for (int burst = 0; burst < kBursts; ++burst) {
    const uint64_t length = std::uniform_int_distribution<uint64_t>(1, most)(random);
    const uint64_t offset = std::uniform_int_distribution<uint64_t>(0, size - length)(random);
    SCOPED_TRACE("burst " + std::to_string(burst) + " at " + std::to_string(offset) + ", " +
                 std::to_string(length) + " bytes (JAR32_BURSTS_SEED=" + std::to_string(seed) + ")");
    const int fd = ::open(archive.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string before = bytesAt(fd, offset, size_t(length));
    ::close(fd);
    std::string noise = before;
    for (char& c : noise) c = char(uint8_t(c) ^ uint8_t(random() | 1));  // every byte changes
    putAt(archive, offset, noise);

    bool ok = false;
    if (burst % 10 == 9 && burst % 20 == 9) {
      fs::remove_all(t / "out");
      r = jar({"x", "b.j", "-hx", "-y", "-oout"}, t.path());
      EXPECT_EQ(r.code, 0) << r.out << r.err;
      const std::string diff = compareTrees(t / "src", t / "out");
      EXPECT_EQ(diff, "");
      ok = r.code == 0 && diff.empty();
      fs::remove_all(t / "out");
    } else if (burst % 10 == 9) {
      r = jar({"t", "b.j", "-jr"}, t.path());
      EXPECT_EQ(r.code, 0) << r.out << r.err;
      ok = sameFiles(archive, t / "made.j");  // records made anew are the same bytes
      EXPECT_TRUE(ok);
    } else {
      jar32::File f = jar32::openArchiveFile(archive.string());
      const jar32::RecordsInfo info = jar32::openRecords(f, jar32::RecordsUse::Repair);
      EXPECT_TRUE(info.present);
      EXPECT_TRUE(info.repairable()) << info.unrepairableBytes << " bytes past repair";
      EXPECT_GE(info.damagedBytes, length);
      // Every damaged byte of the archive proper reads as it was.
      ok = info.repairable();
      if (offset < info.coveredBytes) {
        const size_t n = size_t(std::min(length, info.coveredBytes - offset));
        std::string back(n, '\0');
        ok = ok && f.readAt(offset, back.data(), n) && back == before.substr(0, n);
        EXPECT_TRUE(ok);
      }
    }
    if (ok) ++repaired;
    putAt(archive, offset, before);
    if (::testing::Test::HasFatalFailure()) return;
  }
  std::cout << repaired << " of " << kBursts << " bursts repaired" << std::endl;
  EXPECT_EQ(repaired, kBursts);
  EXPECT_TRUE(sameFiles(archive, t / "made.j"));
}

}  // namespace
