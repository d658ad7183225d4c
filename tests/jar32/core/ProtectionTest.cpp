// Passwords with both protection methods: round trips, missing and wrong passwords, hidden
// contents, password changes, and detection of any changed byte.
#include <gtest/gtest.h>

#include "Crypto.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

const char* kPassword = "correct horse";

class Protection : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { setKdfCostForTesting(1, 64); }  // fast keys for many opens
  void TearDown() override { setKdfCostForTesting(0, 0); }
  WriteSettings settings(bool hide = false) const {
    WriteSettings s;
    s.password = kPassword;
    s.protection = GetParam();
    s.hideContents = hide;
    return s;
  }
  void makeArchive(const std::string& path, bool hide) {
    writeFile(dir / "secret.txt", sampleText(20000, 9));
    writeFile(dir / "other", "other data");
    add(path, {source(dir / "secret.txt", "docs\\secret.txt"), source(dir / "other", "other")},
        settings(hide));
  }
  TempDir dir;
};

TEST_P(Protection, RoundTripAndPasswordErrors) {
  makeArchive(dir / "p.j", false);
  auto a = Archive::open(dir / "p.j", kPassword);
  EXPECT_EQ(a->info().flags, uint32_t(kFlagProtected | kFlagEncrypted));
  EXPECT_EQ(a->info().protectionMethod, GetParam());
  EXPECT_EQ(readAll(*a)["docs\\secret.txt"], sampleText(20000, 9));
  EXPECT_NO_THROW(a->test(nullptr));

  // Not hidden: the listing needs no password, the data does.
  auto listed = Archive::open(dir / "p.j", "");
  EXPECT_EQ(listed->members().size(), 2u);
  std::string message;
  EXPECT_EQ(codeOf([&] { readAll(*listed); }, &message), kFatal);
  EXPECT_NE(message.find("ERROR #174"), std::string::npos);
  EXPECT_LT(message.size(), 80u);

  EXPECT_EQ(codeOf([&] { Archive::open(dir / "p.j", "wrong password"); }, &message), kFatal);
  EXPECT_NE(message.find("ERROR #168"), std::string::npos);
  EXPECT_LT(message.size(), 80u);

  // Changing the archive needs the password too.
  writeFile(dir / "more", "more");
  EXPECT_EQ(codeOf([&] { add(dir / "p.j", {source(dir / "more", "more")}); }, &message), kFatal);
  EXPECT_NE(message.find("ERROR #174"), std::string::npos);
  WriteSettings wrong = settings();
  wrong.password = "not the one";
  EXPECT_EQ(codeOf([&] { add(dir / "p.j", {source(dir / "more", "more")}, wrong); }, &message),
            kFatal);
  EXPECT_NE(message.find("ERROR #168"), std::string::npos);
  add(dir / "p.j", {source(dir / "more", "more")}, settings());
  EXPECT_EQ(readAll(*Archive::open(dir / "p.j", kPassword))["more"], "more");
}

TEST_P(Protection, HiddenArchivesNeedThePasswordEvenToList) {
  makeArchive(dir / "h.j", true);
  std::string message;
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "h.j", ""); }, &message), kFatal);
  EXPECT_NE(message.find("ERROR #174"), std::string::npos);
  auto a = Archive::open(dir / "h.j", kPassword);
  EXPECT_EQ(a->info().flags, uint32_t(kFlagProtected | kFlagEncrypted | kFlagHidden));
  EXPECT_NO_THROW(a->test(nullptr));
  // No member name is readable in the file.
  std::string bytes = readFile(dir / "h.j");
  EXPECT_EQ(bytes.find("secret.txt"), std::string::npos);
  // Later changes keep it hidden.
  writeFile(dir / "more", "more");
  add(dir / "h.j", {source(dir / "more", "more")}, settings());
  EXPECT_THROW(Archive::open(dir / "h.j", ""), JarError);
  // y without -jx shows the contents again; the data stays protected.
  copyArchive(dir / "h.j", "", settings(false), nullptr);
  auto shown = Archive::open(dir / "h.j", "");
  EXPECT_EQ(shown->info().flags, uint32_t(kFlagProtected | kFlagEncrypted));
  EXPECT_EQ(shown->members().size(), 3u);
  EXPECT_THROW(readAll(*shown), JarError);
}

TEST_P(Protection, EveryChangedByteIsDetected) {
  makeArchive(dir / "t.j", true);
  const auto original = readBytes(dir / "t.j");
  size_t undetected = 0;
  // Every byte of the file header and of the tail (info, directory, trailer); a sample of the
  // blocks in between (each of their bytes is covered by the same chunk checks).
  for (size_t i = 0; i < original.size(); i += (i < 128 || i + 600 > original.size()) ? 1 : 5) {
    auto damaged = original;
    damaged[i] ^= 0x20;
    writeBytes(dir / "d.j", damaged);
    int code = codeOf([&] {
      auto a = Archive::open(dir / "d.j", kPassword);
      a->test(nullptr);
    });
    // A changed signature makes it "not a JAR archive"; everything else is damage.
    int expected = (i >= 14 && i < 20) ? kNotJar : kCrcError;
    if (code != expected) {
      ++undetected;
      ADD_FAILURE() << "byte " << i << " of " << original.size() << ": exit " << code;
      if (undetected > 5) break;
    }
  }
}

TEST_P(Protection, DamageIsNotAWrongPassword) {
  makeArchive(dir / "t.j", false);
  auto bytes = readBytes(dir / "t.j");
  bytes[bytes.size() / 3] ^= 1;
  writeBytes(dir / "t.j", bytes);
  std::string message;
  int code = codeOf([&] {
    auto a = Archive::open(dir / "t.j", kPassword);
    a->test(nullptr);
  }, &message);
  EXPECT_EQ(code, kCrcError);
  EXPECT_EQ(message.find("#168"), std::string::npos);
}

TEST_P(Protection, CopyChangesAddsAndRemovesThePassword) {
  writeFile(dir / "f", sampleText(5000, 3));
  add(dir / "plain.j", {source(dir / "f", "f")});
  // A first password protects the whole archive.
  writeFile(dir / "g", "g");
  add(dir / "plain.j", {source(dir / "g", "g")}, settings());
  EXPECT_THROW(readAll(*Archive::open(dir / "plain.j", "")), JarError);
  EXPECT_EQ(readAll(*Archive::open(dir / "plain.j", kPassword))["f"], sampleText(5000, 3));

  WriteSettings change = settings();
  change.newPassword = "another password";
  change.protection = 1 - GetParam();
  copyArchive(dir / "plain.j", "", change, nullptr);
  EXPECT_THROW(Archive::open(dir / "plain.j", kPassword), JarError);
  auto a = Archive::open(dir / "plain.j", "another password");
  EXPECT_EQ(a->info().protectionMethod, 1 - GetParam());
  EXPECT_EQ(readAll(*a)["f"], sampleText(5000, 3));

  WriteSettings remove;
  remove.password = "another password";
  remove.newPassword = "";
  copyArchive(dir / "plain.j", dir / "open.j", remove, nullptr);
  auto o = Archive::open(dir / "open.j", "");
  EXPECT_EQ(o->info().flags, 0u);
  EXPECT_EQ(readAll(*o)["g"], "g");
}

INSTANTIATE_TEST_SUITE_P(Methods, Protection, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "XChaCha" : "Gost"; });

}  // namespace
}  // namespace jar32::test
