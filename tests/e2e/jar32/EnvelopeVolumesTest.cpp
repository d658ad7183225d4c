// Security envelopes and volume sets through the built jar32.exe: sign, verify, tamper, another
// key, changes; split, lose a volume, extract a set and compare the bytes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

class WithKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv("XDG_CONFIG_HOME");
    if (old) saved_ = old;
    hadOld_ = old != nullptr;
    useKeysOf("me");
    fs::create_directories(t / "src/docs");
    writeFile(t / "src/docs/guide.txt", someBytes(200000, 1, true));
    writeFile(t / "src/data.bin", someBytes(900000, 2, false));
    writeFile(t / "src/empty.txt", "");
  }
  void TearDown() override {
    if (hadOld_) setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }
  void useKeysOf(const std::string& who) { setenv("XDG_CONFIG_HOME", (t / ("cfg-" + who)).c_str(), 1); }
  fs::path keys(const std::string& who) { return t / ("cfg-" + who) / "tamber"; }

  TempDir t;

 private:
  std::string saved_;
  bool hadOld_ = false;
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(WithKeys, SignVerifyTamperAndSeeItCaught) {
  Result r = jar({"a", "../s.j", "-r", "-hy", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(fs::status(keys("me") / "jar32-signing.key").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(fs::exists(keys("me") / "jar32-signing.pub"));
  r = jarArgs(" l -jb1- \"s.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-",
              t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto p = listing::parse(r.out);
  EXPECT_EQ(p.flags, "SECURED");
  EXPECT_TRUE(p.envelopeVerified);
  EXPECT_TRUE(has(p.signature, ", key ")) << p.signature;
  EXPECT_TRUE(has(p.signature, ", signed 20")) << p.signature;
  EXPECT_FALSE(has(p.signature, "trusted")) << p.signature;
  EXPECT_EQ(jar({"t", "s.j"}, t.path()).code, 0);

  // One byte changed anywhere: every reading command refuses, naming the envelope.
  std::string bytes = readFile(t / "s.j");
  for (size_t at : {size_t(100), bytes.size() / 2, bytes.size() - 10}) {
    std::string bad = bytes;
    bad[at] ^= 0x10;
    writeFile(t / "bad.j", bad);
    for (const char* command : {"l", "t", "x"}) {
      r = jar({command, "bad.j", "-y", "-oout"}, t.path());
      EXPECT_EQ(r.code, 3) << command << " " << at;
      EXPECT_TRUE(has(r.err, "JAR SECURITY envelope of")) << r.err;
    }
    EXPECT_FALSE(fs::exists(t / "out/data.bin"));
  }
  // -he reads it without the test; the listing then says the envelope was not tested.
  std::string bad = bytes;
  bad[bytes.size() - 10] ^= 0x10;  // in the signature: the archive itself is intact
  writeFile(t / "bad.j", bad);
  r = jar({"l", "bad.j", "-he"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(listing::parse(r.out).envelopeVerified);
  EXPECT_EQ(jar({"x", "bad.j", "-he", "-y", "-oout"}, t.path()).code, 0);
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
}

TEST_F(WithKeys, AnotherKeyIsValidByItsFingerprintButNotTrustedUntilListed) {
  useKeysOf("friend");
  ASSERT_EQ(jar({"a", "../f.j", "-r", "-hy", "*"}, t / "src").code, 0);
  const std::string friendKey = readFile(keys("friend") / "jar32-signing.pub").substr(0, 64);
  useKeysOf("me");
  Result r = jar({"l", "f.j"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto p = listing::parse(r.out);
  EXPECT_TRUE(p.envelopeVerified);
  EXPECT_TRUE(has(p.signature, "not one of your trusted keys")) << p.signature;
  r = jar({"t", "f.j"}, t.path());
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(has(r.err, "not one of your trusted keys")) << r.err;
  fs::create_directories(keys("me"));
  writeFile(keys("me") / "jar32-trusted-keys", "# people I trust\n" + friendKey + " my friend\n");
  p = listing::parse(jar({"l", "f.j"}, t.path()).out);
  EXPECT_FALSE(has(p.signature, "trusted")) << p.signature;
  EXPECT_EQ(jar({"t", "f.j"}, t.path()).code, 0);
}

TEST_F(WithKeys, AChangeRemovesTheEnvelopeAndSaysSoUnlessSignedAgain) {
  ASSERT_EQ(jar({"a", "../s.j", "-r", "-hy", "*"}, t / "src").code, 0);
  Result r = jar({"d", "s.j", "empty.txt"}, t.path());
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(has(r.err, "JAR SECURITY envelope was removed")) << r.err;
  EXPECT_EQ(listing::parse(jar({"l", "s.j"}, t.path()).out).flags, "");
  r = jar({"y", "s.j", "-hy"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listing::parse(jar({"l", "s.j"}, t.path()).out).flags, "SECURED");
}

TEST_F(WithKeys, SplitLoseAVolumeSeeItNamedExtractTheSetAndCompare) {
  // The Add dialog's line: inhibit and beep, 360 (KiB) volumes, signed.
  Result r = jarArgs(" a \"v.j\" -g- -b- -m1 -s- -jl- -hf- -hg0 -vi -vv -v360 -y -d- -n- -q- -r -jf- -jr- -jt- "
                     "-hk- -hx- -jx- -ha- -he- -hy -ht- \"src\\*\"",
                     t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_TRUE(fs::exists(t / "v.j01"));
  ASSERT_TRUE(fs::exists(t / "v.j02"));
  EXPECT_FALSE(fs::exists(t / "v.j04"));
  EXPECT_EQ(fs::file_size(t / "v.j"), 360u * 1024);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\a'), 2);  // a bell before each further volume
  r = jar({"l", "v.j"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listing::parse(r.out).flags, "SECURED");
  r = jar({"x", "v.j", "-y", "-oout"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(readFile(t / "out/data.bin") == readFile(t / "src/data.bin"));
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");

  fs::rename(t / "v.j02", t / "elsewhere");
  for (const char* command : {"l", "t", "e", "x"}) {
    r = jar({command, "v.j", "-y", "-oout2"}, t.path());
    EXPECT_EQ(r.code, 6) << command;
    EXPECT_TRUE(has(r.err, (t / "v.j02").string()) || has(r.err, "v.j02")) << r.err;
  }
  fs::rename(t / "elsewhere", t / "v.j02");
  // A change keeps the set; -v- joins it into one file and the volumes go.
  writeFile(t / "src/new.txt", "new");
  ASSERT_EQ(jar({"a", "../v.j", "new.txt"}, t / "src").code, 1);  // the envelope went: a warning
  EXPECT_TRUE(fs::exists(t / "v.j01"));
  ASSERT_EQ(jar({"y", "v.j", "-v-"}, t.path()).code, 0);
  EXPECT_FALSE(fs::exists(t / "v.j01"));
  EXPECT_EQ(jar({"t", "v.j"}, t.path()).code, 0);
}

TEST_F(WithKeys, ADamagedVolumeFooterIsToldRebuiltAndWrittenAnew) {
  ASSERT_EQ(jar({"a", "../f.j", "-r", "-m1", "-hk", "-v360", "-vi", "*"}, t / "src").code, 0);
  ASSERT_TRUE(fs::exists(t / "f.j02"));
  auto partOf = [](const std::string& v) { return v.substr(0, v.size() - 80); };
  const std::string part = partOf(readFile(t / "f.j01"));
  std::string damaged = readFile(t / "f.j01");
  for (size_t i = damaged.size() - 80; i < damaged.size(); ++i) damaged[i] = 'Z';
  writeFile(t / "f.j01", damaged);

  Result r = jar({"l", "f.j"}, t.path());  // the set still reads
  EXPECT_EQ(r.code, 0) << r.err;
  r = jar({"t", "f.j"}, t.path());
  EXPECT_EQ(r.code, 3) << r.out;
  EXPECT_TRUE(has(r.out, "The footer of volume")) << r.out;
  EXPECT_TRUE(has(r.out, "f.j01")) << r.out;
  EXPECT_TRUE(has(r.out, "Damage the recovery records can repair: 80 bytes")) << r.out;
  r = jar({"x", "f.j", "-hx", "-y", "-oout"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.out, "rebuilt from the other volumes")) << r.out;
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");

  r = jar({"t", "f.j", "-jr"}, t.path());
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_TRUE(has(r.out, "replaced the damaged one")) << r.out;
  EXPECT_EQ(partOf(readFile(t / "f.j01")), part);
  r = jar({"t", "f.j"}, t.path());
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(has(r.out, "no damage found")) << r.out;

  // Without records the set reads too, but never tests fine until -jr wrote it anew.
  ASSERT_EQ(jar({"y", "f.j"}, t.path()).code, 0);
  damaged = readFile(t / "f.j");
  damaged[damaged.size() - 10] ^= 1;
  writeFile(t / "f.j", damaged);
  r = jar({"t", "f.j"}, t.path());
  EXPECT_EQ(r.code, 3) << r.out;
  EXPECT_FALSE(has(r.out, "No errors detected")) << r.out;
  EXPECT_EQ(jar({"t", "f.j", "-jr"}, t.path()).code, 0);
  EXPECT_EQ(jar({"t", "f.j"}, t.path()).code, 0);
  r = jar({"x", "f.j", "-y", "-oout2"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(compareTrees(t / "src", t / "out2"), "");
}

}  // namespace
