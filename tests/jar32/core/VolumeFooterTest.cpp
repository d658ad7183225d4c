// Damaged volume footers: rebuilt from the other volumes, reported as damage, and written anew
// by the repair.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include "TestSupport.h"
#include "VolumeSet.h"

namespace jar32::test {
namespace {

OpenOptions use(RecordsUse r) {
  OpenOptions o;
  o.records = r;
  return o;
}

// What t would conclude: the archive opens, nothing is damaged and every member tests intact.
bool reportedFine(const std::string& path) {
  try {
    auto a = Archive::open(path, "", use(RecordsUse::Check));
    const RecordsInfo& r = a->info().records;
    if (r.damaged() || !r.rebuiltFooters.empty() || a->info().directoryRebuilt) return false;
    a->test(nullptr);
    return true;
  } catch (const JarError&) {
    return false;
  }
}

std::string partOf(const std::string& volume) { return volume.substr(0, volume.size() - kVolumeFooterSize); }

class Footers : public ::testing::Test {
 protected:
  void make(int recordsShare) {
    writeFile(dir / "r.bin", randomBytes(90000, 7));
    writeFile(dir / "t.txt", sampleText(30000, 8));
    WriteSettings s;
    s.method = 1;
    s.recordsShare = recordsShare;
    s.volumes.layout = VolumeSettings::Layout::Split;
    s.volumes.size = 32 * 1024;
    add(archive, {source(dir / "r.bin", "r.bin"), source(dir / "t.txt", "t.txt")}, s);
    for (uint32_t i = 0; i < 4; ++i) parts.push_back(partOf(readFile(volumeName(archive, i))));
  }
  void damageFooter(uint32_t index, size_t from = 0, size_t length = kVolumeFooterSize) {
    const std::string name = volumeName(archive, index);
    std::string v = readFile(name);
    for (size_t i = 0; i < length; ++i) v[v.size() - kVolumeFooterSize + from + i] ^= 0x5a;
    writeFile(name, v);
  }
  void expectIntact(Archive& a) {
    auto all = readAll(a);
    EXPECT_EQ(all["r.bin"], randomBytes(90000, 7));
    EXPECT_EQ(all["t.txt"], sampleText(30000, 8));
    EXPECT_NO_THROW(a.test(nullptr));
  }
  TempDir dir;
  std::string archive = dir / "f.j";
  std::vector<std::string> parts;
};

TEST_F(Footers, AnyFooterOfASetWithRecordsIsRebuiltReportedAndRepairedOnDisk) {
  make(10);
  ASSERT_EQ(access((archive + "03").c_str(), F_OK), 0);
  // The first, a middle and the last volume's footer; all of one, a single byte of another.
  for (uint32_t index : {0u, 2u, 3u}) {
    SCOPED_TRACE(index);
    const std::vector<std::string> before = {readFile(archive), readFile(archive + "01"),
                                             readFile(archive + "02"), readFile(archive + "03")};
    damageFooter(index, index == 2 ? 40 : 0, index == 2 ? 1 : kVolumeFooterSize);
    const RecordsInfo checked = Archive::open(archive, "", use(RecordsUse::Check))->info().records;
    EXPECT_EQ(checked.rebuiltFooters, std::vector<std::string>{volumeName(archive, index)});
    EXPECT_TRUE(checked.damaged());
    EXPECT_TRUE(checked.repairable());
    EXPECT_EQ(checked.damagedBytes, kVolumeFooterSize);  // the data itself is intact
    EXPECT_FALSE(reportedFine(archive));
    auto a = Archive::open(archive, "", use(RecordsUse::Repair));
    expectIntact(*a);

    const RecordsInfo r = repairArchive(archive, "", true, nullptr);
    EXPECT_TRUE(r.repairable());
    EXPECT_TRUE(reportedFine(archive));
    for (uint32_t i = 0; i < 4; ++i) {
      const std::string v = readFile(volumeName(archive, i));
      EXPECT_EQ(v.size(), before[i].size());
      EXPECT_EQ(partOf(v), parts[i]);  // the same bytes; only the set id is new
    }
  }
}

TEST_F(Footers, AFooterAndTheDataAroundItAreRepairedTogether) {
  make(10);
  // A burst over the end of volume 1's data, its footer and the start of volume 2.
  std::string one = readFile(archive + "01"), two = readFile(archive + "02");
  for (size_t i = one.size() - 2000; i < one.size(); ++i) one[i] ^= 0x33;
  for (size_t i = 0; i < 1500; ++i) two[i] ^= 0x33;
  writeFile(archive + "01", one);
  writeFile(archive + "02", two);
  const RecordsInfo checked = Archive::open(archive, "", use(RecordsUse::Check))->info().records;
  EXPECT_EQ(checked.rebuiltFooters, std::vector<std::string>{archive + "01"});
  EXPECT_TRUE(checked.repairable());
  expectIntact(*Archive::open(archive, "", use(RecordsUse::Repair)));
  repairArchive(archive, "", true, nullptr);
  EXPECT_FALSE(Archive::open(archive, "", use(RecordsUse::Check))->info().records.damaged());
  EXPECT_EQ(partOf(readFile(archive + "01")), parts[1]);
  EXPECT_EQ(partOf(readFile(archive + "02")), parts[2]);
}

TEST_F(Footers, WithoutRecordsTheSetReadsButIsNeverFine) {
  make(0);
  damageFooter(1);
  auto a = Archive::open(archive, "", use(RecordsUse::Check));
  EXPECT_FALSE(a->info().records.present);
  EXPECT_EQ(a->info().records.rebuiltFooters, std::vector<std::string>{archive + "01"});
  expectIntact(*a);
  EXPECT_FALSE(reportedFine(archive));
  // The repair writes the set anew once its members test clean.
  repairArchive(archive, "", true, nullptr);
  EXPECT_TRUE(Archive::open(archive, "")->info().records.rebuiltFooters.empty());
  EXPECT_EQ(partOf(readFile(archive + "01")), parts[1]);
}

TEST_F(Footers, AFirstFooterIsRebuiltOnlyWhenTheNextVolumesAgree) {
  make(10);
  damageFooter(0);
  damageFooter(1);  // two in a row: volume 2's footer still tells where volume 2 begins
  EXPECT_EQ(Archive::open(archive, "", use(RecordsUse::Check))->info().records.rebuiltFooters,
            (std::vector<std::string>{archive, archive + "01"}));
  // A second volume of another size: the first file is not taken for a volume, and as one
  // file it does not read as an archive with intact records.
  std::string two = readFile(archive + "02");
  writeFile(archive + "02", two + "x");
  EXPECT_FALSE(reportedFine(archive));
  writeFile(archive + "02", two);
  // No later volume at all: a plain file.
  for (uint32_t i = 1; i < 4; ++i) ASSERT_EQ(unlink(volumeName(archive, i).c_str()), 0);
  EXPECT_FALSE(reportedFine(archive));
}

TEST_F(Footers, AFileTooLargeForItsPlaceIsNoVolumeOfTheSet) {
  make(10);
  std::string last = readFile(archive + "03");
  last.resize(last.size() - kVolumeFooterSize);
  writeFile(archive + "03", last + std::string(40000, 'z'));  // no footer, and too long
  EXPECT_EQ(codeOf([&] { Archive::open(archive, "", use(RecordsUse::Check)); }), kCrcError);
}

}  // namespace
}  // namespace jar32::test
