// gzip trailers left out and rebuilt: only trailers that reading can rebuild are left out, the
// bytes come back whole whatever the step sizes, a stream that would inflate too far is refused
// before it is inflated, and damaged maps and streams end in an error. Also the decoder thread
// that runs the decoding beside the rebuilding.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "Codec.h"
#include "CodecSteps.h"
#include "DecoderThread.h"
#include "GzipTrailers.h"
#include "TestSupport.h"

using namespace jar32;
using jar32::test::Outcome;
using jar32::test::pack;
using jar32::test::sampleText;
using jar32::test::unpack;
using jar32::test::unpackWith;

namespace {

struct GzipFields {
  const char* name = nullptr;
  const char* comment = nullptr;
  bool extra = false, headerCrc = false;
};

// A gzip file of `text`, written by zlib with the given header fields.
Bytes gzipOf(const std::string& text, GzipFields f = {}) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY), Z_OK);
  gz_header h{};
  Bytes extra{'J', 'r', 2, 0, 'o', 'k'};
  h.name = reinterpret_cast<Bytef*>(const_cast<char*>(f.name));
  h.comment = reinterpret_cast<Bytef*>(const_cast<char*>(f.comment));
  if (f.extra) {
    h.extra = extra.data();
    h.extra_len = uInt(extra.size());
  }
  h.hcrc = f.headerCrc;
  h.time = 1700000000;
  deflateSetHeader(&z, &h);
  Bytes out(deflateBound(&z, uLong(text.size())) + 64);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Files back to back, with where each begins.
struct Files {
  Bytes data;
  std::vector<uint64_t> starts;
  Files& add(const Bytes& file) {
    starts.push_back(data.size());
    data.insert(data.end(), file.begin(), file.end());
    return *this;
  }
};

// Rebuilds a stripped stream fed in steps of inStep bytes, taking at most outStep per call.
Bytes restore(const Bytes& stripped, const Bytes& map, size_t inStep, size_t outStep) {
  gzip::Restorer r(map.data(), map.size());
  Bytes out, buf(outStep);
  size_t pos = 0;
  while (pos < stripped.size() || !r.idle()) {
    const size_t n = r.step(stripped.data(), std::min(stripped.size(), pos + inStep), pos,
                            buf.data(), buf.size());
    out.insert(out.end(), buf.begin(), buf.begin() + long(n));
  }
  r.checkEnd();
  return out;
}

Bytes mapOf(std::initializer_list<uint64_t> values) {
  Bytes map;
  ByteWriter w(map);
  for (uint64_t v : values) w.var(v);
  return map;
}

Bytes withoutTrailer(Bytes gz) {
  gz.resize(gz.size() - 8);
  return gz;
}

const CodecChoice kGzip{kCodecXzGzip, 6, 0, false};

}  // namespace

TEST(GzipTrailers, LeavesOutOnlyTrailersThatReadingCanRebuild) {
  const std::string page = sampleText(20000, 1);
  Bytes wrongCrc = gzipOf(page);
  wrongCrc[wrongCrc.size() - 8] ^= 1;
  Bytes garbageAfter = gzipOf(page);
  garbageAfter.push_back(0);
  Bytes twoMembers = gzipOf("first");
  const Bytes second = gzipOf("second");
  twoMembers.insert(twoMembers.end(), second.begin(), second.end());
  Bytes cut = gzipOf(page);
  cut.resize(cut.size() - 9);
  Files files;
  files.add(gzipOf(page))
      .add(gzipOf(page, {"page.1"}))
      .add(gzipOf(sampleText(5000, 2), {"page.2", "a comment", true, true}))
      .add(Bytes(page.begin(), page.end()))  // not gzip
      .add(wrongCrc)
      .add(garbageAfter)
      .add(twoMembers)
      .add(cut)
      .add({0x1F, 0x8B, 8, 0})  // too short
      .add(gzipOf(""))
      .add(gzipOf(page, {"page.3"}));
  const gzip::Stripped s = gzip::strip(files.data.data(), files.data.size(), files.starts);
  EXPECT_EQ(s.files, 5u);
  EXPECT_EQ(s.data.size(), files.data.size() - 5 * 8);
  // Three back to back, then the files kept whole, then two more.
  const uint64_t kept = files.starts[9] - files.starts[3];
  EXPECT_EQ(s.map, mapOf({0, 3, kept, 2}));

  const Bytes stripped(s.data.begin(), s.data.end());
  for (auto [inStep, outStep] : {std::pair<size_t, size_t>{stripped.size(), 1 << 20}, {1, 1},
                                 {7, 3}, {4096, 5}, {3, 100000}}) {
    SCOPED_TRACE(std::to_string(inStep) + " in, " + std::to_string(outStep) + " out");
    EXPECT_TRUE(restore(stripped, s.map, inStep, outStep) == files.data);
  }

  // As a codec: whole again whatever the steps, and smaller than the plain stream by nearly
  // the trailers (which xz cannot shrink, but can code in fewer than 8 bytes).
  Codec used{};
  const Bytes packed = pack(kGzip, files.data, files.starts, &used);
  EXPECT_EQ(used, kCodecXzGzip);
  Files pages;
  for (unsigned i = 0; i < 20; ++i) pages.add(gzipOf(sampleText(3000, 10 + i)));
  EXPECT_LT(pack(kGzip, pages.data, pages.starts).size() + 20 * 3,
            pack({kCodecXz, 6, 0, false}, pages.data, {}).size());
  for (auto [inStep, outStep] : {std::pair<size_t, size_t>{packed.size(), 1 << 16}, {1, 4096},
                                 {5, 1}, {1000, 7}}) {
    const Outcome o = unpack(kCodecXzGzip, packed, inStep, outStep);
    EXPECT_TRUE(o.error == kOk && o.finished && o.out == files.data) << inStep << " " << outStep;
  }
  // Without gzip files (or without file starts, as one file) it is a plain stream.
  const Bytes text(page.begin(), page.end());
  EXPECT_TRUE(pack(kGzip, text, {0}, &used).size() > 0 && used == kCodecXz);
  const Bytes one = gzipOf(page);
  const Outcome o = unpack(kCodecXzGzip, pack(kGzip, one, {}, &used), 100, 100);
  EXPECT_EQ(used, kCodecXzGzip);
  EXPECT_TRUE(o.finished && o.out == one);
}

TEST(GzipTrailers, AStreamThatInflatesTooFarIsRefusedBeforeItIsInflated) {
  // 64 MiB of zeros deflate to about 64 KiB: more than the allowance for a first file.
  const Bytes bomb = gzipOf(std::string(64u << 20, '\0'));
  ASSERT_LT(bomb.size(), 100000u);
  EXPECT_EQ(gzip::strip(bomb.data(), bomb.size(), {}).files, 0u);
  std::string message;
  EXPECT_EQ(test::codeOf([&] { restore(withoutTrailer(bomb), mapOf({0, 1}), 1 << 20, 1 << 20); },
                         &message),
            kCrcError);
  EXPECT_NE(message.find("inflates too far"), std::string::npos) << message;

  // After 4 MiB of other bytes the same file is within what a reader allows.
  const Bytes small = gzipOf(std::string(24u << 20, '\0'));
  Files files;
  files.add(Bytes(4u << 20, 'x')).add(small);
  const gzip::Stripped s = gzip::strip(files.data.data(), files.data.size(), files.starts);
  EXPECT_EQ(s.files, 1u);
  EXPECT_TRUE(restore(Bytes(s.data.begin(), s.data.end()), s.map, 1 << 16, 1 << 16) == files.data);
}

TEST(GzipTrailers, DamagedMapsAndStreamsEndInAnError) {
  const Bytes gz = gzipOf(sampleText(3000, 3), {"name"});
  const Bytes stripped = withoutTrailer(gz);
  EXPECT_TRUE(restore(stripped, mapOf({0, 1}), 10, 10) == gz);
  Bytes twice = stripped;
  twice.insert(twice.end(), stripped.begin(), stripped.end());
  const std::pair<Bytes, Bytes> damaged[] = {
      {stripped, mapOf({0, 2})},                      // more files than there are
      {stripped, mapOf({0, 1, 5, 1})},                // a gap past the end
      {stripped, mapOf({1, 1})},                      // not at a gzip header
      {Bytes(stripped.begin(), stripped.end() - 40), mapOf({0, 1})},  // cut in its data
      {Bytes(stripped.begin(), stripped.begin() + 6), mapOf({0, 1})},  // cut in its header
      {stripped, mapOf({0, 0})},                      // a run of no files
      {stripped, Bytes{0x80}},                        // a map cut in a number
      {twice, mapOf({0, 1})},                         // fine: the rest passes as it is
  };
  for (size_t i = 0; i < std::size(damaged); ++i) {
    SCOPED_TRACE(i);
    const Bytes& data = damaged[i].first;
    const Bytes& map = damaged[i].second;
    const int code = test::codeOf([&] { restore(data, map, 64, 64); });
    EXPECT_EQ(code, i + 1 == std::size(damaged) ? kOk : kCrcError);
  }

  // The codec's head: a map larger than readers accept, and streams cut anywhere.
  Files files;
  files.add(gz).add(gz);
  const Bytes packed = pack(kGzip, files.data, files.starts);
  Bytes huge = packed;
  putU32(huge.data(), uint32_t(gzip::kMaxMapBytes + 1));
  EXPECT_EQ(unpack(kCodecXzGzip, huge, 100, 100).error, kCrcError);
  for (size_t cut : {size_t(2), size_t(6), packed.size() / 2, packed.size() - 1}) {
    const Outcome o = unpack(kCodecXzGzip, Bytes(packed.begin(), packed.begin() + long(cut)), 50, 50);
    EXPECT_TRUE(o.error == kCrcError || !o.finished) << cut;
  }
}

TEST(DecoderThread, GivesWhatItsDecoderDecodesAndDamageOnlyAfterTheOutputBeforeIt) {
  const std::string text = sampleText(300000, 4);
  const Bytes raw(text.begin(), text.end());
  const Bytes packed = pack({kCodecZstd, 3, 0, false}, raw, {});
  for (auto [inStep, outStep] : {std::pair<size_t, size_t>{packed.size(), 1 << 20}, {1000, 1},
                                 {1, 1 << 16}, {1 << 20, 333}}) {
    DecoderThread d(Decoder::make(kCodecZstd));
    const Outcome o = unpackWith(d, packed, inStep, outStep);
    EXPECT_TRUE(o.error == kOk && o.finished && o.out == raw) << inStep << " " << outStep;
  }
  // Data after the end, and a whole frame followed by a cut one.
  Bytes longer = packed;
  longer.push_back(0);
  DecoderThread extra(Decoder::make(kCodecZstd));
  EXPECT_EQ(unpackWith(extra, longer, 4096, 4096).error, kCrcError);
  const Bytes half = pack({kCodecZstd, 3, 0, false}, Bytes(raw.begin(), raw.begin() + 100000), {});
  Bytes broken = half;
  broken.insert(broken.end(), packed.begin(), packed.begin() + 64);
  DecoderThread damaged(Decoder::make(kCodecZstd));
  const Outcome o = unpackWith(damaged, broken, 512, 4096);
  EXPECT_EQ(o.error, kCrcError);
  EXPECT_TRUE(std::equal(o.out.begin(), o.out.end(), raw.begin()));
  // Left half way, with its thread waiting for room: it stops.
  {
    DecoderThread left(Decoder::make(kCodecZstd));
    size_t pos = 0;
    uint8_t one;
    EXPECT_EQ(left.step(packed.data(), packed.size(), pos, &one, 1), 1u);
  }
}
