#include "mainwindow/ListOrder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "driver/ArchiveRowStore.h"

namespace {

// Decimal digits with an optional sign, the whole text.
template <class Int>
std::optional<Int> ReadInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  Int value{};
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

struct ChapterKey {
  uint32_t rank;  // 0 the chapter "1", 1 a text that cannot be read, 2 a range
  int32_t first, last;
};

// "<a-b>": one mark, the first chapter, "-", the last chapter, one mark.
std::optional<std::pair<int32_t, int32_t>> ReadRange(std::string_view text) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos || text.size() < 2) return std::nullopt;
  const std::string_view first = dash >= 1 ? text.substr(1, dash - 1) : std::string_view{};
  const std::string_view last =
      text.size() >= dash + 2 ? text.substr(dash + 1, text.size() - 1 - (dash + 1)) : std::string_view{};
  auto a = ReadInteger<int32_t>(first);
  auto b = ReadInteger<int32_t>(last);
  if (!a || !b) return std::nullopt;
  return std::make_pair(*a, *b);
}

ChapterKey ChapterKeyOf(std::string_view text) {
  if (text == "1") return {0, 0, 0};
  auto range = ReadRange(text);
  if (!range) return {1, 0, 0};
  return {2, range->first, range->second};
}

// Eight bytes of a text from an offset as a number that orders like the bytes (zeros past the end).
uint64_t Prefix(std::string_view text, size_t offset) {
  if (offset + 8 <= text.size()) {
    uint64_t word;
    std::memcpy(&word, text.data() + offset, 8);
    return __builtin_bswap64(word);  // the first byte the most significant
  }
  uint64_t key = 0;
  for (size_t i = 0; i < 8; ++i) {
    key <<= 8;
    if (offset + i < text.size()) key |= static_cast<unsigned char>(text[offset + i]);
  }
  return key;
}

struct Keyed {
  uint64_t key;
  uint32_t row;
};

// Keys and rows of one sort, and the room a radix pass writes into; kept between sorts so that a
// sort of a million rows does not fault in fresh memory each time.
struct Scratch {
  std::vector<Keyed> keyed, buffer;
  std::vector<std::string_view> texts;
};
Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

// A stable sort by key: least significant byte first, passing over the bytes that are the same
// in every key (the high bytes of small numbers, a first letter all names share).
void RadixSort(Keyed* data, size_t n, std::vector<Keyed>& buffer) {
  if (n < 2) return;
  std::array<std::array<uint32_t, 256>, 8> counts{};
  for (size_t i = 0; i < n; ++i)
    for (int d = 0; d < 8; ++d) ++counts[static_cast<size_t>(d)][(data[i].key >> (8 * d)) & 0xFF];
  if (buffer.size() < n) buffer.resize(n);
  Keyed* from = data;
  Keyed* to = buffer.data();
  for (int d = 0; d < 8; ++d) {
    const auto& count = counts[static_cast<size_t>(d)];
    if (std::find(count.begin(), count.end(), static_cast<uint32_t>(n)) != count.end()) continue;
    std::array<uint32_t, 256> next;
    uint32_t sum = 0;
    for (size_t b = 0; b < 256; ++b) {
      next[b] = sum;
      sum += count[b];
    }
    for (size_t i = 0; i < n; ++i) to[next[(from[i].key >> (8 * d)) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != data) std::copy(from, from + n, data);
}

// Sorts rows by a key each, stably, and writes the new order.
template <class KeyOf>
void SortByKey(std::vector<uint32_t>& order, KeyOf keyOf) {
  Scratch& scratch = TheScratch();
  scratch.keyed.resize(order.size());
  for (size_t i = 0; i < order.size(); ++i) scratch.keyed[i] = {keyOf(order[i]), order[i]};
  RadixSort(scratch.keyed.data(), scratch.keyed.size(), scratch.buffer);
  for (size_t i = 0; i < order.size(); ++i) order[i] = scratch.keyed[i].row;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD hh:mm:ss" as the number of its 14 digits, which orders like the text.
std::optional<uint64_t> PackedTime(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kShape.size()) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd') {
      if (!IsDigit(text[i])) return std::nullopt;
      value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    } else if (text[i] != kShape[i]) {
      return std::nullopt;
    }
  }
  return value;
}

// Sorts rows whose texts agree in their first `offset` bytes by the rest: by the next eight bytes,
// then each run that agrees in those too by what follows (a most-significant-first radix sort).
// Small runs are sorted by comparing the rest of the texts.
void SortTextRange(Keyed* begin, Keyed* end, const std::vector<std::string_view>& texts, size_t offset,
                   std::vector<Keyed>& buffer) {
  const size_t n = static_cast<size_t>(end - begin);
  if (n < 2) return;
  constexpr size_t kCompareBelow = 48;
  if (n < kCompareBelow) {
    std::stable_sort(begin, end, [&texts, offset](const Keyed& a, const Keyed& b) {
      const std::string_view x = texts[a.row], y = texts[b.row];
      return (offset < x.size() ? x.substr(offset) : std::string_view{}) <
             (offset < y.size() ? y.substr(offset) : std::string_view{});
    });
    return;
  }
  bool longer = false;  // some text goes on past these eight bytes
  for (Keyed* k = begin; k < end; ++k) {
    const std::string_view text = texts[k->row];
    k->key = Prefix(text, offset);
    longer = longer || text.size() > offset + 8;
  }
  RadixSort(begin, n, buffer);
  if (!longer) return;
  for (Keyed* run = begin; run < end;) {
    Keyed* stop = run + 1;
    while (stop < end && stop->key == run->key) ++stop;
    if (stop - run > 1) SortTextRange(run, stop, texts, offset + 8, buffer);
    run = stop;
  }
}

void SortByText(std::vector<uint32_t>& order, const ArchiveRowStore& store, int key) {
  Scratch& scratch = TheScratch();
  scratch.texts.resize(store.size());
  for (size_t i = 0; i < store.size(); ++i) scratch.texts[i] = SortText(store.Row(i), key);
  scratch.keyed.resize(order.size());
  for (size_t i = 0; i < order.size(); ++i) scratch.keyed[i] = {0, order[i]};
  SortTextRange(scratch.keyed.data(), scratch.keyed.data() + scratch.keyed.size(), scratch.texts, 0, scratch.buffer);
  for (size_t i = 0; i < order.size(); ++i) order[i] = scratch.keyed[i].row;
}

void SortByTime(std::vector<uint32_t>& order, const ArchiveRowStore& store) {
  for (size_t row = 0; row < store.size(); ++row)
    if (!PackedTime(store.Row(row).modified)) return SortByText(order, store, kSortModified);
  SortByKey(order, [&store](uint32_t row) { return *PackedTime(store.Row(row).modified); });
}

// Folder texts are shared by the rows of a folder: each distinct one is ranked once.
void SortByPath(std::vector<uint32_t>& order, const ArchiveRowStore& store) {
  std::unordered_map<const char*, uint64_t> rankOf;
  std::vector<std::string_view> distinct;
  for (size_t i = 0; i < store.size(); ++i) {
    const std::string_view path = store.Row(i).path;
    if (rankOf.emplace(path.data(), 0).second) distinct.push_back(path);
  }
  std::stable_sort(distinct.begin(), distinct.end());
  // Equal texts at different places (the store never makes them) share the rank of the first.
  for (size_t i = 0; i < distinct.size(); ++i)
    rankOf[distinct[i].data()] = i > 0 && distinct[i] == distinct[i - 1] ? rankOf[distinct[i - 1].data()] : i;
  SortByKey(order, [&](uint32_t row) { return rankOf[store.Row(row).path.data()]; });
}

uint64_t Biased(int64_t value) { return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63); }

// Rank (2 bits), first and last chapter (31 bits each, as far as they go) in one number.
uint64_t ChapterNumber(std::string_view text) {
  const ChapterKey c = ChapterKeyOf(text);
  auto part = [](int32_t v) { return static_cast<uint64_t>(std::clamp<int64_t>(int64_t{v} + (1 << 30), 0, (1u << 31) - 1)); };
  return uint64_t{c.rank} << 62 | part(c.first) << 31 | part(c.last);
}

}  // namespace

int64_t SizeValue(std::string_view text) {
  if (text.empty()) return 0;
  int shift = 0;
  switch (text.back()) {
    case 'K': shift = 10; break;
    case 'M': shift = 20; break;
    case 'G': shift = 30; break;
    case 'T': shift = 40; break;
    default: break;
  }
  if (shift) text.remove_suffix(1);
  auto value = ReadInteger<int64_t>(text);
  if (!value) return 0;
  if (!shift) return *value;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (*value > (kMax >> shift) || *value < -(kMax >> shift)) return *value > 0 ? kMax : -kMax;
  return *value * (int64_t{1} << shift);
}

int CompareChapterRanges(std::string_view x, std::string_view y) {
  if (x == "1" || y == "1") return x == "1" ? 1 : 0;
  auto a = ReadRange(x);
  if (!a) return 1;
  auto b = ReadRange(y);
  if (!b) return 1;
  if (a->first == b->first) return b->second >= a->second ? 1 : 0;
  return b->first >= a->first ? 1 : 0;
}

std::string_view SortText(const ArchiveEntryRow& row, int key) {
  switch (key) {
    case kSortAttributes: return row.attributes;
    case kSortModified: return row.modified;
    case kSortPath: return row.path;
    default: return row.caption;
  }
}

int ListViewCompare(const ArchiveEntryRow& a, const ArchiveEntryRow& b, int key, bool ascending) {
  int result;
  switch (key) {
    case kSortName:
    case kSortAttributes:
    case kSortModified:
    case kSortPath: result = SortText(a, key) > SortText(b, key) ? 1 : 0; break;
    case kSortSize: result = SizeValue(a.size) > SizeValue(b.size) ? 1 : 0; break;
    case kSortChapters: result = CompareChapterRanges(a.chapters, b.chapters) == 0 ? 1 : 0; break;
    default: return 0;
  }
  return ascending ? result : 1 - result;
}

void SortRows(std::vector<uint32_t>& order, const ArchiveRowStore& store, int key, const std::vector<int64_t>* sizes) {
  switch (key) {
    case kSortName:
    case kSortAttributes: return SortByText(order, store, key);
    case kSortModified: return SortByTime(order, store);
    case kSortPath: return SortByPath(order, store);
    case kSortSize:
      return SortByKey(order, [&](uint32_t row) {
        return Biased(sizes ? (*sizes)[row] : SizeValue(store.Row(row).size));
      });
    case kSortChapters:
      return SortByKey(order, [&store](uint32_t row) { return ChapterNumber(store.Row(row).chapters); });
    default: return;
  }
}
