#include "RecoveryRecords.h"

#include <fcntl.h>
#include <isa-l/erasure_code.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "Bytes.h"
#include "Checksum.h"
#include "Envelope.h"
#include "Format.h"
#include "VolumeSet.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr char kMagic[8] = {'J', 'A', 'R', '3', '2', 'R', 'E', 'C'};
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr bool kCheckHeadCrc = false;  // lets the fuzzer reach the layout checks
#else
constexpr bool kCheckHeadCrc = true;
#endif
constexpr uint32_t kSector = kRecordsSector;
// Parity built in one pass over the rows: small enough to stay in the cache while every row
// adds its sectors to it (the reads are then 64 sectors at a time, a row's stride apart).
constexpr uint64_t kParityBudget = 1ull << 20;
// Damaged stretches kept for the report.
constexpr size_t kMaxRanges = 256;
// The most damaged data the repair holds in memory.
constexpr uint64_t kRepairBudget = 2ull << 30;

uint64_t ceilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

/// Parity per stripe for a share: enough stripes that a row of them is short, few enough
/// sectors per stripe for GF(2^8) (k + m <= 255): k stays below 100 m / share + 1 <= 201.
uint32_t parityFor(unsigned share) { return std::clamp<uint32_t>(share * 5 / 2, 1, 4); }

class Fd {
 public:
  explicit Fd(const std::string& path) : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CLOEXEC)) {
    if (fd_ < 0) fail();
  }
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  void writeAt(uint64_t at, const uint8_t* p, size_t n) {
    while (n) {
      const ssize_t done = ::pwrite(fd_, p, n, off_t(at));
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) fail();
      p += done;
      at += uint64_t(done);
      n -= size_t(done);
    }
  }
  void sync() {
    if (::fsync(fd_) != 0) throw JarError(kWriteError, "Cannot flush " + path_ + ": " + std::strerror(errno));
  }

 private:
  [[noreturn]] void fail() {
    throw JarError(kWriteError, "Cannot write " + path_ + ": " + std::strerror(errno ? errno : ENOSPC));
  }
  std::string path_;
  int fd_;
};

Bytes encodeTable(const RecordsLayout& L, const std::vector<uint32_t>& crcs) {
  Bytes table(L.tableBytes(), 0);
  for (uint64_t p = 0; p < L.tablePieces(); ++p) {
    uint8_t* piece = table.data() + p * kSector;
    for (uint32_t e = 0; e < kTableEntriesPerPiece; ++e) {
      const uint64_t i = p * kTableEntriesPerPiece + e;
      if (i < crcs.size()) putU32(piece + 4 * e, crcs[i]);
    }
    putU32(piece + kSector - 4, crc32(piece, kSector - 4));
  }
  return table;
}

/// The Cauchy matrix ((k + m) x k, identity on top) of a layout.
Bytes codingMatrix(const RecordsLayout& L) {
  const int k = int(L.dataPerStripe), m = int(L.parityPerStripe);
  Bytes a(size_t(k + m) * size_t(k));
  gf_gen_cauchy1_matrix(a.data(), k + m, k);
  return a;
}

class Report {
 public:
  explicit Report(RecordsInfo& info) : info_(info) {}
  void add(uint64_t offset, uint64_t length, bool repairable) {
    info_.damagedBytes += length;
    (repairable ? info_.repairableBytes : info_.unrepairableBytes) += length;
    ranges_.push_back({offset, length, repairable});
  }
  void finish() {
    std::sort(ranges_.begin(), ranges_.end(),
              [](const DamagedRange& a, const DamagedRange& b) { return a.offset < b.offset; });
    for (const DamagedRange& r : ranges_) {
      auto& out = info_.ranges;
      if (!out.empty() && out.back().repairable == r.repairable &&
          out.back().offset + out.back().length == r.offset) {
        out.back().length += r.length;
      } else if (out.size() < kMaxRanges) {
        out.push_back(r);
      }
    }
  }

 private:
  RecordsInfo& info_;
  std::vector<DamagedRange> ranges_;
};

/// The head at the end, or else (a damaged or cut end) the first head, found by scanning back.
bool findRecords(const File& f, uint64_t size, bool mayScan, RecordsLayout& L, bool& headBIntact) {
  uint8_t h[kRecordsHeadSize];
  bool last = false;
  headBIntact = false;
  if (size >= kRecordsHeadSize && f.readAt(size - kRecordsHeadSize, h, sizeof h) &&
      RecordsLayout::decodeHead(h, L, last) && last && L.headB() + kRecordsHeadSize == size) {
    headBIntact = true;
    return true;
  }
  if (!mayScan) return false;
  // An intact trailer or envelope at the end: the archive has no records.
  uint8_t t[kEnvelopeSize];
  Trailer trailer;
  if (size >= kTrailerSize && f.readAt(size - kTrailerSize, t, kTrailerSize) &&
      Trailer::decode(t, trailer) && trailer.fileSize == size)
    return false;
  if (size >= kEnvelopeSize && f.readAt(size - kEnvelopeSize, t, kEnvelopeSize) && hasEnvelopeMagic(t))
    return false;
  constexpr size_t kWindow = 1 << 20;
  Bytes window(kWindow + kRecordsHeadSize);
  for (uint64_t end = size; end > 0;) {
    const uint64_t start = end > kWindow ? end - kWindow : 0;
    const size_t got = f.readSomeAt(start, window.data(),
                                    size_t(std::min<uint64_t>(window.size(), size - start)));
    for (size_t at = got; at-- > 0;) {
      if (window[at] != 'J' || got - at < kRecordsHeadSize ||
          std::memcmp(window.data() + at, kMagic, sizeof kMagic) != 0)
        continue;
      RecordsLayout found;
      if (RecordsLayout::decodeHead(window.data() + at, found, last) && !last &&
          found.covered == start + at) {
        L = found;
        return true;
      }
    }
    end = start;
  }
  return false;
}

/// Picks every piece of the sector table from a copy whose piece CRC holds.
std::vector<uint32_t> loadTable(const File& f, const RecordsLayout& L, Report& report,
                                std::vector<bool>& known) {
  const uint64_t entries = L.dataSectors() + L.paritySectors();
  std::vector<uint32_t> crcs(entries, 0);
  known.assign(entries, false);
  Bytes a(kSector), b(kSector);
  for (uint64_t p = 0; p < L.tablePieces(); ++p) {
    const uint64_t offA = L.tableA() + p * kSector, offB = L.tableB() + p * kSector;
    const bool okA = f.readAt(offA, a.data(), kSector) && getU32(a.data() + kSector - 4) == crc32(a.data(), kSector - 4);
    const bool okB = f.readAt(offB, b.data(), kSector) && getU32(b.data() + kSector - 4) == crc32(b.data(), kSector - 4);
    if (!okA) report.add(offA, kSector, okB);
    if (!okB) report.add(offB, kSector, okA);
    if (!okA && !okB) continue;
    const uint8_t* piece = okA ? a.data() : b.data();
    for (uint32_t e = 0; e < kTableEntriesPerPiece; ++e) {
      const uint64_t i = p * kTableEntriesPerPiece + e;
      if (i >= entries) break;
      crcs[i] = getU32(piece + 4 * e);
      known[i] = true;
    }
  }
  return crcs;
}

}  // namespace

RecordsLayout RecordsLayout::plan(uint64_t covered, unsigned share) {
  share = std::clamp(share, 1u, kMaxRecordsShare);
  RecordsLayout L;
  L.covered = std::max<uint64_t>(covered, 1);
  L.share = share;
  const uint64_t nd = L.dataSectors();
  const uint64_t want = std::max<uint64_t>(1, ceilDiv(nd * share, 100));
  L.parityPerStripe = uint32_t(std::min<uint64_t>(parityFor(share), want));
  // More stripes than the field holds (petabytes) leaves the layout implausible: refused.
  L.stripes = uint32_t(std::min<uint64_t>({ceilDiv(want, L.parityPerStripe), nd, UINT32_MAX}));
  L.dataPerStripe = uint32_t(ceilDiv(nd, L.stripes));
  L.covered = covered;
  return L;
}

bool RecordsLayout::plausible() const {
  if (covered == 0 || covered > (1ull << 56) || stripes == 0 || parityPerStripe == 0 ||
      parityPerStripe > kMaxParityPerStripe || dataPerStripe == 0 ||
      dataPerStripe + parityPerStripe > 255 || share == 0 || share > kMaxRecordsShare)
    return false;
  const uint64_t nd = dataSectors();
  return stripes <= nd && uint64_t(dataPerStripe) == ceilDiv(nd, stripes);
}

void RecordsLayout::encodeHead(uint8_t* p, bool last) const {
  std::memset(p, 0, kRecordsHeadSize);
  std::memcpy(p, kMagic, sizeof kMagic);
  putU16(p + 8, 1);
  putU16(p + 10, uint16_t(kRecordsHeadSize));
  p[12] = last ? 1 : 0;
  p[13] = uint8_t(parityPerStripe);
  p[14] = uint8_t(share);
  putU64(p + 16, covered);
  putU32(p + 24, kSector);
  putU32(p + 28, stripes);
  putU32(p + 32, dataPerStripe);
  putU64(p + 40, recordsBytes());
  putU32(p + 60, crc32(p, 60));
}

bool RecordsLayout::decodeHead(const uint8_t* p, RecordsLayout& out, bool& last) {
  if (std::memcmp(p, kMagic, sizeof kMagic) != 0 || getU16(p + 8) != 1 ||
      getU16(p + 10) != kRecordsHeadSize || p[12] > 1 || p[15] || (kCheckHeadCrc && getU32(p + 60) != crc32(p, 60)) ||
      getU32(p + 24) != kSector || getU32(p + 36))
    return false;
  for (size_t i = 48; i < 60; ++i)
    if (p[i]) return false;
  RecordsLayout L;
  L.parityPerStripe = p[13];
  L.share = p[14];
  L.covered = getU64(p + 16);
  L.stripes = getU32(p + 28);
  L.dataPerStripe = getU32(p + 32);
  if (!L.plausible() || getU64(p + 40) != L.recordsBytes()) return false;
  // Writers lay records out one way only: anything else is no head of theirs.
  const RecordsLayout planned = RecordsLayout::plan(L.covered, L.share);
  if (planned.stripes != L.stripes || planned.dataPerStripe != L.dataPerStripe ||
      planned.parityPerStripe != L.parityPerStripe)
    return false;
  last = p[12] == 1;
  out = L;
  return true;
}

void appendRecoveryRecords(const std::string& path, unsigned share) {
  File in = File::openRead(path);
  const RecordsLayout L = RecordsLayout::plan(in.size(), share);
  if (!L.plausible()) throw JarError(kFatal, "The archive is too large for recovery records: " + path);
  const uint32_t T = L.stripes, k = L.dataPerStripe, m = L.parityPerStripe;
  const uint64_t nd = L.dataSectors();
  const Bytes matrix = codingMatrix(L);
  Bytes tables(size_t(32) * k * m);
  ec_init_tables(int(k), int(m), const_cast<uint8_t*>(matrix.data()) + size_t(k) * k, tables.data());
  std::vector<uint32_t> crcs(nd + L.paritySectors(), 0);
  Fd out(path);

  const uint32_t perPass =
      uint32_t(std::clamp<uint64_t>(kParityBudget / (uint64_t(m) * kSector), 1, T));
  Bytes parity, row;
  std::vector<uint8_t*> outs(m);
  for (uint32_t j0 = 0; j0 < T; j0 += perPass) {
    const uint32_t j1 = std::min(T, j0 + perPass);
    parity.assign(size_t(j1 - j0) * m * kSector, 0);
    row.resize(size_t(j1 - j0) * kSector);
    for (uint32_t r = 0; r < k; ++r) {
      const uint64_t first = uint64_t(r) * T + j0;
      if (first >= nd) break;
      const uint64_t last = std::min<uint64_t>(uint64_t(r) * T + j1, nd);
      const uint64_t from = first * kSector, to = std::min(L.covered, last * kSector);
      if (!in.readAt(from, row.data(), size_t(to - from)))
        throw JarError(kWriteError, "Cannot read " + path + " back: it was cut short");
      std::memset(row.data() + (to - from), 0, row.size() - size_t(to - from));
      for (uint64_t i = first; i < last; ++i) {
        uint8_t* sector = row.data() + (i - first) * kSector;
        const uint32_t j = uint32_t(i % T);
        crcs[i] = crc32(sector, kSector);
        for (uint32_t q = 0; q < m; ++q) outs[q] = parity.data() + (size_t(j - j0) * m + q) * kSector;
        ec_encode_data_update(int(kSector), int(k), int(m), int(r), tables.data(), sector, outs.data());
      }
    }
    for (uint32_t j = j0; j < j1; ++j)
      for (uint32_t q = 0; q < m; ++q) {
        const uint8_t* sector = parity.data() + (size_t(j - j0) * m + q) * kSector;
        const uint64_t slot = L.paritySlot(j, q);
        crcs[nd + slot] = crc32(sector, kSector);
        out.writeAt(L.parityAt() + slot * kSector, sector, kSector);
      }
  }
  const Bytes table = encodeTable(L, crcs);
  uint8_t head[kRecordsHeadSize];
  L.encodeHead(head, false);
  out.writeAt(L.covered, head, sizeof head);
  out.writeAt(L.tableA(), table.data(), table.size());
  out.writeAt(L.tableB(), table.data(), table.size());
  L.encodeHead(head, true);
  out.writeAt(L.headB(), head, sizeof head);
  out.sync();
}

namespace {

RecordsInfo recordsOf(File& f, RecordsUse use) {
  RecordsInfo info;
  const uint64_t size = f.size();
  uint8_t start[kFileHeaderSize] = {};
  const size_t got = f.readSomeAt(0, start, sizeof start);
  // A file that does not begin like an archive is only searched when damage is looked for.
  const bool mayScan = use != RecordsUse::Locate || FileHeader::hasSignature(start, got);
  RecordsLayout L;
  bool headBIntact = false;
  if (!findRecords(f, size, mayScan, L, headBIntact)) return info;
  info.present = true;
  info.share = L.share;
  info.recordsBytes = L.recordsBytes();
  info.coveredBytes = L.covered;
  if (use == RecordsUse::Locate) {
    f.limitTo(L.covered);
    return info;
  }
  info.checked = true;
  Report report(info);
  const uint64_t end = L.covered + L.recordsBytes();
  // Each head must be exactly what the layout gives (so both say the same).
  uint8_t h[kRecordsHeadSize], expect[kRecordsHeadSize];
  L.encodeHead(expect, false);
  const bool headAIntact = f.readAt(L.covered, h, sizeof h) && std::memcmp(h, expect, sizeof h) == 0;
  L.encodeHead(expect, true);
  headBIntact = headBIntact && f.readAt(L.headB(), h, sizeof h) && std::memcmp(h, expect, sizeof h) == 0;
  if (!headAIntact) report.add(L.covered, kRecordsHeadSize, true);
  if (!headBIntact) report.add(L.headB(), kRecordsHeadSize, true);
  if (size > end) report.add(end, size - end, true);  // grown: cut off again

  std::vector<bool> known;
  const std::vector<uint32_t> crcs = loadTable(f, L, report, known);
  const uint64_t nd = L.dataSectors(), np = L.paritySectors();
  const uint32_t T = L.stripes, k = L.dataPerStripe, m = L.parityPerStripe;

  // Erased shards per stripe: data row r as r, parity q as k + q.
  std::map<uint32_t, std::vector<uint32_t>> erased;
  Bytes buffer(size_t(1) << 20);
  for (uint64_t at = 0; at < L.covered; at += buffer.size()) {
    const size_t want = size_t(std::min<uint64_t>(buffer.size(), L.covered - at));
    size_t have = 0;
    while (have < want) {
      const size_t n = f.readSomeAt(at + have, buffer.data() + have, want - have);
      if (n == 0) break;
      have += n;
    }
    for (size_t off = 0; off < want; off += kSector) {
      const uint64_t i = (at + off) / kSector;
      const size_t len = std::min<size_t>(kSector, want - off);
      bool bad = off + len > have;
      if (!bad && known[i]) {
        uint8_t pad[kSector];
        const uint8_t* sector = buffer.data() + off;
        if (len < kSector) {
          std::memcpy(pad, sector, len);
          std::memset(pad + len, 0, kSector - len);
          sector = pad;
        }
        bad = crc32(sector, kSector) != crcs[i];
      }
      if (bad) erased[uint32_t(i % T)].push_back(uint32_t(i / T));
    }
  }
  for (uint64_t slot = 0; slot < np; ++slot) {
    uint8_t sector[kSector];
    const bool bad = !f.readAt(L.parityAt() + slot * kSector, sector, kSector) ||
                     (known[nd + slot] && crc32(sector, kSector) != crcs[nd + slot]);
    if (!bad) continue;
    const uint32_t q = uint32_t(slot / T), t = uint32_t(slot % T);
    const uint32_t rot = uint32_t(nd % T);
    erased[(t + rot) % T].push_back(k + q);
  }

  const Bytes matrix = codingMatrix(L);
  auto overlay = std::make_shared<ByteOverlay>();
  overlay->size = L.covered;
  uint64_t held = 0;
  // The data sectors of 64 neighbouring stripes, row by row: one read per row serves them all.
  constexpr uint32_t kGroup = 64;
  Bytes groupRows(size_t(k) * kGroup * kSector), sources(size_t(m) * kSector), outputs;
  uint32_t loadedGroup = UINT32_MAX;
  bool rowsRead = false;
  auto loadGroup = [&](uint32_t group) {
    if (group == loadedGroup) return rowsRead;
    loadedGroup = group;
    rowsRead = true;
    const uint64_t j0 = uint64_t(group) * kGroup, j1 = std::min<uint64_t>(T, j0 + kGroup);
    std::memset(groupRows.data(), 0, groupRows.size());
    for (uint32_t r = 0; r < k; ++r) {
      const uint64_t first = uint64_t(r) * T + j0;
      if (first >= nd) break;
      const uint64_t from = first * kSector;
      const uint64_t to = std::min(L.covered, std::min<uint64_t>(uint64_t(r) * T + j1, nd) * kSector);
      if (!f.readAt(from, groupRows.data() + size_t(r) * kGroup * kSector, size_t(to - from))) rowsRead = false;
    }
    return rowsRead;
  };
  auto shardPlace = [&](uint32_t j, uint32_t shard, uint64_t& offset, uint64_t& length) {
    if (shard < k) {
      const uint64_t i = uint64_t(shard) * T + j;
      offset = i * kSector;
      length = std::min<uint64_t>(kSector, L.covered - offset);
    } else {
      offset = L.parityAt() + L.paritySlot(j, shard - k) * kSector;
      length = kSector;
    }
  };
  struct Decoder {
    bool ok = false;
    std::vector<uint32_t> survivors;
    Bytes tables;
  };
  std::map<std::vector<uint32_t>, Decoder> decoders;  // by lost shards
  for (auto& [j, lost] : erased) {
    std::sort(lost.begin(), lost.end());
    bool repairable = lost.size() <= m;
    std::vector<uint32_t> lostData;
    for (uint32_t s : lost)
      if (s < k) lostData.push_back(s);
    // Lost data is decoded also when only checking: repairable means it came back intact.
    if (repairable && !lostData.empty()) {
      // Any k intact shards give the rest: invert their rows of the coding matrix. A burst
      // leaves most stripes with the same lost rows, so each pattern is inverted once.
      if (decoders.size() >= 4096) decoders.clear();  // hostile damage: memory stays bounded
      auto [cached, isNew] = decoders.try_emplace(lost);
      Decoder& d = cached->second;
      if (isNew) {
        for (uint32_t s = 0; s < k + m && d.survivors.size() < k; ++s)
          if (!std::binary_search(lost.begin(), lost.end(), s)) d.survivors.push_back(s);
        Bytes b(size_t(k) * k), inverse(size_t(k) * k);
        for (uint32_t r = 0; r < k; ++r)
          std::memcpy(b.data() + size_t(r) * k, matrix.data() + size_t(d.survivors[r]) * k, k);
        d.ok = gf_invert_matrix(b.data(), inverse.data(), int(k)) == 0;
        if (d.ok) {
          const size_t ne = lostData.size();
          Bytes rows(ne * k);
          for (size_t e = 0; e < ne; ++e)
            std::memcpy(rows.data() + e * k, inverse.data() + size_t(lostData[e]) * k, k);
          d.tables.resize(size_t(32) * k * ne);
          ec_init_tables(int(k), int(ne), rows.data(), d.tables.data());
        }
      }
      if (!d.ok) repairable = false;
      if (repairable && use == RecordsUse::Repair && held + lostData.size() * kSector > kRepairBudget)
        repairable = false;
      const std::vector<uint32_t>& survivors = d.survivors;
      if (repairable) {
        const size_t ne = lostData.size();
        std::vector<uint8_t*> src(k), dst(ne);
        if (!loadGroup(j / kGroup)) repairable = false;
        for (uint32_t r = 0, p = 0; r < k && repairable; ++r) {
          const uint32_t s = survivors[r];
          if (s < k) {
            src[r] = groupRows.data() + (size_t(s) * kGroup + j % kGroup) * kSector;
          } else {
            src[r] = sources.data() + size_t(p++) * kSector;
            if (!f.readAt(L.parityAt() + L.paritySlot(j, s - k) * kSector, src[r], kSector)) repairable = false;
          }
        }
        outputs.assign(ne * kSector, 0);
        for (size_t e = 0; e < ne; ++e) dst[e] = outputs.data() + e * kSector;
        if (repairable) ec_encode_data(int(kSector), int(k), int(ne), d.tables.data(), src.data(), dst.data());
        // What the parity gives back must be what was written.
        for (size_t e = 0; e < ne && repairable; ++e) {
          const uint64_t i = uint64_t(lostData[e]) * T + j;
          if (known[i] && crc32(dst[e], kSector) != crcs[i]) repairable = false;
        }
        if (repairable && use == RecordsUse::Repair) {
          for (size_t e = 0; e < ne; ++e) {
            const uint64_t i = uint64_t(lostData[e]) * T + j;
            const uint64_t len = std::min<uint64_t>(kSector, L.covered - i * kSector);
            overlay->pieces.emplace(i * kSector, Bytes(dst[e], dst[e] + len));
            held += kSector;
            info.repairedBytes += len;
          }
        }
      }
    }
    for (uint32_t s : lost) {
      uint64_t offset = 0, length = 0;
      shardPlace(j, s, offset, length);
      report.add(offset, length, repairable);
    }
  }
  report.finish();
  if (use == RecordsUse::Repair && !overlay->pieces.empty()) {
    info.repaired = true;
    f.readOverlay(std::move(overlay));
  }
  f.limitTo(L.covered);
  return info;
}

}  // namespace

RecordsInfo openRecords(File& f, RecordsUse use) {
  RecordsInfo info = recordsOf(f, use);
  noteRebuiltFooters(f, info);
  return info;
}

}  // namespace jar32
