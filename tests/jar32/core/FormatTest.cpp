// The building blocks under the archive: chunked sections, the directory parser, the codecs.
#include <gtest/gtest.h>

#include "Codec.h"
#include "Crypto.h"
#include "Directory.h"
#include "FileIo.h"
#include "Format.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

class Sections : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    setKdfCostForTesting(1, 64);
    KdfParams p = KdfParams::fresh();
    keys = Keys::derive(GetParam() == 1 ? kProtectGost : kProtectXChaCha, "password", p);
    jar32::randomBytes(nonce, sizeof nonce);
  }
  void TearDown() override { setKdfCostForTesting(0, 0); }
  Guard guard() const { return GetParam() == 2 ? kGuardCrc : kGuardSeal; }
  const Keys* keysFor() const { return guard() == kGuardCrc ? nullptr : keys.get(); }

  Bytes write(const std::string& payload) {
    Bytes out;
    SectionWriter w(out, guard(), keysFor(), nonce, kBlockData, kSectionData);
    w.write(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    w.finish();
    return out;
  }
  std::string read(const Bytes& stored) {
    writeBytes(dir / "s", stored);
    File f = File::openRead(dir / "s");
    SectionReader r(f, 0, stored.size(), guard(), keys->tagSize(), keysFor(), nonce, kBlockData,
                    kSectionData);
    std::string out;
    Bytes chunk;
    while (r.next(chunk)) out.append(chunk.begin(), chunk.end());
    return out;
  }
  std::unique_ptr<Keys> keys;
  uint8_t nonce[kNonceBytes];
  TempDir dir;
};

TEST_P(Sections, RoundTripAtChunkBoundaries) {
  for (size_t size : {size_t(0), size_t(1), kChunkBytes - 1, kChunkBytes, kChunkBytes + 1,
                      2 * kChunkBytes, 3 * kChunkBytes + 5}) {
    std::string payload = randomBytes(size, unsigned(size));
    EXPECT_EQ(read(write(payload)), payload) << size;
  }
}

// Whole chunks are taken straight from a large write and the rest is gathered: the chunks
// are the same however the bytes come, into either kind of buffer.
TEST_P(Sections, WritesInPiecesGiveTheSameChunks) {
  const std::string payload = randomBytes(3 * kChunkBytes + 5, 9);
  const auto* p = reinterpret_cast<const uint8_t*>(payload.data());
  const Bytes whole = write(payload);
  LargeBytes pieces;
  SectionWriter w(pieces, guard(), keysFor(), nonce, kBlockData, kSectionData);
  w.write(p, 1);
  w.write(p + 1, kChunkBytes);
  for (size_t at = kChunkBytes + 1; at < payload.size(); at += 700001)
    w.write(p + at, std::min<size_t>(700001, payload.size() - at));
  w.finish();
  EXPECT_EQ(Bytes(pieces.begin(), pieces.end()), whole);
}

// A block's data is framed where it lies: the same section as written through a writer, with
// room reserved or not.
TEST_P(Sections, FramingInPlaceGivesTheWrittenSection) {
  const size_t tag = guard() == kGuardCrc ? 0 : keys->tagSize();
  for (size_t size : {size_t(0), size_t(1), kChunkBytes - 1, kChunkBytes, kChunkBytes + 1,
                      3 * kChunkBytes, 3 * kChunkBytes + 5}) {
    const std::string payload = randomBytes(size, unsigned(size) + 3);
    for (bool reserved : {true, false}) {
      LargeBytes data(payload.begin(), payload.end());
      if (reserved) data.reserve(sectionBytes(size, tag));
      const uint8_t* before = data.data();
      frameSectionInPlace(data, guard(), keysFor(), nonce, kBlockData, kSectionData);
      EXPECT_EQ(data.size(), sectionBytes(size, tag)) << size;
      if (reserved) {
        EXPECT_EQ(data.data(), before) << size;
      }
      EXPECT_EQ(Bytes(data.begin(), data.end()), write(payload)) << size;
    }
  }
}

TEST_P(Sections, ReorderedCutAndExtendedSectionsAreRejected) {
  std::string payload = randomBytes(2 * kChunkBytes + 100, 4);
  Bytes stored = write(payload);
  // Chunk boundaries: three chunks of 1 MiB, 1 MiB and 100 bytes.
  size_t chunk = 8 + kChunkBytes + (guard() == kGuardCrc ? 0 : keys->tagSize());
  ASSERT_EQ(stored.size(), 2 * chunk + chunk - kChunkBytes + 100);
  // Swap the two full chunks.
  Bytes swapped(stored);
  std::copy(stored.begin() + long(chunk), stored.begin() + long(2 * chunk), swapped.begin());
  std::copy(stored.begin(), stored.begin() + long(chunk), swapped.begin() + long(chunk));
  if (guard() != kGuardCrc) {
    EXPECT_THROW(read(swapped), JarError);
  }
  // Drop the last chunk, or add bytes after it.
  EXPECT_THROW(read(Bytes(stored.begin(), stored.begin() + long(2 * chunk))), JarError);
  Bytes longer(stored);
  longer.push_back(0);
  EXPECT_THROW(read(longer), JarError);
}

INSTANTIATE_TEST_SUITE_P(Guards, Sections, ::testing::Values(0, 1, 2), [](const auto& info) {
  return std::string(info.param == 0 ? "XChaCha" : info.param == 1 ? "Gost" : "CrcOnly");
});

TEST(DirectoryParser, RejectsEntriesThatDoNotFit) {
  Directory dir;
  dir.info.chapterCount = 2;
  dir.blocks.push_back({100, 500, 1000, 300});
  Entry e;
  e.info.name = "a";
  e.info.size = 400;
  e.info.chapters = {1, 2};
  e.block = 0;
  e.offset = 600;
  dir.entries.push_back(e);
  EXPECT_EQ(decodeDirectory(encodeDirectory(dir), 10000).entries.size(), 1u);

  auto rejects = [&](const std::function<void(Directory&)>& change, uint64_t fileSize = 10000) {
    Directory bad = dir;
    change(bad);
    EXPECT_THROW(decodeDirectory(encodeDirectory(bad), fileSize), JarError);
  };
  rejects([](Directory& d) { d.entries[0].info.size = 401; });           // past the data
  rejects([](Directory& d) { d.entries[0].info.chapters = {1, 3}; });    // past the chapters
  rejects([](Directory& d) { d.entries[0].info.chapters = {2, 1}; });
  rejects([](Directory& d) { d.entries[0].info.name.clear(); });
  rejects([](Directory& d) { d.entries[0].info.name = std::string("a\0b", 3); });
  rejects([](Directory& d) { d.entries[0].block = 1; });
  rejects([](Directory& d) { d.entries[0].info.kind = MemberKind::Folder; });  // folder with data
  rejects([](Directory&) {}, 550);                                        // block past the end
  Bytes raw = encodeDirectory(dir);
  raw.pop_back();
  EXPECT_THROW(decodeDirectory(raw, 10000), JarError);
}

// The decoder alone must notice a cut stream (it never reports the end) and garbage (an error
// or bytes that differ); nothing in the test reports either for it.
TEST(Codecs, GarbageAndCutStreamsFailCleanly) {
  std::string text = sampleText(200000, 3);
  for (CodecChoice c : {CodecChoice{kCodecZstd, 3, 26, false}, CodecChoice{kCodecXz, 6, 0, true}}) {
    SCOPED_TRACE(c.codec == kCodecZstd ? "zstd" : "xz");
    LargeBytes encoded;
    auto enc = Encoder::make(c, text.size());
    enc->write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), encoded);
    enc->finish(encoded);
    const Bytes packed(encoded.begin(), encoded.end());
    struct Outcome {
      std::string out;
      bool finished = false;
      int error = kOk;
    };
    // Feeds the stream in small steps until the decoder stops making progress.
    auto decode = [&](const Bytes& in) {
      Outcome o;
      auto dec = Decoder::make(c.codec);
      std::vector<uint8_t> buf(4096);
      size_t pos = 0;
      try {
        for (;;) {
          const size_t before = pos;
          const size_t end = std::min(in.size(), pos + 1000);
          const size_t n = dec->step(in.data(), end, pos, buf.data(), buf.size());
          o.out.append(buf.begin(), buf.begin() + long(n));
          if (dec->finished() || (n == 0 && pos == before)) break;
        }
        size_t none = 0;  // the input has ended: whatever the decoder still holds
        for (size_t n; (n = dec->step(nullptr, 0, none, buf.data(), buf.size())) > 0;)
          o.out.append(buf.begin(), buf.begin() + long(n));
        o.finished = dec->finished();
      } catch (const JarError& e) {
        o.error = e.exitCode;
      }
      return o;
    };
    const Outcome whole = decode(packed);
    EXPECT_TRUE(whole.finished);
    EXPECT_EQ(whole.error, kOk);
    EXPECT_EQ(whole.out, text);

    for (size_t cut : {packed.size() / 2, packed.size() - 1}) {
      const Outcome o = decode(Bytes(packed.begin(), packed.begin() + long(cut)));
      EXPECT_FALSE(o.finished) << "cut at " << cut;
      EXPECT_TRUE(o.error == kOk || o.error == kCrcError) << o.error;
      if (cut == packed.size() / 2) {
        EXPECT_LT(o.out.size(), text.size());
      }
    }
    Bytes badStart(packed);
    badStart[0] ^= 0xFF;  // the stream's magic
    EXPECT_EQ(decode(badStart).error, kCrcError);
    Bytes garbage(packed);
    for (size_t i = 20; i < garbage.size(); i += 97) garbage[i] ^= 0x5A;
    const Outcome g = decode(garbage);
    EXPECT_TRUE(g.error == kCrcError || (g.error == kOk && g.out != text)) << g.error;
  }
  EXPECT_THROW(Decoder::make(9), JarError);
}

TEST(Limits, BlocksAndMetaLargerThanTheWriterMakesAreRefused) {
  BlockHeader h;
  h.dataRaw = 64ull << 20;
  h.dataStored = 100;
  uint8_t raw[kBlockHeaderSize];
  h.encode(raw);
  BlockHeader back;
  EXPECT_TRUE(BlockHeader::decode(raw, back));
  h.dataRaw = (64ull << 20) + 1;
  h.encode(raw);
  EXPECT_FALSE(BlockHeader::decode(raw, back));
  // Meta data: at most 64 bytes per byte of the archive, never less than 4 MiB.
  EXPECT_EQ(metaLimitFor(1000), 4ull << 20);
  EXPECT_EQ(metaLimitFor(1ull << 20), 64ull << 20);
  EXPECT_EQ(metaLimitFor(1ull << 40), kMaxMetaRaw);
  TempDir dir;
  writeFile(dir / "small", std::string(5000, 'x'));
  File f = File::openRead(dir / "small");
  BlockHeader meta;
  meta.type = kBlockDirectory;
  meta.metaRaw = (4ull << 20) + 1;
  meta.metaStored = 100;
  try {
    readMeta(f, 0, meta, 16, nullptr);
    ADD_FAILURE() << "a directory larger than the file allows was read";
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kCrcError);
  }
}

}  // namespace
}  // namespace jar32::test
