// Branch split for x86 machine code. The 32-bit displacements of calls (E8), jumps (E9) and
// conditional jumps (0F 80..8F) whose targets fall inside the block are made absolute and moved,
// big-endian, to streams of their own (calls, jumps), where the many branches to one target
// repeat exactly; the rest of the code stays in the main stream. One flag per candidate opcode,
// range coded with the byte before it as context, says whether its operand was moved.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vector>

#include "Bytes.h"

namespace jar32::branches {

struct Split {
  Bytes main, calls, jumps, flags;
};

/// Splits n bytes (n < 4 GiB). `starts`: where each file of the block begins, ascending (may
/// be empty); a branch is moved only when its target lies in its own file.
Split split(const uint8_t* data, size_t n, const std::vector<uint64_t>& starts = {});

/// Where a joiner takes moved operands from: fills 4 bytes, false when the stream has ended.
class OperandSource {
 public:
  virtual ~OperandSource() = default;
  virtual bool next4(uint8_t out[4]) = 0;
};

/// Rebuilds the code from the main stream, fed in pieces, and the other three streams.
class Joiner {
 public:
  Joiner(const uint8_t* flags, size_t flagsSize, OperandSource& calls, OperandSource& jumps);
  /// Takes main-stream bytes from in[inPos..inSize) and writes code to out (at most outCap
  /// bytes), advancing inPos; returns the bytes written. A moved operand that its stream does
  /// not hold throws JarError(kCrcError).
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out, size_t outCap);
  /// True when no operand bytes wait to be written.
  bool idle() const { return pendingPos_ == pendingLen_; }

 private:
  bool flag(unsigned context);

  const uint8_t* flags_;
  size_t flagsSize_, flagsPos_ = 0;
  uint32_t range_ = 0xFFFFFFFFu, code_ = 0;
  uint16_t probs_[258];
  OperandSource& calls_;
  OperandSource& jumps_;
  uint32_t pos_ = 0;  // position in the code of the next byte written
  uint8_t prev_ = 0;
  uint8_t pending_[4] = {};
  unsigned pendingPos_ = 0, pendingLen_ = 0;
};

}  // namespace jar32::branches
