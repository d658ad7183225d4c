// Decoding .xz streams: the streams the writer makes decode alike in steps of any size and
// straight into a window, and liblzma takes them whole; any other .xz stream still decodes (it never takes a window); damage
// anywhere in a stream, a stream cut short and data past the window are refused.
#include <gtest/gtest.h>
#include <lzma.h>

#include "Codec.h"
#include "Methods.h"
#include "TestSupport.h"
#include "jar32/Errors.h"

namespace jar32::test {
namespace {

Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes encode(const CodecChoice& c, const Bytes& in) {
  auto enc = Encoder::make(c, in.size());
  LargeBytes out;
  enc->write(in.data(), in.size(), out);
  enc->finish(out);
  return Bytes(out.begin(), out.end());
}

// Decodes with inStep bytes of input and outStep bytes of room at a time.
Bytes decodeInSteps(const Bytes& stream, size_t inStep, size_t outStep) {
  auto dec = Decoder::make(kCodecXz);
  Bytes out;
  Bytes buf(outStep);
  size_t pos = 0;
  while (!dec->finished()) {
    const size_t before = pos;
    const size_t end = std::min(stream.size(), pos + inStep);
    const size_t got = dec->step(stream.data(), end, pos, buf.data(), buf.size());
    out.insert(out.end(), buf.begin(), buf.begin() + got);
    if (got == 0 && pos == before && end == stream.size()) break;  // cut short
  }
  EXPECT_TRUE(dec->finished());
  EXPECT_EQ(pos, stream.size());
  return out;
}

// Decodes into a window of `size` bytes as reading a block does; throws on damage. taken:
// whether the decoder took the window.
Bytes decodeIntoWindow(const Bytes& stream, size_t size, bool& taken) {
  auto dec = Decoder::make(kCodecXz);
  Bytes window(size);
  taken = dec->useWindow(window.data(), size, stream.data(), stream.size());
  size_t pos = 0, produced = 0;
  while (produced < size) {
    const size_t got = dec->step(stream.data(), stream.size(), pos, window.data() + produced,
                                 std::min<size_t>(size - produced, 256 * 1024));
    if (got == 0 && pos == stream.size()) break;
    produced += got;
  }
  // As the reader does past the declared size: only the stream's end may follow.
  uint8_t probe[16];
  while (!dec->finished()) {
    const size_t before = pos;
    if (dec->step(stream.data(), stream.size(), pos, probe, sizeof probe))
      throw JarError(kCrcError, "longer than declared");
    if (pos == before) throw JarError(kCrcError, "cut short");
  }
  if (pos != stream.size()) dec->step(stream.data(), stream.size(), pos, probe, sizeof probe);
  window.resize(produced);
  return window;
}

TEST(XzDecoding, TheWritersStreamsDecodeAlikeInAnyStepsAndIntoAWindow) {
  const std::string text = sampleText(5 << 19, 3);  // more than one LZMA2 chunk
  const std::string noise = randomBytes(1 << 20, 4);
  const Bytes inputs[] = {Bytes{'x'}, toBytes(text.substr(0, 3000)), toBytes(text),
                          toBytes(text.substr(0, 1 << 20) + noise + text.substr(1 << 20))};
  // liblzma's one-thread encoder (sizes not in the block header) and the two-thread one
  // (sizes in it).
  const CodecChoice choices[] = {{kCodecXz, 6}, codecFor(4, ContentClass::General)};
  for (const CodecChoice& c : choices) {
    for (const Bytes& in : inputs) {
      SCOPED_TRACE(testing::Message() << in.size() << " bytes, preset " << c.level);
      const Bytes stream = encode(c, in);
      EXPECT_EQ(decodeInSteps(stream, 4096, 70000), in);
      // liblzma, which read every archive before, takes it whole too.
      Bytes viaLiblzma(in.size() + 1);
      uint64_t limit = UINT64_MAX;
      size_t inPos = 0, outPos = 0;
      EXPECT_EQ(lzma_stream_buffer_decode(&limit, 0, nullptr, stream.data(), &inPos, stream.size(),
                                          viaLiblzma.data(), &outPos, viaLiblzma.size()),
                LZMA_OK);
      viaLiblzma.resize(outPos);
      EXPECT_EQ(viaLiblzma, in);
      bool taken = false;
      EXPECT_EQ(decodeIntoWindow(stream, in.size(), taken), in);
      EXPECT_TRUE(taken);
      if (in.size() < 5000) {
        EXPECT_EQ(decodeInSteps(stream, 1, 7), in);  // headers byte by byte
      }
    }
  }
}

TEST(XzDecoding, OtherStreamsStillDecodeButTakeNoWindow) {
  const Bytes text = toBytes(sampleText(300000, 5));
  Bytes crc64(lzma_stream_buffer_bound(text.size()));
  size_t n = 0;
  ASSERT_EQ(lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, text.data(), text.size(),
                                    crc64.data(), &n, crc64.size()),
            LZMA_OK);
  crc64.resize(n);
  CodecChoice x86{kCodecXz, 6};
  x86.x86Filter = true;
  const Bytes streams[] = {crc64, encode(x86, text)};
  for (const Bytes& s : streams) {
    EXPECT_EQ(decodeInSteps(s, 4096, 70000), text);
    EXPECT_EQ(decodeInSteps(s, 1, 1000), text);
    bool taken = true;
    EXPECT_EQ(decodeIntoWindow(s, text.size(), taken), text);
    EXPECT_FALSE(taken);
  }
  const Bytes empty = encode({kCodecXz, 6}, Bytes{});
  EXPECT_TRUE(decodeInSteps(empty, 4096, 100).empty());
}

TEST(XzDecoding, DamageAnywhereInAStreamIsRefused) {
  const Bytes in = toBytes(sampleText(200000, 6));
  for (const CodecChoice& c : {CodecChoice{kCodecXz, 6}, codecFor(4, ContentClass::General)}) {
    const Bytes stream = encode(c, in);
    bool taken = false;
    // Past the window: the stream holds more than the block declared.
    EXPECT_THROW(decodeIntoWindow(stream, in.size() - 1, taken), JarError);
    // Cut short, a byte flipped in the headers, the data, the index or the footer, a byte more.
    const size_t flips[] = {8, 14, stream.size() / 2, stream.size() - 20, stream.size() - 3};
    std::vector<Bytes> bad = {Bytes(stream.begin(), stream.end() - 1)};
    for (size_t at : flips) {
      bad.push_back(stream);
      bad.back()[at] ^= 0x20;
    }
    bad.push_back(stream);
    bad.back().push_back(0);
    for (size_t i = 0; i < bad.size(); ++i) {
      SCOPED_TRACE(i);
      bool refused = false;
      try {
        refused = decodeIntoWindow(bad[i], in.size(), taken) != in;
      } catch (const JarError& e) {
        EXPECT_EQ(e.exitCode, kCrcError);
        refused = true;
      }
      EXPECT_TRUE(refused);
    }
  }
}

}  // namespace
}  // namespace jar32::test
