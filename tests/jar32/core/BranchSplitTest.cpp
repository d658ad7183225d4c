// The x86 branch split and its codec: code comes back whole whatever the step sizes, only
// branches into their own file are moved, and not those left for the linker, repeated calls
// pack smaller than the plain x86 filter, and damaged streams end in an error or different
// bytes, never in a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "BranchSplit.h"
#include "Codec.h"
#include "CodecSteps.h"
#include "TestSupport.h"

using namespace jar32;
using jar32::test::sampleText;
using jar32::test::Outcome;
using jar32::test::pack;
using jar32::test::unpack;

namespace {

void putRel(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// Files of code-like bytes: calls to a few functions of the same file, jumps and conditional
// jumps nearby, calls to nowhere, and filler. Fills `starts` with where each file begins.
Bytes sampleCode(size_t files, size_t fileSize, unsigned seed, std::vector<uint64_t>& starts) {
  std::mt19937 r(seed);
  Bytes out;
  const uint8_t filler[] = {0x48, 0x89, 0xC7, 0x90, 0x8B, 0x45, 0xF8, 0x5D, 0xC3, 0x0F, 0x1F};
  for (size_t f = 0; f < files; ++f) {
    const size_t begin = out.size();
    starts.push_back(begin);
    std::vector<uint32_t> functions;
    for (int i = 0; i < 40; ++i) functions.push_back(uint32_t(begin + r() % fileSize));
    while (out.size() - begin < fileSize) {
      const uint32_t at = uint32_t(out.size());
      switch (r() % 10) {
        case 0: case 1: case 2:
          out.push_back(0xE8);
          putRel(out, functions[r() % functions.size()] - (at + 5));
          break;
        case 3:
          out.push_back(0xE9);
          putRel(out, uint32_t(int32_t(r() % 400) - 200));
          break;
        case 4:
          out.push_back(0x0F);
          out.push_back(uint8_t(0x80 | (r() % 16)));
          putRel(out, uint32_t(int32_t(r() % 400) - 200));
          break;
        case 5:
          out.push_back(0xE8);
          putRel(out, uint32_t(r()));  // most land outside every file
          break;
        default:
          for (unsigned n = 1 + r() % 6; n; --n) out.push_back(filler[r() % sizeof filler]);
      }
    }
  }
  return out;
}

const CodecChoice kSplit{kCodecXzBranches, 6, 0, false};

}  // namespace

TEST(BranchSplit, CodeComesBackWholeWhateverTheStepSizes) {
  std::vector<uint64_t> starts;
  const Bytes code = sampleCode(3, 40000, 1, starts);
  Codec used{};
  const Bytes packed = pack(kSplit, code, starts, &used);
  EXPECT_EQ(used, kCodecXzBranches);
  for (auto [inStep, outStep] : {std::pair<size_t, size_t>{packed.size(), 1 << 16}, {1, 4096},
                                 {7, 3}, {1000, 1}, {64, 5}}) {
    SCOPED_TRACE(std::to_string(inStep) + " in, " + std::to_string(outStep) + " out");
    const Outcome o = unpack(kCodecXzBranches, packed, inStep, outStep);
    EXPECT_EQ(o.error, kOk);
    EXPECT_TRUE(o.finished);
    EXPECT_TRUE(o.out == code);
  }
  // Opcodes at the very end, with too few bytes after them to be branches, and empty input.
  for (const Bytes& tail : {Bytes{}, Bytes{0xE8}, Bytes{0x90, 0xE9, 0, 0}, Bytes{0x0F, 0x85, 1, 0, 0},
                            Bytes{0xE8, 0, 0, 0, 0}, Bytes{0x0F}, Bytes{0xE8, 0xE8, 0xE8, 0xE8, 0xE8, 0xE8}}) {
    const Bytes p = pack(kSplit, tail, {});
    const Outcome o = unpack(kCodecXzBranches, p, 3, 2);
    EXPECT_TRUE(o.finished && o.error == kOk && o.out == tail) << tail.size() << " bytes";
  }
}

TEST(BranchSplit, OnlyBranchesIntoTheirOwnFileAreMovedAndMadeAbsolute) {
  // File one (0..19): a call to 15 (its own), a call to 25 (file two), a jump to 3, and a
  // conditional jump right after the moved call, read as a new opcode.
  Bytes code;
  code.push_back(0xE8);
  putRel(code, 15 - 5);
  code.push_back(0xE8);
  putRel(code, 25 - 10);
  code.push_back(0x0F);
  code.push_back(0x84);
  putRel(code, uint32_t(3 - 16));
  code.insert(code.end(), 24, 0x90);
  const branches::Split s = branches::split(code.data(), code.size(), {0, 20});
  EXPECT_EQ(s.calls, (Bytes{0, 0, 0, 15}));  // absolute, big-endian
  EXPECT_EQ(s.jumps, (Bytes{0, 0, 0, 3}));
  EXPECT_EQ(s.main.size(), code.size() - 8);
  // As one file, both calls move.
  EXPECT_EQ(branches::split(code.data(), code.size(), {}).calls, (Bytes{0, 0, 0, 15, 0, 0, 0, 25}));
}

TEST(BranchSplit, BranchesLeftForTheLinkerStayAsTheyAreAndComeBackWhole) {
  // Object code: calls and jumps with the displacement 0 (addend in the relocation) or -4
  // (addend in place) stay in the main stream; a resolved call beside them still moves.
  Bytes code;
  for (int i = 0; i < 50; ++i) {
    code.push_back(0xE8);
    putRel(code, 0);
    code.push_back(0xE9);
    putRel(code, 0xFFFFFFFCu);
    code.push_back(0x0F);
    code.push_back(0x85);
    putRel(code, 0);
    code.push_back(0x90);
  }
  code.push_back(0xE8);
  putRel(code, uint32_t(-int32_t(code.size() + 4)));  // to the start
  const branches::Split s = branches::split(code.data(), code.size(), {});
  EXPECT_EQ(s.calls, (Bytes{0, 0, 0, 0}));
  EXPECT_TRUE(s.jumps.empty());
  EXPECT_EQ(s.main.size(), code.size() - 4);
  const Outcome o = unpack(kCodecXzBranches, pack(kSplit, code, {}), 5, 7);
  EXPECT_TRUE(o.finished && o.error == kOk && o.out == code);
}

TEST(BranchSplit, RepeatedCallsPackSmallerThanThePlainFilter) {
  std::vector<uint64_t> starts;
  const Bytes code = sampleCode(4, 60000, 2, starts);
  const size_t split = pack(kSplit, code, starts).size();
  const size_t plain = pack({kCodecXz, 6, 0, true}, code, starts).size();
  EXPECT_LT(split, plain * 95 / 100) << split << " against " << plain;
  // Text has next to no branches; the split stays within a few dozen bytes of plain xz.
  const std::string text = sampleText(100000, 4);
  const Bytes t(text.begin(), text.end());
  EXPECT_LT(pack(kSplit, t, {}).size(), pack({kCodecXz, 6, 0, false}, t, {}).size() + 120);
}

// Side streams of 8.4 and 12 MB, more than can be packed beside the main stream: calls to a few
// functions keep the split (their targets repeat), calls to random places fall back to the
// plain x86 filter (their targets would pack to more than the side streams may take).
TEST(BranchSplit, LargeSideStreamsKeepTheSplitOnlyWhenTheyPackWithinTheLimit) {
  const CodecChoice fast{kCodecXzBranches, 1, 0, false};
  for (bool repeating : {true, false}) {
    SCOPED_TRACE(repeating ? "calls to a few functions" : "calls anywhere");
    std::mt19937 r(repeating ? 5 : 6);
    const uint32_t calls = repeating ? 2'100'000 : 3'000'000, size = calls * 5;
    Bytes code;
    code.reserve(size);
    for (uint32_t i = 0; i < calls; ++i) {
      const uint32_t target = repeating ? (r() % 64) * 4096 : r() % size;
      code.push_back(0xE8);
      putRel(code, target - uint32_t(code.size() + 4));
    }
    Codec used{};
    const Bytes packed = pack(fast, code, {0}, &used);
    EXPECT_EQ(used, repeating ? kCodecXzBranches : kCodecXz);
    const Outcome o = unpack(uint8_t(used), packed, packed.size(), 1 << 20);
    EXPECT_TRUE(o.finished && o.error == kOk && o.out == code);
  }
}

TEST(BranchSplit, ASplitBlockGoesAfterWhatTheOutputAlreadyHolds) {
  std::vector<uint64_t> starts;
  const Bytes code = sampleCode(2, 30000, 7, starts);
  const Bytes alone = pack(kSplit, code, starts);
  LargeBytes out(1000, 0x5A);
  auto enc = Encoder::make(kSplit, code.size(), starts);
  enc->write(code.data(), code.size(), out);
  enc->finish(out);
  ASSERT_EQ(out.size(), 1000 + alone.size());
  EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 1000, [](uint8_t b) { return b == 0x5A; }));
  EXPECT_TRUE(std::equal(alone.begin(), alone.end(), out.begin() + 1000));
}

TEST(BranchSplit, DamagedStreamsFailCleanly) {
  std::vector<uint64_t> starts;
  const Bytes code = sampleCode(2, 20000, 3, starts);
  const Bytes packed = pack(kSplit, code, starts);
  const uint32_t callsSize = getU32(packed.data()), jumpsSize = getU32(packed.data() + 4),
                 flagsSize = getU32(packed.data() + 8);
  const size_t mainAt = 12 + callsSize + jumpsSize + flagsSize;
  ASSERT_LT(mainAt, packed.size()) << callsSize << " " << jumpsSize << " " << flagsSize;

  for (size_t cut : {size_t(5), size_t(12), size_t(12 + callsSize / 2), mainAt, mainAt + 40,
                     packed.size() - 1}) {
    const Outcome o = unpack(kCodecXzBranches, Bytes(packed.begin(), packed.begin() + long(cut)), 500, 4096);
    EXPECT_FALSE(o.finished) << "cut at " << cut;
    EXPECT_TRUE(o.error == kOk || o.error == kCrcError) << o.error;
  }
  auto damagedAt = [&](size_t at, uint8_t mask) {
    Bytes d(packed);
    d[at] ^= mask;
    const Outcome o = unpack(kCodecXzBranches, d, 500, 4096);
    EXPECT_TRUE(o.error == kCrcError || (o.error == kOk && o.out != code))
        << "byte " << at << ": " << o.error;
  };
  damagedAt(2, 0x80);                    // side streams claimed larger than any writer makes
  Bytes noSides(packed);
  std::fill(noSides.begin(), noSides.begin() + 12, 0);  // no side streams at all
  EXPECT_EQ(unpack(kCodecXzBranches, noSides, 500, 4096).error, kCrcError);
  damagedAt(12 + 40, 0x11);              // inside the calls
  damagedAt(12 + callsSize + 40, 0x11);  // inside the jumps
  // (The coder's last bytes only settle its final range: a change there may decode the same.)
  for (size_t i = 0; i + 4 < flagsSize; i += 7) damagedAt(12 + callsSize + jumpsSize + i, 0x24);
  damagedAt(mainAt + 100, 0x42);         // inside the main stream
  // Data after the stream's end: refused by the call after the one that gave the code.
  Bytes longer(packed);
  longer.push_back(0);
  auto dec = Decoder::make(kCodecXzBranches);
  Bytes out(code.size() + 10);
  size_t pos = 0;
  EXPECT_EQ(dec->step(longer.data(), longer.size(), pos, out.data(), out.size()), code.size());
  EXPECT_TRUE(std::equal(code.begin(), code.end(), out.begin()));
  EXPECT_THROW(dec->step(longer.data(), longer.size(), pos, out.data(), out.size()), JarError);
}
