// Recovery records at the end of an archive file: Reed-Solomon parity (ISA-L) over every byte
// before them, interleaved so that one damaged stretch as long as the parity is repaired.
#pragma once

#include <cstdint>
#include <string>

#include "FileIo.h"
#include "jar32/Records.h"

namespace jar32 {

inline constexpr uint32_t kRecordsSector = 4096;
inline constexpr size_t kRecordsHeadSize = 64;
/// CRCs per piece of the sector table; each piece (4 KiB) ends with its own CRC.
inline constexpr uint32_t kTableEntriesPerPiece = kRecordsSector / 4 - 1;
/// Parity sectors per stripe are at most this many (the erasures one stripe survives).
inline constexpr uint32_t kMaxParityPerStripe = 8;

/// Where everything lies and how the sectors are striped (see FORMAT.md).
struct RecordsLayout {
  uint64_t covered = 0;           // bytes protected (n)
  uint32_t stripes = 0;           // T: sector i belongs to stripe i mod T, as its row i / T
  uint32_t dataPerStripe = 0;     // k = ceil(data sectors / T)
  uint32_t parityPerStripe = 0;   // m
  unsigned share = 0;             // percent asked for

  uint64_t dataSectors() const { return (covered + kRecordsSector - 1) / kRecordsSector; }
  uint64_t paritySectors() const { return uint64_t(stripes) * parityPerStripe; }
  uint64_t tablePieces() const {
    return (dataSectors() + paritySectors() + kTableEntriesPerPiece - 1) / kTableEntriesPerPiece;
  }
  uint64_t tableBytes() const { return tablePieces() * kRecordsSector; }
  uint64_t tableA() const { return covered + kRecordsHeadSize; }
  uint64_t parityAt() const { return tableA() + tableBytes(); }
  uint64_t tableB() const { return parityAt() + paritySectors() * kRecordsSector; }
  uint64_t headB() const { return tableB() + tableBytes(); }
  uint64_t recordsBytes() const { return headB() + kRecordsHeadSize - covered; }
  /// The parity sector q of stripe j, counted from the start of the parity: parity rows go on
  /// where the data's stripes stopped, so a stretch across the boundary hits no stripe twice
  /// more than one of the same length elsewhere.
  uint64_t paritySlot(uint32_t stripe, uint32_t q) const {
    const uint32_t rot = uint32_t(dataSectors() % stripes);
    return uint64_t(q) * stripes + (stripe + stripes - rot) % stripes;
  }

  /// The layout for `covered` bytes with `share` percent (1..kMaxRecordsShare): parity of at
  /// least one sector and share% of the bytes.
  static RecordsLayout plan(uint64_t covered, unsigned share);
  /// The fields are in range and consistent (they may come from a hostile file).
  bool plausible() const;
  void encodeHead(uint8_t out[kRecordsHeadSize], bool last) const;
  /// False when the bytes are no intact head (last: the copy at the very end).
  static bool decodeHead(const uint8_t in[kRecordsHeadSize], RecordsLayout& out, bool& last);
};

/// Appends records made for `share` percent to the file at `path` (complete otherwise) and
/// flushes it.
void appendRecoveryRecords(const std::string& path, unsigned share);

/// The reader's first step: records at the end of `file` are found, with Check and Repair every
/// sector is checked, with Repair the damage they can repair is read repaired from then on;
/// the file shows only the bytes they cover afterwards. Never throws for damage: what was
/// found is in the result (no records: present false).
RecordsInfo openRecords(File& file, RecordsUse use);

}  // namespace jar32
