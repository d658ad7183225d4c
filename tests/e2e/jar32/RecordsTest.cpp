// Recovery records through the built jar32.exe: the flag line, y adding and removing them,
// damage at many offsets tested, extracted repaired (-hx) and repaired on disk (-jr), damage
// past repair, records with an envelope and volumes, and rh of a protected archive.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <random>

#include "JarRun.h"
#include "ListingParser.h"

using namespace e2e;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void damage(const fs::path& file, size_t at, size_t n) {
  std::string bytes = readFile(file);
  for (size_t i = at; i < at + n && i < bytes.size(); ++i) bytes[i] = char(bytes[i] ^ 0x5A);
  writeFile(file, bytes);
}

const char* kListLine =
    " l -jb1- \"r.j\" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-";

class RecordsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv("XDG_CONFIG_HOME");
    if (old) saved_ = old;
    hadOld_ = old != nullptr;
    setenv("XDG_CONFIG_HOME", (t / "cfg").c_str(), 1);
    fs::create_directories(t / "src/docs");
    writeFile(t / "src/docs/guide.txt", someBytes(400000, 1, true));
    writeFile(t / "src/data.bin", someBytes(1500000, 2, false));
    writeFile(t / "src/small.txt", "small");
  }
  void TearDown() override {
    if (hadOld_) setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }
  TempDir t;

 private:
  std::string saved_;
  bool hadOld_ = false;
};

TEST_F(RecordsRun, TheFlagLineShowsThemAndYAddsOrRemovesThem) {
  Result r = jar({"a", "../r.j", "-r", "-hk", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  r = jarArgs(kListLine, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listing::parse(r.out).flags, "RECOVERY RECORDS");
  // An update keeps them, y without -hk removes them, y -hk5 adds them again.
  writeFile(t / "src/small.txt", "changed");
  ASSERT_EQ(jar({"u", "../r.j", "-r", "*"}, t / "src").code, 0);
  EXPECT_EQ(listing::parse(jarArgs(kListLine, t.path()).out).flags, "RECOVERY RECORDS");
  r = jar({"y", "r.j"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listing::parse(jarArgs(kListLine, t.path()).out).flags, "");
  ASSERT_EQ(jar({"y", "r.j", "-hk5", "-g-"}, t.path()).code, 0);
  EXPECT_EQ(listing::parse(jarArgs(kListLine, t.path()).out).flags, "RECOVERY RECORDS");
  r = jar({"t", "r.j"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Recovery records (5%): no damage found.")) << r.out;
  EXPECT_EQ(jar({"a", "../r.j", "-hk51", "*"}, t / "src").code, 7);
}

TEST_F(RecordsRun, DamageAtManyOffsetsIsTestedExtractedRepairedAndRepairedOnDisk) {
  ASSERT_EQ(jar({"a", "../r.j", "-r", "-hk", "*"}, t / "src").code, 0);
  const std::string good = readFile(t / "r.j");
  std::mt19937 random(5);
  for (int i = 0; i < 12; ++i) {
    const size_t n = 1 + random() % (good.size() * 25 / 1000);
    const size_t at = i == 0 ? 0 : i == 1 ? good.size() - n : random() % (good.size() - n);
    SCOPED_TRACE("burst of " + std::to_string(n) + " at " + std::to_string(at));
    writeFile(t / "r.j", good);
    damage(t / "r.j", at, n);
    Result r = jar({"t", "r.j"}, t.path());
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(has(r.out, "Damage the recovery records can repair: ")) << r.out;
    EXPECT_FALSE(has(r.out, "cannot repair")) << r.out;
    EXPECT_FALSE(has(r.out, "No errors detected.")) << r.out;
    fs::remove_all(t / "out");
    r = jar({"x", "r.j", "-hx", "-o" + (t / "out").string()}, t.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
    r = jar({"t", "r.j", "-jr"}, t.path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "replaced the damaged one")) << r.out;
    EXPECT_TRUE(readFile(t / "r.j") == good);
  }
}

TEST_F(RecordsRun, AKilledRepairLeavesTheDamagedArchiveAsItWas) {
  ASSERT_EQ(jar({"a", "../r.j", "-r", "-hk", "*"}, t / "src").code, 0);
  const std::string good = readFile(t / "r.j");
  damage(t / "r.j", good.size() / 4, 10000);
  const std::string bad = readFile(t / "r.j");
  {
    HeldRun held({"x", "r.j", "-jr", "-o" + (t / "out").string()}, t.path(), "rename");
    ASSERT_TRUE(held.waitUntilHeld());
    held.signal(SIGKILL);
    held.finish();
  }
  EXPECT_TRUE(readFile(t / "r.j") == bad);
  // The next run repairs it and leaves no temporary file behind.
  Result r = jar({"t", "r.j", "-jr"}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(readFile(t / "r.j") == good);
  for (const auto& entry : fs::directory_iterator(t.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(RecordsRun, DamagePastRepairIsToldApartAndIntactMembersAreSalvaged) {
  // small.txt in a block of its own, before the others.
  ASSERT_EQ(jar({"a", "../r.j", "-hk1", "small.txt"}, t / "src").code, 0);
  ASSERT_EQ(jar({"a", "../r.j", "-r", "-xsmall.txt", "*"}, t / "src").code, 0);
  const std::string good = readFile(t / "r.j");
  damage(t / "r.j", good.size() / 2, good.size() / 10);
  const std::string bad = readFile(t / "r.j");
  Result r = jar({"t", "r.j"}, t.path());
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(has(r.out, "Damage the recovery records cannot repair: ")) << r.out;
  r = jar({"x", "r.j", "-jr", "-y", "-o" + (t / "out").string()}, t.path());
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_TRUE(has(r.err, "past what its recovery records repair")) << r.err;
  EXPECT_TRUE(readFile(t / "r.j") == bad);  // never replaced by something that is not clean
  // What was written is intact; what the damage hit is left out.
  size_t intact = 0;
  for (const char* name : {"small.txt", "docs/guide.txt", "data.bin"}) {
    if (!fs::exists(t / "out" / name)) continue;
    ++intact;
    EXPECT_TRUE(readFile(t / "out" / name) == readFile(t / "src" / name)) << name;
  }
  EXPECT_TRUE(fs::exists(t / "out/small.txt"));
  EXPECT_LT(intact, 3u);
}

TEST_F(RecordsRun, WithAnEnvelopeAndVolumesADamagedVolumeRepairs) {
  Result r = jar({"a", "../r.j", "-r", "-hk", "-hy", "-v256k", "*"}, t / "src");
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_TRUE(fs::exists(t / "r.j03"));
  r = jarArgs(kListLine, t.path());
  EXPECT_EQ(listing::parse(r.out).flags, "RECOVERY RECORDS, SECURED");
  const std::string volume = readFile(t / "r.j02");
  damage(t / "r.j02", 1000, 20000);
  r = jarArgs(kListLine, t.path());
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(has(r.err, "JAR SECURITY envelope")) << r.err;
  r = jar({"x", "r.j", "-hx", "-o" + (t / "out").string()}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
  r = jar({"t", "r.j", "-jr"}, t.path());
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  const std::string repaired = readFile(t / "r.j02");
  EXPECT_TRUE(repaired.substr(0, repaired.size() - 80) == volume.substr(0, volume.size() - 80));
  r = jarArgs(kListLine, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(listing::parse(r.out).envelopeVerified);
}

TEST_F(RecordsRun, RhRebuildsAProtectedArchiveWhoseHeaderIsDamaged) {
  ASSERT_EQ(jar({"a", "../p.j", "-r", "-gsecret-pass", "*"}, t / "src").code, 0);
  damage(t / "p.j", 24, 60);  // flags, salt, key parameters, check value
  EXPECT_EQ(jar({"l", "p.j", "-gsecret-pass"}, t.path()).code, 3);
  Result r = jar({"rh", "p.j", "-gsecret-pass"}, t.path());
  ASSERT_EQ(r.code, 0) << r.err;
  r = jar({"x", "$recover.j", "-gsecret-pass", "-o" + (t / "out").string()}, t.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(compareTrees(t / "src", t / "out"), "");
}

}  // namespace
