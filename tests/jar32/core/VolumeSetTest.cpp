// Volume sets: cutting, reading as one archive, missing and foreign volumes, changes of a set.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "Envelope.h"
#include "TestSupport.h"
#include "VolumeSet.h"

namespace jar32::test {
namespace {

WriteSettings split(uint64_t size) {
  WriteSettings s;
  s.method = 1;
  s.volumes.layout = VolumeSettings::Layout::Split;
  s.volumes.size = size;
  return s;
}

class Volumes : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir / "r.bin", randomBytes(100000, 3));
    writeFile(dir / "t.txt", sampleText(40000, 4));
    add(archive, {source(dir / "r.bin", "r.bin"), source(dir / "t.txt", "t.txt")}, split(32 * 1024));
  }
  size_t volumesOnDisk() const {
    size_t n = 0;
    while (access(volumeName(archive, uint32_t(n)).c_str(), F_OK) == 0) ++n;
    return n;
  }
  TempDir dir;
  std::string archive = dir / "v.j";
};

TEST_F(Volumes, ASetReadsAsOneArchive) {
  ASSERT_EQ(volumesOnDisk(), 4u);
  EXPECT_EQ(volumeName(archive, 1), archive + "01");
  EXPECT_EQ(volumeName(archive, 100), archive + "100");
  std::string joined;
  for (uint32_t i = 0; i < 4; ++i) {
    const std::string v = readFile(volumeName(archive, i));
    if (i < 3) {
      EXPECT_EQ(v.size(), 32u * 1024);
    }
    joined += v.substr(0, v.size() - kVolumeFooterSize);
  }
  auto a = Archive::open(archive, "");
  EXPECT_EQ(a->info().volumeCount, 4u);
  EXPECT_EQ(a->info().volumeSize, 32u * 1024);
  auto all = readAll(*a);
  EXPECT_EQ(all["r.bin"], randomBytes(100000, 3));
  EXPECT_EQ(all["t.txt"], sampleText(40000, 4));
  EXPECT_NO_THROW(a->test(nullptr));
  // The concatenation is the archive itself.
  writeFile(dir / "joined.j", joined);
  EXPECT_EQ(readAll(*Archive::open(dir / "joined.j", ""))["r.bin"], randomBytes(100000, 3));
}

TEST_F(Volumes, AMissingVolumeIsNamedAndALaterOneIsNoStart) {
  ASSERT_EQ(rename((archive + "02").c_str(), (dir / "away").c_str()), 0);
  std::string message;
  EXPECT_EQ(codeOf([&] { Archive::open(archive, ""); }, &message), kOpenError);
  EXPECT_NE(message.find("Volume 3"), std::string::npos) << message;
  EXPECT_NE(message.find(archive + "02"), std::string::npos) << message;
  ASSERT_EQ(rename((dir / "away").c_str(), (archive + "02").c_str()), 0);
  EXPECT_EQ(codeOf([&] { Archive::open(archive + "01", ""); }, &message), kOpenError);
  EXPECT_NE(message.find("first volume"), std::string::npos) << message;
  // The last volume gone: the set's size tells that one is missing.
  ASSERT_EQ(unlink((archive + "03").c_str()), 0);
  EXPECT_EQ(codeOf([&] { Archive::open(archive, ""); }, &message), kOpenError);
  EXPECT_NE(message.find(archive + "03"), std::string::npos) << message;
}

TEST_F(Volumes, AVolumeOfAnotherSetOrOutOfPlaceIsDamage) {
  add(dir / "w.j", {source(dir / "r.bin", "r.bin")}, split(32 * 1024));
  const std::string mine = readFile(archive + "01");
  writeFile(archive + "01", readFile(dir / "w.j01"));
  EXPECT_EQ(codeOf([&] { Archive::open(archive, ""); }), kCrcError);
  writeFile(archive + "01", readFile(archive + "02"));  // swapped order
  EXPECT_EQ(codeOf([&] { Archive::open(archive, ""); }), kCrcError);
  std::string changed = mine;
  changed[changed.size() - 30] ^= 1;  // the footer itself: rebuilt, and reported
  writeFile(archive + "01", changed);
  EXPECT_EQ(Archive::open(archive, "")->info().records.rebuiltFooters,
            std::vector<std::string>{archive + "01"});
  changed = mine;
  changed[100] ^= 1;  // the data: found by the archive's own checks
  writeFile(archive + "01", changed);
  EXPECT_EQ(codeOf([&] { Archive::open(archive, "")->test(nullptr); }), kCrcError);
}

TEST_F(Volumes, AHostileFooterCostsNothingUntilItsVolumesExist) {
  // A first volume claiming a set of 2^60 bytes: the reader stops at the first missing file.
  std::string first = readFile(archive);
  VolumeFooter f;
  ASSERT_TRUE(VolumeFooter::decode(reinterpret_cast<const uint8_t*>(first.data()) + first.size() - kVolumeFooterSize, f));
  f.total = 1ull << 60;
  f.volumeSize = 1;
  uint8_t b[kVolumeFooterSize];
  f.encode(b);
  first.replace(first.size() - kVolumeFooterSize, kVolumeFooterSize, reinterpret_cast<char*>(b), sizeof b);
  writeFile(dir / "h.j", first);
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "h.j", ""); }), kOpenError);
}

TEST_F(Volumes, ChangesKeepTheSetJoinItOrDropVolumesNoLongerNeeded) {
  writeFile(dir / "more.bin", randomBytes(50000, 5));
  add(archive, {source(dir / "more.bin", "more.bin")});  // no -v: stays a set of 32 KiB
  EXPECT_EQ(volumesOnDisk(), 5u);
  EXPECT_EQ(Archive::open(archive, "")->info().volumeSize, 32u * 1024);
  deleteMembers(archive, [](const MemberInfo& m) { return m.name != "t.txt"; }, false, {}, nullptr);
  EXPECT_EQ(volumesOnDisk(), 1u);  // it fits into one file now: the other volumes went
  EXPECT_EQ(Archive::open(archive, "")->info().volumeCount, 1u);
  add(archive, {source(dir / "r.bin", "r.bin")}, split(40 * 1024));
  EXPECT_EQ(volumesOnDisk(), 3u);
  WriteSettings join;
  join.volumes.layout = VolumeSettings::Layout::Single;
  copyArchive(archive, "", join, nullptr);
  EXPECT_EQ(volumesOnDisk(), 1u);
  EXPECT_EQ(readAll(*Archive::open(archive, ""))["r.bin"], randomBytes(100000, 3));
}

TEST_F(Volumes, AFileInTheWayOfANewVolumeIsNeverReplaced) {
  writeFile(dir / "n.j02", "someone's file");
  std::string message;
  EXPECT_EQ(codeOf([&] { add(dir / "n.j", {source(dir / "r.bin", "r.bin")}, split(32 * 1024)); }, &message),
            kFatal);
  EXPECT_EQ(readFile(dir / "n.j02"), "someone's file");
  EXPECT_EQ(access((dir / "n.j").c_str(), F_OK), -1);
  EXPECT_EQ(access((dir / "n.j01").c_str(), F_OK), -1);
}

TEST_F(Volumes, StoppingBeforeAVolumeChangesNothing) {
  const std::string before = readFile(archive);
  WriteSettings s = split(32 * 1024);
  std::vector<std::string> asked;
  s.volumes.nextVolume = [&](const std::string& path, uint32_t number) {
    asked.push_back(path + "#" + std::to_string(number));
    return number < 3;
  };
  writeFile(dir / "more.bin", randomBytes(50000, 5));
  EXPECT_EQ(codeOf([&] { add(archive, {source(dir / "more.bin", "more.bin")}, s); }), kFatal);
  EXPECT_EQ(asked, (std::vector<std::string>{archive + "01#2", archive + "02#3"}));
  EXPECT_EQ(readFile(archive), before);
  EXPECT_NO_THROW(Archive::open(archive, "")->test(nullptr));
}

TEST_F(Volumes, ASignedSetIsVerifiedAcrossItsVolumes) {
  WriteSettings s = split(32 * 1024);
  s.signWith = loadSigningKey(dir / "keys", "me");
  copyArchive(archive, "", s, nullptr);
  auto a = Archive::open(archive, "");
  EXPECT_TRUE(a->info().envelope.verified);
  EXPECT_GT(a->info().volumeCount, 1u);
  std::string middle = readFile(archive + "01");
  middle[middle.size() / 2] ^= 1;
  writeFile(archive + "01", middle);
  std::string message;
  EXPECT_EQ(codeOf([&] { Archive::open(archive, ""); }, &message), kCrcError);
  EXPECT_NE(message.find("JAR SECURITY envelope"), std::string::npos);
}

TEST(VolumeSizes, TooSmallIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  writeFile(dir / "a", "a");
  EXPECT_EQ(codeOf([&] { add(dir / "s.j", {source(dir / "a", "a")}, split(1000)); }), kBadParams);
  EXPECT_EQ(access((dir / "s.j").c_str(), F_OK), -1);
}

}  // namespace
}  // namespace jar32::test
