// Where a block's machine code lies: the executable sections of ELF files (32- and 64-bit,
// on their own or in `ar` archives), their executable segments when the section headers are
// cut off, the code sections of Windows executables, no code in other machines' files, and
// the whole of every other file. Headers that
// lie never lead outside the block.
#include <gtest/gtest.h>

#include <random>

#include "BranchSplit.h"
#include "Bytes.h"
#include "ExecutableCode.h"

using namespace jar32;
using branches::codeRanges;
using branches::Range;
using Ranges = std::vector<Range>;

namespace {

struct Section {
  uint32_t type;
  uint64_t flags;
  Bytes bytes;
  uint64_t at = 0;  // where it lands in the file
};

constexpr uint32_t kProgBits = 1, kNoBits = 8;
constexpr uint64_t kAlloc = 2, kExec = 4;

void put(Bytes& b, size_t at, uint64_t v, int size) {
  for (int i = 0; i < size; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// An ELF file: its header, the sections' bytes, then the section header table (after a null
// entry). With `segments`, a program header table follows the header instead: one read-only
// and one executable loadable segment over the sections of those kinds.
Bytes elf(bool wide, uint16_t machine, std::vector<Section>& sections, bool segments = false) {
  const size_t header = wide ? 64 : 52, phEntry = wide ? 56 : 32, shEntry = wide ? 64 : 40;
  Bytes b(header + (segments ? 2 * phEntry : 0), 0);
  std::memcpy(b.data(), "\x7F" "ELF", 4);
  b[4] = wide ? 2 : 1;
  b[5] = 1;
  put(b, 16, 1, 2);  // relocatable
  put(b, 18, machine, 2);
  for (Section& s : sections) {
    s.at = b.size();
    if (s.type != kNoBits) b.insert(b.end(), s.bytes.begin(), s.bytes.end());
  }
  const size_t shoff = b.size();
  b.resize(shoff + shEntry * (sections.size() + 1), 0);
  for (size_t k = 0; k < sections.size(); ++k) {
    const size_t e = shoff + shEntry * (k + 1);
    put(b, e + 4, sections[k].type, 4);
    put(b, e + 8, sections[k].flags, wide ? 8 : 4);
    put(b, e + (wide ? 0x18 : 0x10), sections[k].at, wide ? 8 : 4);
    put(b, e + (wide ? 0x20 : 0x14), sections[k].bytes.size(), wide ? 8 : 4);
  }
  put(b, wide ? 0x28 : 0x20, shoff, wide ? 8 : 4);
  put(b, wide ? 0x3A : 0x2E, shEntry, 2);
  put(b, wide ? 0x3C : 0x30, sections.size() + 1, 2);
  if (segments) {
    put(b, wide ? 0x20 : 0x1C, header, wide ? 8 : 4);
    put(b, wide ? 0x36 : 0x2A, phEntry, 2);
    put(b, wide ? 0x38 : 0x2C, 2, 2);
    for (int k = 0; k < 2; ++k) {
      const size_t e = header + phEntry * size_t(k);
      // Segment k covers the sections whose executable flag is k.
      uint64_t from = 0, to = 0;
      for (const Section& s : sections)
        if (bool(s.flags & kExec) == bool(k) && s.type != kNoBits) {
          if (!to) from = s.at;
          to = s.at + s.bytes.size();
        }
      put(b, e, 1, 4);
      put(b, e + (wide ? 4 : 0x18), k ? 5 : 4, 4);
      put(b, e + (wide ? 8 : 4), from, wide ? 8 : 4);
      put(b, e + (wide ? 0x20 : 0x10), to - from, wide ? 8 : 4);
    }
  }
  return b;
}

// A typical object file: code, data, debug info and a .bss, each 100 bytes or so.
std::vector<Section> objectSections() {
  return {{kProgBits, kAlloc | kExec, Bytes(120, 0xE8)},
          {kProgBits, kAlloc, Bytes(80, 0xE8)},
          {kProgBits, 0, Bytes(150, 0xE8)},
          {kNoBits, kAlloc | kExec, Bytes(64, 0)}};
}

// A Windows executable: DOS header, "PE" signature, COFF header, a short optional header, the
// section table, then the sections: code (.text) and read-only data (.rdata), 100 bytes each.
Bytes pe(uint16_t machine, uint64_t& textAt) {
  const size_t peAt = 64, optional = 112, table = peAt + 24 + optional;
  Bytes b(table + 2 * 40, 0);
  b[0] = 'M';
  b[1] = 'Z';
  put(b, 0x3C, peAt, 4);
  std::memcpy(b.data() + peAt, "PE\0\0", 4);
  put(b, peAt + 4, machine, 2);
  put(b, peAt + 6, 2, 2);
  put(b, peAt + 20, optional, 2);
  const uint32_t characteristics[2] = {0x60000020u, 0x40000040u};  // code; initialised data
  for (size_t k = 0; k < 2; ++k) {
    const size_t e = table + 40 * k;
    put(b, e + 16, 100, 4);
    put(b, e + 20, b.size() + 100 * k, 4);
    put(b, e + 36, characteristics[k], 4);
  }
  textAt = b.size();
  b.resize(b.size() + 200, 0xE8);
  return b;
}

Bytes arMember(const std::string& name, const Bytes& data) {
  char h[61];
  std::snprintf(h, sizeof h, "%-16s%-12s%-6s%-6s%-8s%-10zu`\n", name.c_str(), "0", "0", "0", "644",
                data.size());
  Bytes m(h, h + 60);
  m.insert(m.end(), data.begin(), data.end());
  if (m.size() & 1) m.push_back('\n');
  return m;
}

}  // namespace

TEST(ExecutableCode, OnlyTheExecutableSectionsOfAnElfFileAreCode) {
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "64-bit" : "32-bit");
    std::vector<Section> s = objectSections();
    const Bytes file = elf(wide, wide ? 62 : 3, s);
    EXPECT_EQ(codeRanges(file.data(), file.size(), {}), (Ranges{{s[0].at, s[0].at + 120}}));

    // Between two other files, which are code throughout; offsets are the block's.
    Bytes block(50, 0x90);
    block.insert(block.end(), file.begin(), file.end());
    block.insert(block.end(), 30, 0x90);
    const uint64_t end = block.size();
    EXPECT_EQ(codeRanges(block.data(), block.size(), {0, 50, end - 30}),
              (Ranges{{0, 50}, {50 + s[0].at, 50 + s[0].at + 120}, {end - 30, end}}));

    // Another machine's code, or a big-endian file, holds no x86 code at all.
    std::vector<Section> t = objectSections();
    const Bytes arm = elf(wide, 183, t);
    EXPECT_TRUE(codeRanges(arm.data(), arm.size(), {}).empty());
    Bytes big(file);
    big[5] = 2;
    EXPECT_TRUE(codeRanges(big.data(), big.size(), {}).empty());
  }
}

TEST(ExecutableCode, CutOffSectionHeadersLeaveTheSegmentsOrElseTheWholeFile) {
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "64-bit" : "32-bit");
    std::vector<Section> s = objectSections();
    const Bytes file = elf(wide, wide ? 62 : 3, s, true);
    // Whole, the sections say it; the block's end before the section table leaves the
    // executable segment, cut to what the block holds.
    EXPECT_EQ(codeRanges(file.data(), file.size(), {}), (Ranges{{s[0].at, s[0].at + 120}}));
    const size_t cut = s[0].at + 50;
    EXPECT_EQ(codeRanges(file.data(), cut, {}), (Ranges{{s[0].at, cut}}));
    // Without program headers either, nothing is known: all of it may be code.
    std::vector<Section> t = objectSections();
    const Bytes plain = elf(wide, wide ? 62 : 3, t);
    EXPECT_EQ(codeRanges(plain.data(), cut, {}), (Ranges{{0, cut}}));
    EXPECT_EQ(codeRanges(plain.data(), 20, {}), (Ranges{{0, 20}}));
  }
}

TEST(ExecutableCode, OnlyTheCodeSectionsOfAWindowsExecutableAreCode) {
  uint64_t text = 0;
  const Bytes amd64 = pe(0x8664, text);
  EXPECT_EQ(codeRanges(amd64.data(), amd64.size(), {}), (Ranges{{text, text + 100}}));
  const Bytes i386 = pe(0x14C, text);
  EXPECT_EQ(codeRanges(i386.data(), i386.size(), {}), (Ranges{{text, text + 100}}));
  const Bytes arm64 = pe(0xAA64, text);
  EXPECT_TRUE(codeRanges(arm64.data(), arm64.size(), {}).empty());
  // A DOS program (no "PE" where the header points), or one cut before its section table.
  Bytes dos(amd64);
  dos[64] = 'X';
  EXPECT_EQ(codeRanges(dos.data(), dos.size(), {}), (Ranges{{0, dos.size()}}));
  EXPECT_EQ(codeRanges(amd64.data(), 250, {}), (Ranges{{0, 250}}));
}

TEST(ExecutableCode, AnArchiveShowsTheCodeOfItsElfMembers) {
  std::vector<Section> one = objectSections(), two = objectSections();
  two[0].bytes.resize(33);  // an odd size: the member after b.o is padded
  const Bytes a = elf(true, 62, one), b = elf(true, 62, two);
  const Bytes symbols(40, 0xE8), notes{'n', 'o', 't', 'e', 's'};
  Bytes ar{'!', '<', 'a', 'r', 'c', 'h', '>', '\n'};
  std::vector<uint64_t> at;  // where each member's data begins
  for (auto [name, data] : {std::pair{"/", &symbols}, {"//", &symbols}, {"a.o/", &a},
                            {"#1/8", nullptr}, {"notes/", &notes}}) {
    Bytes d = data ? *data : Bytes{'b', 's', 'd', '-', 'n', 'a', 'm', 'e'};
    if (!data) d.insert(d.end(), b.begin(), b.end());  // a BSD name in front of b.o
    at.push_back(ar.size() + 60 + (data ? 0 : 8));
    const Bytes m = arMember(name, d);
    ar.insert(ar.end(), m.begin(), m.end());
  }
  // The tables hold no code; the text member counts as code, as any file of no known kind.
  const Ranges want{{at[2] + one[0].at, at[2] + one[0].at + 120},
                    {at[3] + two[0].at, at[3] + two[0].at + 33},
                    {at[4], at[4] + 5}};
  EXPECT_EQ(codeRanges(ar.data(), ar.size(), {}), want);
  // Cut inside b.o: what follows the last whole member may be code.
  const size_t cut = at[3] + 40;
  EXPECT_EQ(codeRanges(ar.data(), cut, {}), (Ranges{want[0], {at[3] - 60 - 8, cut}}));
}

TEST(ExecutableCode, LyingHeadersNeverReachOutsideTheBlock) {
  std::vector<Section> s = objectSections();
  const Bytes file = elf(true, 62, s, true);
  Bytes ar{'!', '<', 'a', 'r', 'c', 'h', '>', '\n'};
  const Bytes m = arMember("x.o/", file);
  ar.insert(ar.end(), m.begin(), m.end());
  uint64_t text = 0;
  const Bytes windows = pe(0x8664, text);
  std::mt19937 r(7);
  for (const Bytes* original : {&file, const_cast<const Bytes*>(&ar), &windows}) {
    for (int round = 0; round < 3000; ++round) {
      Bytes d(*original);
      // Overwrite a few bytes of the headers with extremes or noise.
      for (int k = 0; k < 4; ++k) {
        const size_t at = r() % 2 ? r() % std::min<size_t>(d.size(), 200) : r() % d.size();
        d[at] = r() % 3 == 0 ? 0xFF : r() % 3 == 1 ? 0 : uint8_t(r());
      }
      const size_t n = r() % 4 ? d.size() : r() % d.size();
      std::vector<uint64_t> starts;
      if (r() % 2) starts = {0, n / 3};
      const Ranges got = codeRanges(d.data(), n, starts);
      for (size_t k = 0; k < got.size(); ++k) {
        ASSERT_LT(got[k].begin, got[k].end);
        ASSERT_LE(got[k].end, n);
        if (k) {
          ASSERT_LT(got[k - 1].end, got[k].begin);
        }
      }
    }
  }
}

TEST(ExecutableCode, BranchesMoveOnlyInsideTheCode) {
  // The same call into .text lies in .text and in the debug info; only the first moves.
  std::vector<Section> s = objectSections();
  for (Section& x : s) std::fill(x.bytes.begin(), x.bytes.end(), 0x90);
  Bytes file = elf(true, 62, s);
  const uint64_t text = s[0].at, debug = s[2].at;
  auto callTo = [](Bytes& b, uint64_t at, uint64_t target) {
    b[at] = 0xE8;
    put(b, at + 1, target - (at + 5), 4);
  };
  callTo(file, text + 10, text + 100);
  callTo(file, debug + 10, text + 100);
  const branches::Split split = branches::split(file.data(), file.size(), {});
  EXPECT_EQ(split.calls, (Bytes{0, 0, 0, uint8_t(text + 100)}));
  EXPECT_EQ(split.main.size(), file.size() - 4);
}
