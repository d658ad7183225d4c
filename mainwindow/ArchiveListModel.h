#pragma once
// The rows of the open archive for the list view. The listing fills the row store through the
// job's list sink; the model shows the store through a permutation of its rows, and makes text only
// for the cells a view asks for.

#include <QAbstractTableModel>
#include <QIcon>
#include <QItemSelection>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "driver/ArchiveRowStore.h"
#include "driver/JarSinks.h"
#include "mainwindow/ListFilter.h"

class ArchiveListModel : public QAbstractTableModel, public JarListSink {
  Q_OBJECT

 public:
  enum Column { kNameColumn, kSizeColumn, kAttrColumn, kPathColumn, kChaptersColumn, kModifiedColumn, kColumnCount };

  explicit ArchiveListModel(QObject* parent = nullptr);

  // The job's list: one model reset from the outermost BeginUpdate to its EndUpdate.
  void BeginUpdate() override;
  void EndUpdate() override;
  void Clear() override;
  void AddRow(const ArchiveEntryRow& row) override;
  // Sorting mode: while on, the rows are kept in the order of the current key and direction, so a
  // listing is sorted when the mode comes back on after it.
  bool SortingEnabled() const override { return sorting_; }
  void SetSortingEnabled(bool enabled) override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Orders the rows by a key (ListOrder.h) and direction and switches sorting mode on. A new key
  // sorts the rows as they stand, stably; the same key in the other direction reverses them.
  // Selections and the current row stay on their rows.
  void Sort(int key, bool ascending);
  int sortKey() const { return key_; }
  bool ascending() const { return ascending_; }

  // Shows only the rows the filter passes (an empty filter shows all), in the current order, without
  // listing again. Selections and the current row stay on the rows that remain.
  void SetFilter(const ListFilter& filter);
  const ListFilter& filter() const { return filter_; }
  // The rows of the archive, shown or not.
  int ArchiveRowCount() const { return static_cast<int>(order_.size()); }

  // Rows as shown (row 0 at the top).
  ArchiveEntryRow Row(int row) const { return store_.Row(Shown()[static_cast<size_t>(row)]); }
  int64_t SizeOf(int row) const;
  // The number of rows a selection covers and the sum of their sizes.
  std::pair<int64_t, uint64_t> Total(const QItemSelection& selection) const;
  // The number of rows a selection covers.
  int64_t RowsIn(const QItemSelection& selection) const;
  // The name the archiver knows a row by: its folder text followed by its name, as listed.
  std::string MemberName(int row) const;
  // The rows shown.
  int Count() const { return static_cast<int>(Shown().size()); }

  void SetIcons(const QIcon& file, const QIcon& folder);
  // Bytes held for the rows (store, order, sizes), for measurements.
  size_t MemoryBytes() const {
    return store_.MemoryBytes() + (order_.capacity() + shown_.capacity()) * sizeof(uint32_t) + sizes_.capacity() * sizeof(int64_t);
  }

 private:
  // Reorders with the persistent indexes (selection, current row) kept on their rows.
  template <class Reorder>
  void ChangeLayout(Reorder reorder);
  // Calls each(top, bottom) for the rows a selection covers, each row once, top to bottom.
  template <class Each>
  void ForEachSpan(const QItemSelection& selection, Each each) const;

  // Shown row -> store row: the order itself, or the rows of it that pass the filter.
  const std::vector<uint32_t>& Shown() const { return filter_.empty() ? order_ : shown_; }
  // shown_ made again from order_ (from the rows shown so far when only they can pass).
  void Refilter(bool fromShown = false);

  // SizeValue of every store row, made when first needed.
  const std::vector<int64_t>& Sizes() const;

  ArchiveRowStore store_;
  std::vector<uint32_t> order_;  // row in order -> store row
  std::vector<uint32_t> shown_;  // with a filter: shown row -> store row
  ListFilter filter_;
  mutable std::vector<int64_t> sizes_;
  int updateDepth_ = 0;
  bool sorting_ = false;
  int key_ = 0;
  bool ascending_ = true;
  QIcon fileIcon_, folderIcon_;
};
