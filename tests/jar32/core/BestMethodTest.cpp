// Best (-m4): encoder memory within the budget, and text and machine code read back from its
// blocks.
#include <gtest/gtest.h>

#include "Codec.h"
#include "Methods.h"
#include "Reader.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

constexpr uint64_t MiB = 1ull << 20;

TEST(BestMethod, TheEncoderOfTheLargestBlockFitsTheMemoryBudgetAndSmallBlocksTakeLittle) {
  for (ContentClass cls :
       {ContentClass::General, ContentClass::Executable, ContentClass::Compressed}) {
    const uint64_t full = encoderMemory(codecFor(4, cls), 64 * MiB);
    EXPECT_GT(full, 64 * MiB);  // the dictionary spans the whole block
    EXPECT_LE(full + 2 * 64 * MiB, 1024 * MiB);
    EXPECT_GT(2 * (full + 2 * 64 * MiB), 1024 * MiB);  // so two are never built at once
    EXPECT_LT(encoderMemory(codecFor(4, cls), 100000), 16 * MiB);
  }
  EXPECT_EQ(encoderMemory(codecFor(1, ContentClass::General), 64 * MiB), 64 * MiB);
}

TEST(BestMethod, TextAndMachineCodeInSeparateBlocksReadBackAndTest) {
  TempDir dir;
  std::string code = std::string("\x7f" "ELF", 4);
  for (int i = 0; i < 20000; ++i) code += std::string("\xE8") + char(i) + char(i >> 8) + "\0\0\x90";
  writeFile(dir / "tool", code);
  writeFile(dir / "notes.txt", sampleText(300000, 3));
  writeFile(dir / "photo.jpg", randomBytes(50000, 4));
  WriteSettings best;
  best.method = 4;
  add(dir / "a.j", {source(dir / "tool", "tool"), source(dir / "notes.txt", "notes.txt"),
                    source(dir / "photo.jpg", "photo.jpg")}, best);
  auto r = ArchiveReader::open(dir / "a.j", "");
  EXPECT_EQ(r->directory().blocks.size(), 3u);  // by class: text, machine code, the photo
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data["tool"], code);
  EXPECT_EQ(data["notes.txt"], sampleText(300000, 3));
  EXPECT_EQ(data["photo.jpg"], randomBytes(50000, 4));
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST(BestMethod, AlreadyCompressedFilesTakeABlockOfTheirOwnBesideTextAndReadBack) {
  TempDir dir;
  // Text sorts before already-compressed files, and the change of class starts a new block.
  const std::string text = sampleText(200000, 5);
  std::string packed = randomBytes(40000, 6);
  packed += packed;  // what repeats in compressed files repeats at length
  writeFile(dir / "a.txt", text);
  writeFile(dir / "b.pdf", packed);
  WriteSettings best;
  best.method = 4;
  add(dir / "a.j", {source(dir / "a.txt", "a.txt"), source(dir / "b.pdf", "b.pdf")}, best);
  auto r = ArchiveReader::open(dir / "a.j", "");
  ASSERT_EQ(r->directory().blocks.size(), 2u);
  EXPECT_LT(r->directory().blocks[1].dataStored, 50000u);  // the repeat was found
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data["a.txt"], text);
  EXPECT_EQ(data["b.pdf"], packed);
  EXPECT_NO_THROW(a->test(nullptr));
}

}  // namespace
}  // namespace jar32::test
