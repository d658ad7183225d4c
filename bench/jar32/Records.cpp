// Recovery records: how fast they are made and used, and whether every single burst up to a
// share of the archive is repaired.
//   jar32_bench_records encode SIZE_MB              make records (3%) for SIZE_MB of bytes
//   jar32_bench_records bursts SIZE_MB COUNT MAXPCT  COUNT random bursts of up to MAXPCT percent
//   jar32_bench_records repair SIZE_MB PCT           repair one burst of PCT percent
// Figures go to standard output; the files live in $TMPDIR (or /tmp) and are removed.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "FileIo.h"
#include "RecoveryRecords.h"

using namespace jar32;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string makeFile(uint64_t bytes) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/jar32-records-bench-" +
                     std::to_string(getpid());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(2);
  }
  std::mt19937_64 random(42);
  std::vector<uint64_t> block(1 << 17);
  for (uint64_t done = 0; done < bytes;) {
    for (auto& v : block) v = random();
    const size_t n = size_t(std::min<uint64_t>(block.size() * 8, bytes - done));
    std::fwrite(block.data(), 1, n, f);
    done += n;
  }
  std::fclose(f);
  return path;
}

void flip(const std::string& path, uint64_t at, uint64_t n) {
  const int fd = ::open(path.c_str(), O_RDWR);
  std::vector<uint8_t> b(n);
  if (::pread(fd, b.data(), n, off_t(at)) != ssize_t(n)) std::abort();
  for (auto& c : b) c ^= 0xA5;
  if (::pwrite(fd, b.data(), n, off_t(at)) != ssize_t(n)) std::abort();
  ::close(fd);
}

/// Opens with Repair; true when every byte reads back as `original` says (sampled around the
/// burst and checked wholly by the records' own sector CRCs).
bool repairsTo(const std::string& path, uint64_t covered, uint64_t at, uint64_t n,
               const std::vector<uint8_t>& original, RecordsInfo& info) {
  File f = File::openRead(path);
  info = openRecords(f, RecordsUse::Repair);
  if (!info.present || !info.repairable()) return false;
  if (at >= covered) return true;  // the burst hit the records only
  const uint64_t len = std::min(n, covered - at);
  std::vector<uint8_t> back(len);
  return f.readAt(at, back.data(), len) && std::memcmp(back.data(), original.data(), len) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s encode SIZE_MB | bursts SIZE_MB COUNT MAXPCT | repair SIZE_MB PCT\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1];
  const uint64_t size = uint64_t(std::atof(argv[2]) * 1e6);
  const std::string path = makeFile(size);
  auto start = Clock::now();
  appendRecoveryRecords(path, kDefaultRecordsShare);
  const double encode = seconds(start);
  File probe = File::openRead(path);
  const uint64_t total = probe.size();
  const RecordsLayout layout = RecordsLayout::plan(size, kDefaultRecordsShare);
  std::printf("archive %.1f MB, records %.2f MB (%.2f%%), %u stripes of %u + %u sectors\n", size / 1e6,
              (total - size) / 1e6, 100.0 * double(total - size) / double(size), layout.stripes,
              layout.dataPerStripe, layout.parityPerStripe);
  std::printf("encode: %.3f s, %.0f MB/s (one core)\n", encode, size / 1e6 / encode);
  int failures = 0;
  if (what == "bursts" && argc >= 5) {
    const int count = std::atoi(argv[3]);
    const double maxPct = std::atof(argv[4]);
    std::mt19937_64 random(7);
    int repaired = 0;
    double slowest = 0;
    for (int i = 0; i < count; ++i) {
      const uint64_t n = 1 + random() % uint64_t(double(total) * maxPct / 100.0);
      const uint64_t at = random() % (total - n);
      std::vector<uint8_t> original(n);
      {
        File f = File::openRead(path);
        f.readAt(at, original.data(), n);
      }
      flip(path, at, n);
      RecordsInfo info;
      start = Clock::now();
      const bool ok = repairsTo(path, size, at, n, original, info);
      slowest = std::max(slowest, seconds(start));
      if (ok) ++repaired;
      else std::printf("  NOT repaired: burst of %llu bytes at %llu\n", (unsigned long long)n, (unsigned long long)at);
      flip(path, at, n);
    }
    failures = count - repaired;
    std::printf("bursts up to %.2f%%: %d of %d repaired (slowest check and repair %.2f s)\n", maxPct,
                repaired, count, slowest);
  } else if (what == "repair" && argc >= 4) {
    const double pct = std::atof(argv[3]);
    const uint64_t n = uint64_t(double(size) * pct / 100.0);
    const uint64_t at = size / 3;
    std::vector<uint8_t> original(n);
    {
      File f = File::openRead(path);
      f.readAt(at, original.data(), n);
    }
    flip(path, at, n);
    RecordsInfo info;
    start = Clock::now();
    const bool ok = repairsTo(path, size, at, n, original, info);
    const double t = seconds(start);
    std::printf("repair of a %.2f%% burst (%.1f MB): %s in %.3f s (check and repair, in memory)\n", pct,
                n / 1e6, ok ? "repaired" : "NOT repaired", t);
    failures = ok ? 0 : 1;
  }
  ::unlink(path.c_str());
  return failures ? 1 : 0;
}
