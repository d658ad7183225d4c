#include "mainwindow/ListOrder.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>
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

// The first eight bytes of a text as a number that orders like the bytes.
uint64_t Prefix(std::string_view text, size_t offset = 0) {
  uint64_t key = 0;
  for (size_t i = 0; i < 8; ++i) {
    key <<= 8;
    if (offset + i < text.size()) key |= static_cast<unsigned char>(text[offset + i]);
  }
  return key;
}

struct Keyed {
  uint64_t high, low;
  uint32_t row;
};

// A stable sort of keyed rows; ties on both key words go to `less`. Large inputs are sorted in two
// halves on two threads and merged (the merge keeps the first half first on ties, so the result is
// the same stable order).
template <class Less>
void StableSortKeyed(std::vector<Keyed>& keyed, Less less) {
  auto before = [&less](const Keyed& a, const Keyed& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    return less(a.row, b.row);
  };
  constexpr size_t kParallelFrom = 200'000;
  if (keyed.size() >= kParallelFrom && std::thread::hardware_concurrency() > 1) {
    const auto middle = keyed.begin() + static_cast<std::ptrdiff_t>(keyed.size() / 2);
    std::thread firstHalf([&] { std::stable_sort(keyed.begin(), middle, before); });
    std::stable_sort(middle, keyed.end(), before);
    firstHalf.join();
    std::inplace_merge(keyed.begin(), middle, keyed.end(), before);
  } else {
    std::stable_sort(keyed.begin(), keyed.end(), before);
  }
}

void Apply(std::vector<uint32_t>& order, const std::vector<Keyed>& keyed) {
  for (size_t i = 0; i < keyed.size(); ++i) order[i] = keyed[i].row;
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

void SortByText(std::vector<uint32_t>& order, const ArchiveRowStore& store, int key) {
  std::vector<std::string_view> texts(store.size());
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = SortText(store.Row(i), key);
  std::vector<Keyed> keyed(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    const std::string_view text = texts[order[i]];
    keyed[i] = {Prefix(text), Prefix(text, 8), order[i]};
  }
  StableSortKeyed(keyed, [&texts](uint32_t a, uint32_t b) { return texts[a] < texts[b]; });
  Apply(order, keyed);
}

void SortByTime(std::vector<uint32_t>& order, const ArchiveRowStore& store) {
  std::vector<Keyed> keyed(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    auto packed = PackedTime(store.Row(order[i]).modified);
    if (!packed) return SortByText(order, store, kSortModified);
    keyed[i] = {*packed, 0, order[i]};
  }
  StableSortKeyed(keyed, [](uint32_t, uint32_t) { return false; });
  Apply(order, keyed);
}

// Folder texts are shared by the rows of a folder: each distinct one is ranked once.
void SortByPath(std::vector<uint32_t>& order, const ArchiveRowStore& store) {
  std::unordered_map<const char*, uint64_t> rankOf;
  std::vector<std::string_view> distinct;
  for (size_t i = 0; i < store.size(); ++i) {
    const std::string_view path = store.Row(i).path;
    if (rankOf.emplace(path.data(), 0).second) distinct.push_back(path);
  }
  std::sort(distinct.begin(), distinct.end());
  // Equal texts at different places (never made by the store) share the rank of the first.
  for (size_t i = 0; i < distinct.size(); ++i) {
    const size_t first = i > 0 && distinct[i] == distinct[i - 1] ? rankOf[distinct[i - 1].data()] : i;
    rankOf[distinct[i].data()] = first;
  }
  std::vector<Keyed> keyed(order.size());
  for (size_t i = 0; i < order.size(); ++i) keyed[i] = {rankOf[store.Row(order[i]).path.data()], 0, order[i]};
  StableSortKeyed(keyed, [](uint32_t, uint32_t) { return false; });
  Apply(order, keyed);
}

uint64_t Biased(int64_t value) { return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63); }

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

void SortRows(std::vector<uint32_t>& order, const ArchiveRowStore& store, int key) {
  switch (key) {
    case kSortName:
    case kSortAttributes: SortByText(order, store, key); return;
    case kSortModified: SortByTime(order, store); return;
    case kSortPath: SortByPath(order, store); return;
    case kSortSize: {
      std::vector<Keyed> keyed(order.size());
      for (size_t i = 0; i < order.size(); ++i)
        keyed[i] = {Biased(SizeValue(store.Row(order[i]).size)), 0, order[i]};
      StableSortKeyed(keyed, [](uint32_t, uint32_t) { return false; });
      Apply(order, keyed);
      return;
    }
    case kSortChapters: {
      std::vector<Keyed> keyed(order.size());
      for (size_t i = 0; i < order.size(); ++i) {
        const ChapterKey c = ChapterKeyOf(store.Row(order[i]).chapters);
        keyed[i] = {uint64_t{c.rank} << 32 | (static_cast<uint32_t>(c.first) ^ 0x80000000u),
                    static_cast<uint32_t>(c.last) ^ 0x80000000u, order[i]};
      }
      StableSortKeyed(keyed, [](uint32_t, uint32_t) { return false; });
      Apply(order, keyed);
      return;
    }
    default: return;
  }
}
