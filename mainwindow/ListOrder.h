#pragma once
// How the archive list is ordered: the sort keys of the Sort menu, the row comparison, chapter
// ranges and sizes read from their column texts, and the sorting of a row permutation.

#include <cstdint>
#include <string_view>
#include <vector>

#include "driver/JarSinks.h"

class ArchiveRowStore;

enum ListSortKey : int {
  kSortNone = 0,
  kSortName = 1,
  kSortSize = 2,
  kSortAttributes = 3,
  kSortModified = 4,
  kSortPath = 5,
  kSortChapters = 6,
};

// The Size column as bytes: decimal digits with an optional sign, or digits followed by K, M, G or
// T (that many KiB, MiB, GiB, TiB: jar32.exe writes sizes from 10 GB on that way). Anything else,
// and a number beyond 64 bits, counts as 0.
int64_t SizeValue(std::string_view text);

// 1 when chapter text x sorts before or together with y: "1" first, then ranges "<a-b>" by first
// and last chapter. A text that cannot be read sorts together with everything but "1".
int CompareChapterRanges(std::string_view x, std::string_view y);

// 1 when row a goes after row b for the sort key; inverted when not ascending. Rows that give 0
// both ways keep their order.
int ListViewCompare(const ArchiveEntryRow& a, const ArchiveEntryRow& b, int key, bool ascending);

// The column text of a row that a key sorts by (Name, Attr, Modified or Path).
std::string_view SortText(const ArchiveEntryRow& row, int key);

// Sorts a permutation of the store's rows ascending by key, stably: rows with equal keys keep the
// order they have in `order`. The order for a descending sort is this one reversed. `sizes`, when
// given, holds SizeValue of every store row.
void SortRows(std::vector<uint32_t>& order, const ArchiveRowStore& store, int key,
              const std::vector<int64_t>* sizes = nullptr);
