// Encoders of blocks: the Best method's two-thread xz encoder writes .xz streams that the
// reader's decoder takes back whole (empty, tiny, text, incompressible and mixed inputs, within
// the reader's memory limit), and what each encoder writes decodes whole whether its input
// comes in one write (what blocks do) or in many. Large buffers faulted in ahead keep what is
// written meanwhile.
#include <gtest/gtest.h>

#include <thread>

#include "Codec.h"
#include "LargeBuffers.h"
#include "Methods.h"
#include "TestSupport.h"
#include "TwoThreadXz.h"

namespace jar32::test {
namespace {

Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes toBytes(const LargeBytes& b) { return Bytes(b.begin(), b.end()); }

// Decodes a stream in small steps, as the reader does.
Bytes decode(const Bytes& stream, Codec codec = kCodecXz) {
  auto dec = Decoder::make(codec);
  Bytes out;
  uint8_t buf[70000];
  size_t pos = 0;
  while (!dec->finished()) {
    const size_t before = pos;
    const size_t end = std::min(stream.size(), pos + 4096);
    const size_t got = dec->step(stream.data(), end, pos, buf, sizeof buf);
    out.insert(out.end(), buf, buf + got);
    if (got == 0 && pos == before && end == stream.size()) break;  // stream cut short
  }
  EXPECT_TRUE(dec->finished());
  EXPECT_EQ(pos, stream.size());
  return out;
}

Bytes encodeBest(const Bytes& in) {
  auto enc = Encoder::make(codecFor(4, ContentClass::General), in.size());
  LargeBytes out;
  enc->write(in.data(), in.size(), out);
  enc->finish(out);
  EXPECT_EQ(enc->codec(), kCodecXz);
  return toBytes(out);
}

TEST(TwoThreadXz, WhatItWritesDecodesWholeAtEverySize) {
  const std::string text = sampleText(5 << 19, 7);  // more than one of LZMA2's 2 MiB chunks
  const std::string noise = randomBytes(3 << 19, 8);
  std::string mixed = text.substr(0, 1 << 19) + noise.substr(0, 1 << 20) + text.substr(1 << 19);
  const Bytes inputs[] = {Bytes{}, Bytes{'x'}, toBytes(text.substr(0, 1000)), toBytes(text),
                          toBytes(noise), toBytes(mixed)};
  size_t packedSizes[6];
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(inputs[i].size());
    const Bytes packed = encodeBest(inputs[i]);
    packedSizes[i] = packed.size();
    EXPECT_EQ(decode(packed), inputs[i]);
  }
  EXPECT_LT(packedSizes[3], text.size() / 3);
  EXPECT_LT(packedSizes[4], noise.size() + noise.size() / 100);  // stored chunks, little more
}

TEST(TwoThreadXz, OneWriteOrManyGiveTheSameStream) {
  const Bytes in = toBytes(sampleText(1200000, 9));
  const CodecChoice best = codecFor(4, ContentClass::General);
  auto whole = Encoder::make(best, in.size());
  LargeBytes a;
  whole->write(in.data(), in.size(), a);
  whole->finish(a);
  auto parts = Encoder::make(best, in.size());
  LargeBytes b;
  for (size_t at = 0; at < in.size(); at += 100000)
    parts->write(in.data() + at, std::min<size_t>(100000, in.size() - at), b);
  parts->finish(b);
  EXPECT_EQ(a, b);
  EXPECT_EQ(decode(toBytes(b)), in);
}

// Tables of tens of megabytes, faulted in beside the match finder that fills them, for two
// encoders at once: each writes what it writes alone.
TEST(TwoThreadXz, TwoEncodersAtOnceWriteWhatEachWritesAlone) {
  const Bytes in = toBytes(sampleText(3 << 20, 12));
  const Bytes alone = encodeBest(in);
  Bytes first, second;
  std::thread other([&] { second = encodeBest(in); });
  first = encodeBest(in);
  other.join();
  EXPECT_EQ(first, alone);
  EXPECT_EQ(second, alone);
  EXPECT_EQ(decode(alone), in);
}

TEST(Encoders, ZstdInOneWriteOrManyDecodesTheSame) {
  const Bytes in = toBytes(sampleText(3 << 20, 5) + randomBytes(1 << 20, 6));
  for (const CodecChoice& c :
       {codecFor(1, ContentClass::General), codecFor(2, ContentClass::General)}) {
    auto whole = Encoder::make(c, in.size());
    LargeBytes a;
    whole->write(in.data(), in.size(), a);
    whole->finish(a);
    EXPECT_EQ(decode(toBytes(a), kCodecZstd), in);
    auto parts = Encoder::make(c, in.size());
    LargeBytes b;
    for (size_t at = 0; at < in.size(); at += 300000)
      parts->write(in.data() + at, std::min<size_t>(300000, in.size() - at), b);
    parts->finish(b);
    EXPECT_EQ(decode(toBytes(b), kCodecZstd), in);
    EXPECT_LT(a.size(), in.size() / 2);
  }
}

TEST(TwoThreadXz, OptionsItCannotTakeStayWithTheOtherEncoder) {
  lzma_options_lzma opt;
  ASSERT_FALSE(lzma_lzma_preset(&opt, 9));
  EXPECT_TRUE(twoThreadEncoderTakes(opt));
  lzma_options_lzma fast = opt;
  fast.mode = LZMA_MODE_FAST;
  EXPECT_FALSE(twoThreadEncoderTakes(fast));
  lzma_options_lzma chain = opt;
  chain.mf = LZMA_MF_HC4;
  EXPECT_FALSE(twoThreadEncoderTakes(chain));
  // Preset 1 (a hash chain, fast mode) still packs and decodes through the other encoder.
  const Bytes in = toBytes(sampleText(200000, 3));
  auto enc = Encoder::make({kCodecXz, 1, 0, false}, in.size());
  LargeBytes out;
  enc->write(in.data(), in.size(), out);
  enc->finish(out);
  EXPECT_EQ(decode(toBytes(out)), in);
}

}  // namespace
}  // namespace jar32::test

TEST(LargeBuffers, PagesFaultedInAheadKeepWhatIsWrittenMeanwhile) {
  using namespace jar32;
  const size_t n = 48u << 20;
  auto* p = static_cast<uint8_t*>(allocateLarge(n));
  ASSERT_NE(p, nullptr);
  prefaultLarge(p, n);
  for (size_t i = 0; i < n; i += 1024) p[i] = uint8_t(i >> 10);
  size_t wrong = 0;
  for (size_t i = 0; i < n; i += 1024) wrong += p[i] != uint8_t(i >> 10);
  EXPECT_EQ(wrong, 0u);
  freeLarge(p);
  // Freed while its pages are still being faulted in: the thread is waited for first.
  for (int k = 0; k < 4; ++k) {
    void* q = allocateLarge(n);
    prefaultLarge(q, n);
    freeLarge(q);
  }
}
