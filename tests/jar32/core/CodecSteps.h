// Encoding a buffer with a codec, and decoding it in steps of given sizes.
#pragma once

#include <algorithm>
#include <vector>

#include "Codec.h"

namespace jar32::test {

inline Bytes pack(const CodecChoice& c, const Bytes& in, const std::vector<uint64_t>& starts,
                  Codec* used = nullptr) {
  LargeBytes packed;
  auto enc = Encoder::make(c, in.size(), starts);
  enc->write(in.data(), in.size(), packed);
  enc->finish(packed);
  if (used) *used = enc->codec();
  return Bytes(packed.begin(), packed.end());
}

struct Outcome {
  Bytes out;
  bool finished = false;
  int error = kOk;
};

// Feeds `in` in steps of inStep bytes and takes at most outStep bytes per call.
inline Outcome unpackWith(Decoder& decoder, const Bytes& in, size_t inStep, size_t outStep) {
  Outcome o;
  Decoder* dec = &decoder;
  Bytes buf(outStep);
  size_t pos = 0, end = 0;
  try {
    for (;;) {
      end = std::min(in.size(), std::max(end, pos + inStep));
      const size_t before = pos;
      const size_t n = dec->step(in.data(), end, pos, buf.data(), buf.size());
      o.out.insert(o.out.end(), buf.begin(), buf.begin() + long(n));
      if (dec->finished()) break;
      if (n == 0 && pos == before) {
        if (end == in.size()) break;
        end = std::min(in.size(), end + inStep);
      }
    }
    o.finished = dec->finished();
  } catch (const JarError& e) {
    o.error = e.exitCode;
  }
  return o;
}

inline Outcome unpack(uint8_t codec, const Bytes& in, size_t inStep, size_t outStep) {
  return unpackWith(*Decoder::make(codec), in, inStep, outStep);
}

}  // namespace jar32::test
