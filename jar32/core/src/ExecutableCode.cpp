#include "ExecutableCode.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "Bytes.h"

namespace jar32::branches {
namespace {

constexpr uint16_t kMachine386 = 3, kMachineX86_64 = 62;
constexpr uint32_t kSectionNoBits = 8, kSectionExecutable = 4;
constexpr uint32_t kSegmentLoad = 1, kSegmentExecutable = 1;
constexpr uint16_t kPeMachine386 = 0x14C, kPeMachineAmd64 = 0x8664;
constexpr uint32_t kPeCode = 0x20, kPeExecutable = 0x20000000;

// One file (or archive member) of len bytes at base in the block; p points at its first byte.
class FileScan {
 public:
  FileScan(const uint8_t* p, uint64_t len, uint64_t base, std::vector<Range>& out)
      : p_(p), len_(len), base_(base), out_(out) {}

  // False when the headers do not say where the code is (cut off by the block's end, or none).
  bool elf() {
    if (len_ < 52) return false;
    if (p_[4] != 1 && p_[4] != 2) return false;
    wide_ = p_[4] == 2;
    if (p_[5] != 1) return true;  // big-endian: no x86 code
    const uint16_t machine = getU16(p_ + 18);
    if (machine != kMachine386 && machine != kMachineX86_64) return true;
    if (wide_ && len_ < 64) return false;
    return sections() || segments();
  }

  void archive() {
    constexpr uint64_t kMagic = 8, kHeader = 60;
    uint64_t at = kMagic;
    while (at + kHeader <= len_) {
      const uint8_t* h = p_ + at;
      uint64_t size = 0;
      const char* sizeField = reinterpret_cast<const char*>(h + 48);
      if (h[58] != '`' || h[59] != '\n' ||
          std::from_chars(sizeField, sizeField + 10, size).ec != std::errc())
        break;
      uint64_t dataAt = at + kHeader;
      // BSD names ("#1/length") lie in front of the member's data.
      if (std::memcmp(h, "#1/", 3) == 0) {
        uint64_t nameLen = 0;
        std::from_chars(reinterpret_cast<const char*>(h + 3), reinterpret_cast<const char*>(h + 16),
                        nameLen);
        nameLen = std::min(nameLen, size);
        dataAt += nameLen;
        size -= nameLen;
      }
      if (dataAt > len_ || size > len_ - dataAt) break;
      // Symbol and name tables ("/", "//", "/SYM64/", "__.SYMDEF") hold no code.
      const bool table = h[0] == '/' && (h[1] == ' ' || h[1] == '/' || h[1] == 'S');
      if (!table && std::memcmp(h, "__.SYMDEF", 9) != 0) {
        FileScan member(p_ + dataAt, size, base_ + dataAt, out_);
        if (!member.isElf() || !member.elf()) add(dataAt, size);
      }
      at = dataAt + size + ((dataAt + size) & 1);
    }
    if (at < len_) add(at, len_ - at);  // members the block cuts off, or not understood
  }

  // False when the headers do not say where the code is.
  bool pe() {
    // The DOS header points at the "PE" signature; the section table follows the COFF and
    // optional headers.
    if (len_ < 0x40) return false;
    const uint64_t at = getU32(p_ + 0x3C);
    if (at > len_ || len_ - at < 24 || std::memcmp(p_ + at, "PE\0\0", 4) != 0) return false;
    const uint16_t machine = getU16(p_ + at + 4);
    if (machine != kPeMachine386 && machine != kPeMachineAmd64) return true;
    const uint64_t count = getU16(p_ + at + 6), table = at + 24 + getU16(p_ + at + 20);
    if (count == 0 || table > len_ || count > (len_ - table) / 40) return false;
    for (uint64_t k = 0; k < count; ++k) {
      const uint8_t* s = p_ + table + 40 * k;
      if (getU32(s + 36) & (kPeCode | kPeExecutable)) add(getU32(s + 20), getU32(s + 16));
    }
    return true;
  }

  bool isElf() const { return len_ >= 4 && std::memcmp(p_, "\x7F" "ELF", 4) == 0; }
  bool isPe() const { return len_ >= 2 && p_[0] == 'M' && p_[1] == 'Z'; }
  bool isArchive() const { return len_ >= 8 && std::memcmp(p_, "!<arch>\n", 8) == 0; }
  void all() { add(0, len_); }

 private:
  uint64_t word(uint64_t at) const { return wide_ ? getU64(p_ + at) : getU32(p_ + at); }

  // Calls entry(e) for each entry of the header table whose offset, entry size and count the
  // file header holds at offsetField, sizeField and sizeField + 2; false unless the table lies
  // in the file with entries of at least `needed` bytes.
  template <class Entry>
  bool eachEntry(uint64_t offsetField, uint64_t sizeField, uint64_t needed, Entry entry) {
    const uint64_t offset = word(offsetField);
    const uint16_t entrySize = getU16(p_ + sizeField), count = getU16(p_ + sizeField + 2);
    if (count == 0 || entrySize < needed || offset > len_ || count > (len_ - offset) / entrySize)
      return false;
    for (uint64_t k = 0; k < count; ++k) entry(p_ + offset + k * entrySize);
    return true;
  }

  bool sections() {
    const auto section = [&](const uint8_t* s) {
      const uint64_t flags = wide_ ? getU64(s + 8) : getU32(s + 8);
      if (getU32(s + 4) == kSectionNoBits || !(flags & kSectionExecutable)) return;
      add(wide_ ? getU64(s + 0x18) : getU32(s + 0x10), wide_ ? getU64(s + 0x20) : getU32(s + 0x14));
    };
    return eachEntry(wide_ ? 0x28 : 0x20, wide_ ? 0x3A : 0x2E, wide_ ? 64 : 40, section);
  }

  bool segments() {
    const auto segment = [&](const uint8_t* s) {
      const uint32_t flags = getU32(s + (wide_ ? 4 : 0x18));
      if (getU32(s) != kSegmentLoad || !(flags & kSegmentExecutable)) return;
      add(wide_ ? getU64(s + 8) : getU32(s + 4), wide_ ? getU64(s + 0x20) : getU32(s + 0x10));
    };
    return eachEntry(wide_ ? 0x20 : 0x1C, wide_ ? 0x36 : 0x2A, wide_ ? 56 : 32, segment);
  }

  // Adds [at, at + size) of this file, cut to what the block holds of it.
  void add(uint64_t at, uint64_t size) {
    if (at >= len_) return;
    size = std::min(size, len_ - at);
    if (size != 0) out_.push_back({base_ + at, base_ + at + size});
  }

  const uint8_t* p_;
  uint64_t len_, base_;
  std::vector<Range>& out_;
  bool wide_ = false;
};

}  // namespace

std::vector<Range> codeRanges(const uint8_t* data, size_t n, const std::vector<uint64_t>& starts) {
  std::vector<Range> found;
  uint64_t begin = 0;
  for (size_t k = 0; k <= starts.size(); ++k) {
    const uint64_t end = k < starts.size() ? std::min<uint64_t>(starts[k], n) : n;
    if (end > begin) {
      FileScan file(data + begin, end - begin, begin, found);
      if (file.isElf()) {
        if (!file.elf()) file.all();
      } else if (file.isPe()) {
        if (!file.pe()) file.all();
      } else if (file.isArchive()) {
        file.archive();
      } else {
        file.all();
      }
    }
    begin = std::max(begin, end);
  }
  std::sort(found.begin(), found.end(), [](Range a, Range b) { return a.begin < b.begin; });
  std::vector<Range> merged;
  for (const Range& r : found) {
    if (!merged.empty() && r.begin <= merged.back().end)
      merged.back().end = std::max(merged.back().end, r.end);
    else
      merged.push_back(r);
  }
  return merged;
}

}  // namespace jar32::branches
