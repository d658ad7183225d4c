// Sorting the archive list: sizes and chapter ranges read from their texts, the row comparison,
// and stable sorting of a row permutation by every key.

#include "mainwindow/ListOrder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "driver/ArchiveRowStore.h"

namespace {

ArchiveEntryRow RowOf(std::string_view caption, std::string_view size = "0", std::string_view chapters = "1",
                      std::string_view modified = "2026-01-01 00:00:00", std::string_view path = "\\",
                      std::string_view attributes = "A---") {
  ArchiveEntryRow row;
  row.caption = caption;
  row.size = size;
  row.chapters = chapters;
  row.modified = modified;
  row.path = path;
  row.attributes = attributes;
  return row;
}

// The captions of a store in the order given.
std::vector<std::string> Captions(const ArchiveRowStore& store, const std::vector<uint32_t>& order) {
  std::vector<std::string> out;
  for (uint32_t row : order) out.emplace_back(store.Row(row).caption);
  return out;
}

std::vector<uint32_t> Identity(size_t n) {
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  return order;
}

}  // namespace

TEST(SizeValue, ReadsDigitsSuffixedSizesAndCountsAnythingElseAsZero) {
  EXPECT_EQ(SizeValue("0"), 0);
  EXPECT_EQ(SizeValue("1234567"), 1234567);
  EXPECT_EQ(SizeValue("+12"), 12);
  EXPECT_EQ(SizeValue("-12"), -12);
  // Beyond 32 bits: a 3 GB member is no negative number.
  EXPECT_EQ(SizeValue("3221225472"), 3221225472);
  // jar32.exe writes sizes from 10 GB on in KiB, MiB, GiB or TiB.
  EXPECT_EQ(SizeValue("9765625K"), int64_t{9765625} * 1024);
  EXPECT_EQ(SizeValue("12M"), int64_t{12} << 20);
  EXPECT_EQ(SizeValue("3G"), int64_t{3} << 30);
  EXPECT_EQ(SizeValue("2T"), int64_t{2} << 40);
  EXPECT_EQ(SizeValue("9999999999T"), INT64_MAX);
  for (const char* text : {"", "?", "12k", "1 2", " 12", "12KB", "K", "++1", "0x10", "99999999999999999999"})
    EXPECT_EQ(SizeValue(text), 0) << text;
}

TEST(CompareChapterRanges, OrdersBySingleChapterOneThenFirstThenLast) {
  EXPECT_EQ(CompareChapterRanges("1", "<1-3>"), 1);
  EXPECT_EQ(CompareChapterRanges("<1-3>", "1"), 0);
  EXPECT_EQ(CompareChapterRanges("1", "1"), 1);
  EXPECT_EQ(CompareChapterRanges("<1-3>", "<1-5>"), 1);
  EXPECT_EQ(CompareChapterRanges("<1-5>", "<1-3>"), 0);
  EXPECT_EQ(CompareChapterRanges("<1-5>", "<2-2>"), 1);
  EXPECT_EQ(CompareChapterRanges("<2-2>", "<1-5>"), 0);
  EXPECT_EQ(CompareChapterRanges("<2-4>", "<2-4>"), 1);
  EXPECT_EQ(CompareChapterRanges("<10-12>", "<9-12>"), 0);
  // Texts that cannot be read never sort after anything (but "1" goes first).
  for (const char* bad : {"", "2", "<a-3>", "<1-x>", "<-3>", "<1->", "<1-3", "x"}) {
    EXPECT_EQ(CompareChapterRanges(bad, "<1-3>"), 1) << bad;
    EXPECT_EQ(CompareChapterRanges("<1-3>", bad), 1) << bad;
    EXPECT_EQ(CompareChapterRanges(bad, "1"), 0) << bad;
  }
}

TEST(ListViewCompare, ComparesEachKeyAsWrittenAndInvertsForDescending) {
  // Names byte-wise and case-sensitive: "B.TXT" before "a.txt".
  EXPECT_EQ(ListViewCompare(RowOf("a.txt"), RowOf("B.TXT"), kSortName, true), 1);
  EXPECT_EQ(ListViewCompare(RowOf("B.TXT"), RowOf("a.txt"), kSortName, true), 0);
  EXPECT_EQ(ListViewCompare(RowOf("\xC3\xA9"), RowOf("z"), kSortName, true), 1);  // bytes from 0x80 last
  // Sizes as numbers, Modified as text.
  EXPECT_EQ(ListViewCompare(RowOf("x", "10"), RowOf("y", "9"), kSortSize, true), 1);
  EXPECT_EQ(ListViewCompare(RowOf("x", "9"), RowOf("y", "10"), kSortSize, true), 0);
  EXPECT_EQ(ListViewCompare(RowOf("x", "?"), RowOf("y", "1"), kSortSize, true), 0);
  EXPECT_EQ(ListViewCompare(RowOf("x", "3221225472"), RowOf("y", "1024"), kSortSize, true), 1);
  EXPECT_EQ(ListViewCompare(RowOf("x", "0", "1", "9"), RowOf("y", "0", "1", "10"), kSortModified, true), 1);
  EXPECT_EQ(ListViewCompare(RowOf("x", "0", "1", "a", "docs\\"), RowOf("y", "0", "1", "a", "\\"), kSortPath, true), 1);
  EXPECT_EQ(ListViewCompare(RowOf("x", "0", "1", "a", "\\", "D---"), RowOf("y", "0", "1", "a", "\\", "A---"),
                            kSortAttributes, true),
            1);
  EXPECT_EQ(ListViewCompare(RowOf("x", "0", "<2-2>"), RowOf("y", "0", "<1-5>"), kSortChapters, true), 1);
  EXPECT_EQ(ListViewCompare(RowOf("x", "0", "<1-5>"), RowOf("y", "0", "<2-2>"), kSortChapters, true), 0);
  // Descending inverts the result, so equal rows yield 1 both ways.
  EXPECT_EQ(ListViewCompare(RowOf("a"), RowOf("b"), kSortName, false), 1);
  EXPECT_EQ(ListViewCompare(RowOf("b"), RowOf("a"), kSortName, false), 0);
  EXPECT_EQ(ListViewCompare(RowOf("a"), RowOf("a"), kSortName, false), 1);
  EXPECT_EQ(ListViewCompare(RowOf("a"), RowOf("b"), kSortNone, true), 0);
}

TEST(SortRows, SortsEveryKeyStablyAndAgreesWithTheComparison) {
  ArchiveRowStore store;
  // Captions name their place in the listing; the columns hold what each key sorts.
  store.Add(RowOf("r0", "10", "<2-2>", "2026-03-01 10:00:00", "docs\\", "A---"));
  store.Add(RowOf("r1", "9", "<1-5>", "2025-12-31 23:59:59", "\\", "AH--"));
  store.Add(RowOf("r2", "10", "1", "2026-03-01 10:00:00", "docs\\sub\\", "A---"));
  store.Add(RowOf("R3", "20K", "<1-3>", "2026-03-01 09:00:00", "\\", "D---"));
  store.Add(RowOf("r4", "x", "<1-3>", "2024-01-01 00:00:00", "docs\\", "A---"));

  auto sorted = [&](int key) {
    std::vector<uint32_t> order = Identity(store.size());
    SortRows(order, store, key);
    return Captions(store, order);
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(sorted(kSortName), (V{"R3", "r0", "r1", "r2", "r4"}));
  EXPECT_EQ(sorted(kSortSize), (V{"r4", "r1", "r0", "r2", "R3"}));
  EXPECT_EQ(sorted(kSortAttributes), (V{"r0", "r2", "r4", "r1", "R3"}));
  EXPECT_EQ(sorted(kSortModified), (V{"r4", "r1", "R3", "r0", "r2"}));
  EXPECT_EQ(sorted(kSortPath), (V{"r1", "R3", "r0", "r4", "r2"}));
  EXPECT_EQ(sorted(kSortChapters), (V{"r2", "R3", "r4", "r1", "r0"}));
  EXPECT_EQ(sorted(kSortNone), (V{"r0", "r1", "r2", "R3", "r4"}));

  // Stable from the order given: equal keys keep it, so a second sort refines the first.
  std::vector<uint32_t> order = Identity(store.size());
  SortRows(order, store, kSortName);
  std::reverse(order.begin(), order.end());
  SortRows(order, store, kSortPath);
  EXPECT_EQ(Captions(store, order), (V{"r1", "R3", "r4", "r0", "r2"}));

  // No pair of neighbours contradicts ListViewCompare.
  for (int key = kSortName; key <= kSortChapters; ++key) {
    order = Identity(store.size());
    SortRows(order, store, key);
    for (size_t i = 1; i < order.size(); ++i)
      EXPECT_EQ(ListViewCompare(store.Row(order[i - 1]), store.Row(order[i]), key, true), 0) << "key " << key;
  }
}

TEST(SortRows, ModifiedTextsOfAnotherShapeSortAsText) {
  ArchiveRowStore store;
  store.Add(RowOf("a", "0", "1", "2026-03-01 10:00:00"));
  store.Add(RowOf("b", "0", "1", "1999-1-1"));
  store.Add(RowOf("c", "0", "1", ""));
  std::vector<uint32_t> order = Identity(store.size());
  SortRows(order, store, kSortModified);
  EXPECT_EQ(Captions(store, order), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(SortRows, LongCommonPrefixesAndManyRowsSortByTheWholeName) {
  ArchiveRowStore store;
  // Enough rows for the two-thread sort, names that agree in their first 16 bytes.
  const int rows = 250'000;
  for (int i = rows - 1; i >= 0; --i) {
    const std::string name = "project report " + std::to_string(i % 1000) + "_" + std::to_string(i);
    store.Add(RowOf(name, std::to_string(i % 7)));
  }
  std::vector<uint32_t> order = Identity(store.size());
  SortRows(order, store, kSortName);
  for (size_t i = 1; i < order.size(); ++i) ASSERT_LE(store.Row(order[i - 1]).caption, store.Row(order[i]).caption);
  SortRows(order, store, kSortSize);
  for (size_t i = 1; i < order.size(); ++i) {
    const auto a = store.Row(order[i - 1]), b = store.Row(order[i]);
    ASSERT_LE(SizeValue(a.size), SizeValue(b.size));
    if (a.size == b.size) {
      ASSERT_LT(a.caption, b.caption) << "equal sizes keep the name order";
    }
  }
}
