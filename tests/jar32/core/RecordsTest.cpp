// Recovery records: damage anywhere repaired or reported, past-repair salvage, -jr replacing the
// archive only when the repair tests clean, changes keeping or removing them, envelopes and
// volume sets together, hostile heads, and rh of a protected archive.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "Bytes.h"
#include "Checksum.h"
#include "Envelope.h"
#include "Format.h"
#include "RecoveryRecords.h"
#include "TestSupport.h"
#include "VolumeSet.h"
#include "jar32/Records.h"

namespace jar32::test {
namespace {

void flip(std::vector<uint8_t>& b, size_t at, size_t n) {
  for (size_t i = at; i < at + n && i < b.size(); ++i) b[i] ^= 0x5A;
}

OpenOptions use(RecordsUse r) {
  OpenOptions o;
  o.records = r;
  return o;
}

class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir / "a.txt", sampleText(150000, 1));
    writeFile(dir / "b.bin", randomBytes(120000, 2));
    writeFile(dir / "c.txt", sampleText(5000, 3));
    WriteSettings s = settings();
    add(archive, files(), s);
    good = readBytes(archive);
  }
  virtual WriteSettings settings() {
    WriteSettings s;
    s.recordsShare = 3;
    return s;
  }
  std::vector<SourceFile> files() {
    return {source(dir / "a.txt", "a.txt"), source(dir / "b.bin", "b.bin"), source(dir / "c.txt", "c.txt")};
  }
  std::map<std::string, std::string> expected() {
    return {{"a.txt", sampleText(150000, 1)}, {"b.bin", randomBytes(120000, 2)}, {"c.txt", sampleText(5000, 3)}};
  }
  RecordsInfo recordsOf(RecordsUse r) { return Archive::open(archive, "", use(r))->info().records; }
  TempDir dir;
  std::string archive = dir / "r.j";
  std::vector<uint8_t> good;
};

TEST_F(Records, AreFoundCheckedAndLeftOutOfTheArchive) {
  auto a = Archive::open(archive, "", use(RecordsUse::Check));
  const ArchiveInfo& info = a->info();
  EXPECT_TRUE(info.flags & kFlagRecoveryRecords);
  EXPECT_TRUE(info.records.present && info.records.checked);
  EXPECT_EQ(info.records.share, 3u);
  EXPECT_FALSE(info.records.damaged());
  EXPECT_EQ(info.records.coveredBytes + info.records.recordsBytes, good.size());
  // At least one sector group and about 3%.
  EXPECT_GE(info.records.recordsBytes, kRecordsSector + 2 * kRecordsHeadSize);
  EXPECT_LT(info.records.recordsBytes, good.size() / 8);
  EXPECT_EQ(readAll(*a), expected());
  EXPECT_NO_THROW(a->test(nullptr));
  // Found without a check too.
  EXPECT_FALSE(recordsOf(RecordsUse::Locate).checked);
  EXPECT_TRUE(recordsOf(RecordsUse::Locate).present);
}

TEST_F(Records, ABurstAnywhereIsRepairedAndReportedAsRepairable) {
  const size_t burst = good.size() * 25 / 1000;  // 2.5%
  for (size_t step = 0; step <= 40; ++step) {
    const size_t at = std::min(good.size() - burst, good.size() * step / 40);
    std::vector<uint8_t> bad = good;
    flip(bad, at, burst);
    writeBytes(archive, bad);
    SCOPED_TRACE("burst at " + std::to_string(at));
    const RecordsInfo checked = recordsOf(RecordsUse::Repair);
    ASSERT_TRUE(checked.present);
    EXPECT_TRUE(checked.damaged());
    EXPECT_TRUE(checked.repairable());
    EXPECT_GE(checked.damagedBytes, burst > kRecordsSector ? burst - kRecordsSector : 1);
    auto a = Archive::open(archive, "", use(RecordsUse::Repair));
    EXPECT_EQ(readAll(*a), expected());
    EXPECT_NO_THROW(a->test(nullptr));
  }
}

TEST_F(Records, ScatteredSmallDamageIsRepairedToo) {
  // One damaged sector in every stripe, and as many as it has parity sectors in the first.
  WriteSettings s;
  s.recordsShare = 20;
  copyArchive(archive, "", s, nullptr);
  good = readBytes(archive);
  const RecordsLayout L = RecordsLayout::plan(recordsOf(RecordsUse::Locate).coveredBytes, 20);
  std::vector<uint8_t> bad = good;
  ASSERT_GT(L.parityPerStripe, 1u);
  for (uint64_t j = 1; j < L.stripes; ++j) bad[j * kRecordsSector + 7] ^= 1;
  for (uint64_t r = 0; r < L.parityPerStripe; ++r) bad[r * L.stripes * kRecordsSector + 99] ^= 1;
  writeBytes(archive, bad);
  auto a = Archive::open(archive, "", use(RecordsUse::Repair));
  EXPECT_TRUE(a->info().records.repairable());
  EXPECT_EQ(readAll(*a), expected());
}

TEST_F(Records, DamagePastRepairIsReportedAndIntactMembersAreSalvaged) {
  // A burst four times the records, in the middle of the data.
  const RecordsInfo r = recordsOf(RecordsUse::Check);
  std::vector<uint8_t> bad = good;
  flip(bad, good.size() / 3, 4 * r.recordsBytes);
  writeBytes(archive, bad);
  const RecordsInfo checked = recordsOf(RecordsUse::Check);
  EXPECT_TRUE(checked.damaged());
  EXPECT_FALSE(checked.repairable());
  EXPECT_GT(checked.unrepairableBytes, 0u);
  EXPECT_EQ(codeOf([&] { repairArchive(archive, "", true, nullptr); }), kOk);
  EXPECT_EQ(readBytes(archive), bad);  // past repair: nothing written
  auto a = Archive::open(archive, "", use(RecordsUse::Repair));
  struct Salvage : MemberVisitor {
    std::map<std::string, MemberStatus> status;
    std::map<std::string, std::string> content;
    std::string current;
    bool begin(size_t, const MemberInfo& m) override {
      current = m.name;
      return true;
    }
    void data(const uint8_t* p, size_t n) override { content[current].append(reinterpret_cast<const char*>(p), n); }
    void end(size_t, const MemberInfo& m, MemberStatus s) override { status[m.name] = s; }
  } salvage;
  a->read({0, 1, 2}, salvage, true);
  size_t intact = 0, lost = 0;
  for (const auto& [name, status] : salvage.status) {
    if (status == MemberStatus::Ok) {
      ++intact;
      EXPECT_EQ(salvage.content[name], expected()[name]) << name;
    } else {
      ++lost;
    }
  }
  EXPECT_GE(lost, 1u);
  EXPECT_EQ(intact + lost, 3u);
  EXPECT_EQ(codeOf([&] { a->test(nullptr); }), kCrcError);
}

TEST_F(Records, RepairOnDiskGivesTheArchiveBackByteForByte) {
  for (size_t at : {size_t(0), good.size() / 2, good.size() - 3000}) {
    std::vector<uint8_t> bad = good;
    flip(bad, at, 2500);
    writeBytes(archive, bad);
    const RecordsInfo r = repairArchive(archive, "", true, nullptr);
    EXPECT_TRUE(r.repairable());
    EXPECT_EQ(readBytes(archive), good) << at;
  }
  // Nothing to repair: nothing written.
  const RecordsInfo clean = repairArchive(archive, "", true, nullptr);
  EXPECT_FALSE(clean.damaged());
  EXPECT_EQ(readBytes(archive), good);
}

TEST_F(Records, ARepairThatDoesNotTestCleanNeverReplacesTheArchive) {
  // Records made over an archive already damaged inside a member: they repair other damage,
  // but the member stays damaged, so the repaired archive does not test clean.
  std::vector<uint8_t> body(good.begin(), good.begin() + recordsOf(RecordsUse::Locate).coveredBytes);
  flip(body, body.size() / 2, 1);
  writeBytes(archive, body);
  appendRecoveryRecords(archive, 3);
  std::vector<uint8_t> bad = readBytes(archive);
  flip(bad, 10, 3000);  // the header: repairable
  writeBytes(archive, bad);
  std::string message;
  EXPECT_EQ(codeOf([&] { repairArchive(archive, "", true, nullptr); }, &message), kCrcError);
  EXPECT_NE(message.find("does not test clean"), std::string::npos) << message;
  EXPECT_EQ(readBytes(archive), bad);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.path().extension() == ".tmp";
  EXPECT_EQ(files, 0u);
}

TEST_F(Records, ACutOrGrownFileIsRepairedToo) {
  std::vector<uint8_t> cut(good.begin(), good.end() - 3000);  // the end head, table and parity
  writeBytes(archive, cut);
  EXPECT_TRUE(recordsOf(RecordsUse::Check).repairable());
  repairArchive(archive, "", true, nullptr);
  EXPECT_EQ(readBytes(archive), good);
  std::vector<uint8_t> grown = good;
  grown.insert(grown.end(), 5000, 0x33);
  writeBytes(archive, grown);
  EXPECT_TRUE(recordsOf(RecordsUse::Check).repairable());
  repairArchive(archive, "", true, nullptr);
  EXPECT_EQ(readBytes(archive), good);
}

TEST_F(Records, ChangesKeepThemCopiesWithoutHkRemoveThem) {
  writeFile(dir / "d.txt", "new");
  add(archive, {source(dir / "d.txt", "d.txt")});  // recordsShare -1: as the archive had them
  EXPECT_EQ(recordsOf(RecordsUse::Check).share, 3u);
  WriteSettings more;
  more.recordsShare = 10;
  copyArchive(archive, "", more, nullptr);
  const RecordsInfo ten = recordsOf(RecordsUse::Check);
  EXPECT_EQ(ten.share, 10u);
  EXPECT_FALSE(ten.damaged());
  WriteSettings none;
  none.recordsShare = 0;
  copyArchive(archive, "", none, nullptr);
  auto a = Archive::open(archive, "");
  EXPECT_FALSE(a->info().records.present);
  EXPECT_FALSE(a->info().flags & kFlagRecoveryRecords);
  EXPECT_EQ(readAll(*a).size(), 4u);
}

TEST_F(Records, AChangeOfADamagedArchiveIsMadeFromTheRepairedBytes) {
  std::vector<uint8_t> bad = good;
  flip(bad, good.size() / 3, 3000);
  writeBytes(archive, bad);
  RecordingProgress progress;
  writeFile(dir / "d.txt", "new");
  WriteSettings s;
  add(archive, {source(dir / "d.txt", "d.txt")}, s);
  auto a = Archive::open(archive, "", use(RecordsUse::Check));
  EXPECT_FALSE(a->info().records.damaged());
  auto all = readAll(*a);
  EXPECT_EQ(all["b.bin"], randomBytes(120000, 2));
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST_F(Records, TheTestBeforeCommitChecksThem) {
  WriteSettings s;
  s.testBeforeCommit = true;
  s.recordsShare = 5;
  writeFile(dir / "d.txt", "new");
  EXPECT_NO_THROW(add(archive, {source(dir / "d.txt", "d.txt")}, s));
  EXPECT_EQ(recordsOf(RecordsUse::Check).share, 5u);
}

class SignedSetRecords : public Records {
 protected:
  WriteSettings settings() override {
    WriteSettings s;
    s.recordsShare = 3;
    s.signWith = loadSigningKey(dir / "keys", "Tester");
    s.method = 1;
    s.volumes.layout = VolumeSettings::Layout::Split;
    s.volumes.size = 64 * 1024;
    return s;
  }
};

TEST_F(SignedSetRecords, ADamagedVolumeRepairsAndTheEnvelopeStillVerifies) {
  const std::string second = volumeName(archive, 1);
  const std::vector<uint8_t> volume = readBytes(second);
  std::vector<uint8_t> bad = volume;
  flip(bad, 100, 3000);
  writeBytes(second, bad);
  // Without the records the envelope is broken.
  EXPECT_EQ(codeOf([&] { Archive::open(archive, ""); }), kCrcError);
  auto a = Archive::open(archive, "", use(RecordsUse::Repair));
  EXPECT_TRUE(a->info().envelope.verified);
  EXPECT_TRUE(a->info().records.repaired);
  EXPECT_GT(a->info().volumeCount, 2u);
  EXPECT_EQ(readAll(*a), expected());
  a.reset();
  repairArchive(archive, "", true, nullptr);
  // The set is cut anew (a new set id in the footers); its bytes are the ones written first.
  const std::vector<uint8_t> repaired = readBytes(second);
  ASSERT_EQ(repaired.size(), volume.size());
  EXPECT_TRUE(std::equal(volume.begin(), volume.end() - kVolumeFooterSize, repaired.begin()));
  EXPECT_TRUE(Archive::open(archive, "")->info().envelope.verified);
}

TEST_F(SignedSetRecords, DamageInTheEnvelopeIsRepaired) {
  // The last volume holds the envelope just before the records.
  uint32_t last = 1;
  while (access(volumeName(archive, last + 1).c_str(), F_OK) == 0) ++last;
  const RecordsInfo r = recordsOf(RecordsUse::Locate);
  std::vector<uint8_t> bad = readBytes(volumeName(archive, last));
  const size_t recordsInLast = std::min<size_t>(r.recordsBytes, bad.size() - kVolumeFooterSize);
  const size_t envelopeAt = bad.size() - kVolumeFooterSize - recordsInLast - 200;
  flip(bad, envelopeAt, 100);
  writeBytes(volumeName(archive, last), bad);
  auto a = Archive::open(archive, "", use(RecordsUse::Repair));
  EXPECT_TRUE(a->info().envelope.verified);
}

TEST(RecordsLayout, EveryShareAndSizeFitsTheFieldAndCoversItsShare) {
  for (unsigned share = 1; share <= kMaxRecordsShare; ++share)
    for (uint64_t n : {uint64_t(1), uint64_t(4095), uint64_t(4097), uint64_t(100000), uint64_t(3) << 20,
                       uint64_t(200) << 20, uint64_t(1) << 40}) {
      const RecordsLayout L = RecordsLayout::plan(n, share);
      ASSERT_TRUE(L.plausible()) << share << " " << n;
      EXPECT_LE(L.dataPerStripe + L.parityPerStripe, 255u);
      // A burst as long as the share (and at least one sector) hits no stripe more than m times.
      EXPECT_GE(L.paritySectors() * kRecordsSector, std::min<uint64_t>(n * share / 100, n));
      EXPECT_GE(L.paritySectors(), 1u);
      uint8_t head[kRecordsHeadSize];
      L.encodeHead(head, true);
      RecordsLayout back;
      bool last = false;
      ASSERT_TRUE(RecordsLayout::decodeHead(head, back, last));
      EXPECT_TRUE(last);
      EXPECT_EQ(back.recordsBytes(), L.recordsBytes());
    }
}

TEST(RecordsLayout, HostileHeadsAreRefusedAndCostNothing) {
  const RecordsLayout L = RecordsLayout::plan(1 << 20, 3);
  uint8_t head[kRecordsHeadSize];
  L.encodeHead(head, true);
  auto patched = [&](size_t at, uint32_t value) {
    uint8_t h[kRecordsHeadSize];
    std::memcpy(h, head, sizeof h);
    putU32(h + at, value);
    putU32(h + 60, crc32(h, 60));
    RecordsLayout out;
    bool last;
    return RecordsLayout::decodeHead(h, out, last);
  };
  EXPECT_FALSE(patched(28, 0xFFFFFFFF));  // stripes
  EXPECT_FALSE(patched(32, 0xFFFFFFF));   // sectors per stripe
  EXPECT_FALSE(patched(24, 1 << 30));     // sector size
  EXPECT_FALSE(patched(12, 0x00FF0001u | (uint32_t(3) << 16)));  // 255 parity sectors per stripe
  EXPECT_FALSE(patched(40, 1));           // records size
  // A small file ending in a head that claims a huge archive: no records, no allocation.
  TempDir dir;
  RecordsLayout huge = RecordsLayout::plan(uint64_t(1) << 44, 50);
  ASSERT_TRUE(huge.plausible());
  std::vector<uint8_t> bytes(5000, 7);
  huge.encodeHead(head, true);
  bytes.insert(bytes.end(), head, head + sizeof head);
  writeBytes(dir / "h.j", bytes);
  File f = File::openRead(dir / "h.j");
  EXPECT_FALSE(openRecords(f, RecordsUse::Repair).present);
}

TEST(HeaderRecovery, RhRebuildsAProtectedArchiveWhoseHeaderIsDamaged) {
  TempDir dir;
  writeFile(dir / "a.txt", sampleText(40000, 5));
  WriteSettings s;
  s.password = "secret-99";
  add(dir / "p.j", {source(dir / "a.txt", "a.txt")}, s);
  std::vector<uint8_t> bad = readBytes(dir / "p.j");
  for (size_t i = 20; i < 96; ++i) bad[i] ^= 0xFF;  // everything after the signature
  writeBytes(dir / "p.j", bad);
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "p.j", "secret-99"); }), kCrcError);
  EXPECT_EQ(recoverHeader(dir / "p.j", dir / "fixed.j", "secret-99", nullptr), 1u);
  auto a = Archive::open(dir / "fixed.j", "secret-99");
  EXPECT_TRUE(a->info().flags & kFlagProtected);
  EXPECT_EQ(readAll(*a)["a.txt"], sampleText(40000, 5));
  // The wrong password is still told apart.
  EXPECT_EQ(codeOf([&] { recoverHeader(dir / "p.j", dir / "other.j", "wrong-pass", nullptr); }), kFatal);
}

}  // namespace
}  // namespace jar32::test
