// Security envelopes: signing, verification first, tampering anywhere, other keys, keys on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <functional>

#include "Envelope.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

class Envelope : public ::testing::Test {
 protected:
  void SetUp() override {
    key = loadSigningKey(dir / "keys", "Tamber developers");
    writeFile(dir / "a.txt", sampleText(30000, 1));
    writeFile(dir / "b.bin", randomBytes(20000, 2));
    WriteSettings s;
    s.signWith = key;
    add(archive, {source(dir / "a.txt", "a.txt"), source(dir / "b.bin", "b.bin")}, s);
  }
  TempDir dir;
  std::string archive = dir / "s.j";
  std::shared_ptr<const SigningKey> key;
};

TEST_F(Envelope, SignedArchiveOpensVerifiedAndReadsAsBefore) {
  auto a = Archive::open(archive, "");
  const ArchiveInfo& info = a->info();
  EXPECT_TRUE(info.flags & kFlagSecured);
  EXPECT_TRUE(info.envelope.present && info.envelope.verified);
  EXPECT_EQ(info.envelope.signerName, "Tamber developers");
  EXPECT_EQ(0, std::memcmp(info.envelope.publicKey, key->publicKey, 32));
  EXPECT_NEAR(double(info.envelope.signedAt), double(std::time(nullptr)), 60);
  EXPECT_EQ(readAll(*a)["a.txt"], sampleText(30000, 1));
  EXPECT_NO_THROW(a->test(nullptr));
  EXPECT_TRUE(isTrustedKey(dir / "keys", info.envelope.publicKey));
}

TEST_F(Envelope, EveryChangedByteBreaksItAndHeSkipsTheTest) {
  const std::vector<uint8_t> good = readBytes(archive);
  // The body's start, middle and end, the envelope's fields, its name and its signature.
  for (size_t at : {size_t(0), size_t(20), good.size() / 2, good.size() - kEnvelopeSize - 1,
                    good.size() - kEnvelopeSize + 8, good.size() - kEnvelopeSize + 20,
                    good.size() - kEnvelopeSize + 40, good.size() - kEnvelopeSize + 70,
                    good.size() - kEnvelopeSize + 150, good.size() - 1}) {
    std::vector<uint8_t> bad = good;
    bad[at] ^= 0x01;
    writeBytes(dir / "bad.j", bad);
    std::string message;
    const int code = codeOf([&] { Archive::open(dir / "bad.j", ""); }, &message);
    EXPECT_EQ(code, at >= 14 && at < 20 ? kNotJar : kCrcError) << at << " " << message;
    if (at >= good.size() - kEnvelopeSize + 8 && code == kCrcError) {
      EXPECT_NE(message.find("JAR SECURITY envelope"), std::string::npos) << message;
    }
  }
  // Cut short, or grown: the size is not the one signed.
  std::vector<uint8_t> longer = good;
  longer.insert(longer.begin() + 200, uint8_t(0));
  writeBytes(dir / "bad.j", longer);
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "bad.j", ""); }), kCrcError);
  // -he: the archive reads; only the member whose data was changed is damaged.
  std::vector<uint8_t> bad = good;
  bad[good.size() - kEnvelopeSize + 200] ^= 0x80;  // in the signature
  writeBytes(dir / "bad.j", bad);
  OpenOptions skip;
  skip.testEnvelope = false;
  auto a = Archive::open(dir / "bad.j", "", skip);
  EXPECT_TRUE(a->info().envelope.present);
  EXPECT_FALSE(a->info().envelope.verified);
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST_F(Envelope, AForgedEnvelopeNeverVerifies) {
  std::vector<uint8_t> bytes = readBytes(archive);
  const size_t e = bytes.size() - kEnvelopeSize;
  // Another key's public key in place of the signer's, and a name changed: both caught.
  auto other = loadSigningKey(dir / "other", "Mallory");
  std::vector<uint8_t> swapped = bytes;
  std::memcpy(swapped.data() + e + 32, other->publicKey, 32);
  writeBytes(dir / "f.j", swapped);
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "f.j", ""); }), kCrcError);
  // A body changed and signed again by someone else verifies, but by their key only.
  std::vector<uint8_t> body(bytes.begin(), bytes.begin() + long(e));
  writeBytes(dir / "f.j", body);
  appendEnvelope(dir / "f.j", *other, 1700000000);
  auto a = Archive::open(dir / "f.j", "");
  EXPECT_TRUE(a->info().envelope.verified);
  EXPECT_EQ(a->info().envelope.signerName, "Mallory");
  EXPECT_FALSE(isTrustedKey(dir / "keys", a->info().envelope.publicKey));
  EXPECT_NE(keyFingerprint(a->info().envelope.publicKey), keyFingerprint(key->publicKey));
  // Listing the key in the trusted-keys file trusts it.
  writeFile(dir / "keys/jar32-trusted-keys", "# friends\n\n" + toHex(other->publicKey, 32) + " Mallory\n");
  EXPECT_TRUE(isTrustedKey(dir / "keys", a->info().envelope.publicKey));
}

TEST_F(Envelope, AChangeRemovesTheEnvelopeAndSaysSoUnlessSignedAgain) {
  RecordingProgress p;
  deleteMembers(archive, [](const MemberInfo& m) { return m.name == "b.bin"; }, false, {}, &p);
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_NE(p.warnings[0].find("JAR SECURITY envelope was removed"), std::string::npos);
  EXPECT_FALSE(Archive::open(archive, "")->info().flags & kFlagSecured);
  WriteSettings s;
  s.signWith = key;
  copyArchive(archive, "", s, nullptr);  // y -hy signs it again
  EXPECT_TRUE(Archive::open(archive, "")->info().envelope.verified);
}

TEST_F(Envelope, AChangeOfATamperedArchiveIsRefusedSoItIsNeverSignedAgain) {
  std::vector<uint8_t> bytes = readBytes(archive);
  bytes[bytes.size() / 3] ^= 4;
  writeBytes(archive, bytes);
  WriteSettings s;
  s.signWith = key;
  EXPECT_EQ(codeOf([&] { copyArchive(archive, "", s, nullptr); }), kCrcError);
  EXPECT_EQ(readBytes(archive), bytes);
}

TEST_F(Envelope, TheKeyIsMadeOnceAndKeptPrivate) {
  struct stat st;
  ASSERT_EQ(stat((dir / "keys/jar32-signing.key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir / "keys/jar32-signing.pub").c_str(), &st), 0);
  auto again = loadSigningKey(dir / "keys", "x");
  EXPECT_EQ(0, std::memcmp(again->publicKey, key->publicKey, 32));
  EXPECT_EQ(readFile(dir / "keys/jar32-signing.pub").substr(0, 64), toHex(key->publicKey, 32));
  chmod((dir / "keys/jar32-signing.key").c_str(), 0644);
  EXPECT_EQ(codeOf([&] { loadSigningKey(dir / "keys", "x"); }), kFatal);
  chmod((dir / "keys/jar32-signing.key").c_str(), 0600);
  writeFile(dir / "keys/jar32-signing.key", "not a key\n");
  chmod((dir / "keys/jar32-signing.key").c_str(), 0600);
  EXPECT_EQ(codeOf([&] { loadSigningKey(dir / "keys", "x"); }), kFatal);
}

TEST(EnvelopeFields, NamesAreCutAndFieldsOutOfRangeRefused) {
  EnvelopeFields f;
  f.covered = 5;
  f.name = std::string(300, 'n');
  uint8_t e[kEnvelopeSize];
  encodeEnvelopeFields(f, e);
  EnvelopeFields back;
  ASSERT_TRUE(decodeEnvelopeFields(e, back));
  EXPECT_EQ(back.name.size(), kSignerNameMax);
  e[13] = 200;  // a name longer than its field
  EXPECT_FALSE(decodeEnvelopeFields(e, back));
  e[13] = 3;  // bytes after the name must be zero
  EXPECT_FALSE(decodeEnvelopeFields(e, back));
}

}  // namespace
}  // namespace jar32::test
