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
                      3 * kChunkBytes + 5}) {
    std::string payload = randomBytes(size, unsigned(size));
    EXPECT_EQ(read(write(payload)), payload) << size;
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

TEST(Codecs, GarbageAndCutStreamsFailCleanly) {
  std::string text = sampleText(200000, 3);
  for (CodecChoice c : {CodecChoice{kCodecZstd, 3, 26, false}, CodecChoice{kCodecXz, 6, 0, true}}) {
    Bytes packed;
    auto enc = Encoder::make(c, text.size());
    enc->write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), packed);
    enc->finish(packed);
    auto decode = [&](const Bytes& in) {
      auto dec = Decoder::make(c.codec);
      std::string out;
      std::vector<uint8_t> buf(4096);
      size_t pos = 0;
      while (!dec->finished()) {
        size_t before = pos;
        size_t n = dec->step(in.data(), in.size(), pos, buf.data(), buf.size());
        out.append(buf.begin(), buf.begin() + long(n));
        if (n == 0 && pos == before) break;
      }
      if (!dec->finished()) throw JarError(kCrcError, "cut short");
      return out;
    };
    EXPECT_EQ(decode(packed), text);
    EXPECT_THROW(decode(Bytes(packed.begin(), packed.begin() + long(packed.size() / 2))), JarError);
    Bytes garbage(packed);
    for (size_t i = 20; i < garbage.size(); i += 97) garbage[i] ^= 0x5A;
    try {
      decode(garbage);
    } catch (const JarError& e) {
      EXPECT_EQ(e.exitCode, kCrcError);
    }
  }
  EXPECT_THROW(Decoder::make(9), JarError);
}

}  // namespace
}  // namespace jar32::test
