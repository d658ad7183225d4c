#include "BranchSplit.h"

#include <algorithm>

#include "ExecutableCode.h"

namespace jar32::branches {
namespace {

constexpr unsigned kProbBits = 11, kMoveBits = 5;
constexpr uint16_t kProbInit = 1u << (kProbBits - 1);
constexpr uint32_t kTop = 1u << 24;

bool candidate(uint8_t prev, uint8_t b) {
  return b == 0xE8 || b == 0xE9 || (prev == 0x0F && (b & 0xF0) == 0x80);
}

// Calls take their context from the byte before them; jumps and conditional jumps have one each.
unsigned contextOf(uint8_t prev, uint8_t b) { return b == 0xE8 ? prev : b == 0xE9 ? 256 : 257; }

void putBigEndian(Bytes& out, uint32_t v) {
  uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  out.insert(out.end(), b, b + 4);
}

// Binary range coder with adaptive probabilities.
class FlagEncoder {
 public:
  explicit FlagEncoder(Bytes& out) : out_(out) { std::fill(std::begin(probs_), std::end(probs_), kProbInit); }
  void encode(unsigned context, bool bit) {
    uint16_t& p = probs_[context];
    uint32_t bound = (range_ >> kProbBits) * p;
    if (!bit) {
      range_ = bound;
      p = uint16_t(p + (((1u << kProbBits) - p) >> kMoveBits));
    } else {
      low_ += bound;
      range_ -= bound;
      p = uint16_t(p - (p >> kMoveBits));
    }
    while (range_ < kTop) {
      range_ <<= 8;
      shiftLow();
    }
  }
  void finish() {
    for (int i = 0; i < 5; ++i) shiftLow();
  }

 private:
  void shiftLow() {
    if (uint32_t(low_) < 0xFF000000u || (low_ >> 32) != 0) {
      const uint8_t carry = uint8_t(low_ >> 32);
      uint8_t held = cache_;
      do {
        out_.push_back(uint8_t(held + carry));
        held = 0xFF;
      } while (--cacheSize_ != 0);
      cache_ = uint8_t(low_ >> 24);
    }
    ++cacheSize_;
    low_ = (low_ & 0x00FFFFFFu) << 8;
  }

  Bytes& out_;
  uint64_t low_ = 0;
  uint32_t range_ = 0xFFFFFFFFu;
  uint8_t cache_ = 0;
  uint64_t cacheSize_ = 1;
  uint16_t probs_[258];
};

// Relocatable code (object files, static libraries) leaves its branches for the linker: 0,
// or -4 where the addend is kept in place. Made absolute, they would differ at every place;
// left as they are, they repeat. Linked code never branches to the next instruction or into
// its own operand.
bool isPlaceholder(uint32_t displacement) {
  return displacement == 0 || displacement == 0xFFFFFFFCu;
}

}  // namespace

Split split(const uint8_t* data, size_t n, const std::vector<uint64_t>& starts) {
  Split s;
  s.main.reserve(n);
  FlagEncoder flags(s.flags);
  uint8_t prev = 0;
  size_t i = 0;
  size_t file = 0;
  uint64_t fileStart = 0, fileEnd = n;
  auto enterFile = [&] {
    while (file < starts.size() && starts[file] <= i) fileStart = starts[file++];
    fileEnd = file < starts.size() ? starts[file] : n;
  };
  enterFile();
  const std::vector<Range> code = codeRanges(data, n, starts);
  size_t range = 0;
  while (i < n) {
    if (i >= fileEnd) enterFile();
    while (range < code.size() && code[range].end <= i) ++range;
    const uint8_t b = data[i];
    s.main.push_back(b);
    if (!candidate(prev, b)) {
      prev = b;
      ++i;
      continue;
    }
    bool move = false;
    uint32_t target = 0;
    if (range < code.size() && code[range].begin <= i && code[range].end - i >= 5) {
      const uint32_t displacement = getU32(data + i + 1);
      target = uint32_t(i + 5) + displacement;
      move = target >= fileStart && target < fileEnd && !isPlaceholder(displacement);
    }
    flags.encode(contextOf(prev, b), move);
    if (move) {
      putBigEndian(b == 0xE8 ? s.calls : s.jumps, target);
      prev = data[i + 4];
      i += 5;
    } else {
      prev = b;
      ++i;
    }
  }
  flags.finish();
  return s;
}

Joiner::Joiner(const uint8_t* flags, size_t flagsSize, OperandSource& calls, OperandSource& jumps)
    : flags_(flags), flagsSize_(flagsSize), calls_(calls), jumps_(jumps) {
  std::fill(std::begin(probs_), std::end(probs_), kProbInit);
  // The coder's first byte is always zero (it only carries a possible overflow).
  if (flagsSize_ == 0 || flags_[0] != 0)
    throw JarError(kCrcError, "Damaged archive: branch flags do not decode");
  for (int i = 0; i < 5; ++i)
    code_ = (code_ << 8) | (flagsPos_ < flagsSize_ ? flags_[flagsPos_++] : 0);
}

// Past its end the flag stream reads as zeros; damage there shows in the block's checks.
bool Joiner::flag(unsigned context) {
  uint16_t& p = probs_[context];
  const uint32_t bound = (range_ >> kProbBits) * p;
  bool bit;
  if (code_ < bound) {
    range_ = bound;
    p = uint16_t(p + (((1u << kProbBits) - p) >> kMoveBits));
    bit = false;
  } else {
    code_ -= bound;
    range_ -= bound;
    p = uint16_t(p - (p >> kMoveBits));
    bit = true;
  }
  while (range_ < kTop) {
    range_ <<= 8;
    code_ = (code_ << 8) | (flagsPos_ < flagsSize_ ? flags_[flagsPos_++] : 0);
  }
  return bit;
}

size_t Joiner::step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                    size_t outCap) {
  size_t written = 0;
  while (written < outCap) {
    if (pendingPos_ < pendingLen_) {
      out[written++] = pending_[pendingPos_++];
      continue;
    }
    if (inPos == inSize) break;
    const uint8_t b = in[inPos++];
    out[written++] = b;
    const uint32_t at = pos_;
    pos_ += 1;
    if (!candidate(prev_, b) || !flag(contextOf(prev_, b))) {
      prev_ = b;
      continue;
    }
    uint8_t t[4];
    if (!(b == 0xE8 ? calls_ : jumps_).next4(t))
      throw JarError(kCrcError, "Damaged archive: a branch operand is missing");
    const uint32_t target = uint32_t(t[0]) << 24 | uint32_t(t[1]) << 16 | uint32_t(t[2]) << 8 | t[3];
    putU32(pending_, target - (at + 5));
    pendingPos_ = 0;
    pendingLen_ = 4;
    prev_ = pending_[3];
    pos_ += 4;
  }
  return written;
}

}  // namespace jar32::branches
