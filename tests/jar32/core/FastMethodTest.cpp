// Fast (-m1): new data of fewer blocks than threads is split so that each thread packs one.
#include <gtest/gtest.h>

#include "Reader.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

constexpr size_t MiB = 1u << 20;

// Compressible without costing the test time: a random MiB repeated with a mark per copy.
std::string repeating(size_t mebibytes, unsigned seed) {
  const std::string unit = randomBytes(MiB, seed);
  std::string out;
  out.reserve(mebibytes * MiB);
  for (size_t i = 0; i < mebibytes; ++i) {
    out += unit;
    out[out.size() - 1] = char(i);
  }
  return out;
}

size_t blocksOf(const std::string& archive) {
  return ArchiveReader::open(archive, "")->directory().blocks.size();
}

TEST(FastMethod, DataOfLessThanTwoBlocksIsSplitForTwoThreadsOnlyAndAlwaysReadsBack) {
  TempDir dir;
  const std::string big = repeating(24, 1), small = repeating(12, 2);
  writeFile(dir / "big.bin", big);
  writeFile(dir / "small.bin", small);
  const std::vector<SourceFile> both = {source(dir / "big.bin", "big.bin"),
                                        source(dir / "small.bin", "small.bin")};
  struct Case {
    int method;
    unsigned threads;
    size_t blocks;
  };
  // 36 MiB: two blocks of 18 MiB on two threads (the big file's rest and the small file share
  // the second); one thread or another method keeps one block.
  for (Case c : {Case{1, 2, 2}, Case{1, 1, 1}, Case{2, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << "-m" << c.method << ", " << c.threads << " threads");
    const std::string archive = dir / ("a" + std::to_string(c.method) + std::to_string(c.threads) + ".j");
    WriteSettings s;
    s.method = c.method;
    s.threads = c.threads;
    add(archive, both, s);
    EXPECT_EQ(blocksOf(archive), c.blocks);
    auto a = Archive::open(archive, "");
    auto data = readAll(*a);
    EXPECT_EQ(data["big.bin"], big);
    EXPECT_EQ(data["small.bin"], small);
  }
}

TEST(FastMethod, LittleDataStaysInOneBlock) {
  TempDir dir;
  const std::string data = repeating(12, 3);  // under two blocks of the smallest even size
  writeFile(dir / "f.bin", data);
  WriteSettings s;
  s.method = 1;
  s.threads = 2;
  add(dir / "a.j", {source(dir / "f.bin", "f.bin")}, s);
  EXPECT_EQ(blocksOf(dir / "a.j"), 1u);
}

}  // namespace
}  // namespace jar32::test
