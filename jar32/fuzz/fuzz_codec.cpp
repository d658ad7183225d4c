// libFuzzer target: the block codecs. With the first byte's top bit clear the rest is a
// compressed stream of codec (byte & 7): it decodes, in steps the second byte sets, to bytes
// or JarError(kCrcError), never more than 64 MiB; with bit 6 set too, it decodes into a window
// of a size the second byte sets, never past it. With the top bit set the rest is data: the x86
// branch split (fast preset), or with bit 5 set too the codec that leaves gzip trailers out,
// must give it back exactly and tell its file starts apart, and what the split takes for code
// (from ELF and archive headers) must lie inside the data.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Codec.h"
#include "ExecutableCode.h"
#include "jar32/Errors.h"

using namespace jar32;

namespace {

void decodeOnly(uint8_t codec, size_t step, const uint8_t* in, size_t size) {
  try {
    auto dec = Decoder::make(codec);
    std::vector<uint8_t> out(4096);
    size_t pos = 0, end = 0, total = 0;
    while (total < (64u << 20)) {
      end = std::min(size, std::max(end, pos + step));
      const size_t before = pos;
      const size_t n = dec->step(in, end, pos, out.data(), out.size());
      total += n;
      if (dec->finished()) {
        dec->step(in, size, pos, out.data(), out.size());  // data after the end must throw
        return;
      }
      if (n == 0 && pos == before) {
        if (end == size) return;
        end = std::min(size, end + step);
      }
    }
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) {
      std::fprintf(stderr, "unexpected error %d: %s\n", e.exitCode, e.what());
      std::abort();
    }
  }
}

void decodeIntoWindow(uint8_t codec, size_t windowSize, const uint8_t* in, size_t size) {
  try {
    auto dec = Decoder::make(codec);
    // One byte more on each side, which nothing may touch.
    std::vector<uint8_t> buffer(windowSize + 2, 0xA5);
    uint8_t* window = buffer.data() + 1;
    if (!dec->useWindow(window, windowSize, in, size)) return;
    size_t pos = 0, produced = 0;
    while (produced < windowSize) {
      const size_t before = pos;
      const size_t n = dec->step(in, size, pos, window + produced,
                                 std::min<size_t>(windowSize - produced, 5000));
      produced += n;
      if (n == 0 && pos == before) break;
    }
    uint8_t probe[16];
    while (!dec->finished()) {
      const size_t before = pos;
      if (dec->step(in, size, pos, probe, sizeof probe) || pos == before) break;
    }
    if (buffer.front() != 0xA5 || buffer.back() != 0xA5) {
      std::fprintf(stderr, "window overrun\n");
      std::abort();
    }
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) {
      std::fprintf(stderr, "unexpected error %d: %s\n", e.exitCode, e.what());
      std::abort();
    }
  }
}

void roundTrip(Codec codec, const uint8_t* data, size_t size) {
  // Two files: the first half and the rest.
  const std::vector<uint64_t> starts{0, size / 2};
  // What the split takes for code (ELF headers, archive members) lies in the data, in order.
  const auto code = branches::codeRanges(data, size, starts);
  for (size_t k = 0; k < code.size(); ++k) {
    if (code[k].begin >= code[k].end || code[k].end > size || (k && code[k - 1].end >= code[k].begin)) {
      std::fprintf(stderr, "bad code range %zu\n", k);
      std::abort();
    }
  }
  LargeBytes packed;
  auto enc = Encoder::make({codec, 0, 0, false}, size, starts);
  enc->write(data, size, packed);
  enc->finish(packed);
  auto dec = Decoder::make(enc->codec());
  std::vector<uint8_t> out(size + 16);
  size_t pos = 0, got = 0;
  for (int rounds = 0; rounds < 1000000 && !dec->finished(); ++rounds) {
    const size_t n = dec->step(packed.data(), packed.size(), pos, out.data() + got,
                               std::min<size_t>(out.size() - got, 7));
    got += n;
    if (n == 0 && pos == packed.size() && !dec->finished()) break;
  }
  if (!dec->finished() || got != size || !std::equal(data, data + size, out.begin())) {
    std::fprintf(stderr, "round trip failed: %zu of %zu bytes\n", got, size);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  if (data[0] & 0x80)
    roundTrip(data[0] & 0x20 ? kCodecXzGzip : kCodecXzBranches, data + 2, size - 2);
  else if (data[0] & 0x40) decodeIntoWindow(data[0] & 7, size_t(data[1]) * 997, data + 2, size - 2);
  else decodeOnly(data[0] & 7, 1 + data[1] * 16, data + 2, size - 2);
  return 0;
}
