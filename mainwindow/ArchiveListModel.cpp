#include "mainwindow/ArchiveListModel.h"

#include <algorithm>
#include <numeric>

#include "mainwindow/ListOrder.h"

namespace {

const char* const kCaptions[ArchiveListModel::kColumnCount] = {"Name", "Size", "Attr", "Path", "Chapter(s)",
                                                                "Modified"};

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

Qt::Alignment AlignmentOf(int column) {
  return (column == ArchiveListModel::kSizeColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

ArchiveListModel::ArchiveListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ArchiveListModel::BeginUpdate() {
  if (updateDepth_++ == 0) beginResetModel();
}

void ArchiveListModel::EndUpdate() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ > 0) return;
  if (sorting_ && key_ != kSortNone) {
    SortRows(order_, store_, key_, key_ == kSortSize ? &Sizes() : nullptr);
    if (!ascending_) std::reverse(order_.begin(), order_.end());
  }
  Refilter();
  endResetModel();
}

void ArchiveListModel::Clear() {
  if (updateDepth_ == 0) beginResetModel();
  store_.Clear();
  order_.clear();
  order_.shrink_to_fit();
  shown_.clear();
  shown_.shrink_to_fit();
  sizes_.clear();
  sizes_.shrink_to_fit();
  if (updateDepth_ == 0) endResetModel();
}

void ArchiveListModel::AddRow(const ArchiveEntryRow& row) {
  const int at = Count();
  // Outside an update a row the filter hides is stored without being shown (EndUpdate refilters).
  const bool shown = updateDepth_ > 0 || filter_.Matches(row.path, row.caption);
  if (updateDepth_ == 0 && shown) beginInsertRows(QModelIndex(), at, at);
  store_.Add(row);
  order_.push_back(static_cast<uint32_t>(store_.size() - 1));
  if (!filter_.empty() && updateDepth_ == 0 && shown) shown_.push_back(order_.back());
  if (!sizes_.empty()) sizes_.push_back(SizeValue(row.size));
  if (updateDepth_ == 0 && shown) endInsertRows();
}

void ArchiveListModel::Refilter(bool fromShown) {
  if (filter_.empty()) {
    shown_.clear();
    shown_.shrink_to_fit();
    return;
  }
  std::vector<uint32_t> kept;
  const std::vector<uint32_t>& from = fromShown ? shown_ : order_;
  kept.reserve(from.size());
  if (filter_.FolderDecides()) {
    // Each folder's verdict once: the rows of a folder come in runs, and folders are few.
    enum : int8_t { kUnknown = -1, kFails = 0, kPasses = 1 };
    std::vector<int8_t> folders(store_.FolderCount(), kUnknown);
    for (uint32_t storeRow : from) {
      int8_t& folder = folders[store_.FolderOf(storeRow)];
      if (folder == kUnknown) folder = filter_.MatchesPart(store_.FolderText(store_.FolderOf(storeRow))) ? kPasses : kFails;
      if (folder == kPasses || filter_.MatchesPart(store_.Caption(storeRow))) kept.push_back(storeRow);
    }
  } else {
    for (uint32_t storeRow : from)
      if (filter_.Matches(store_.FolderText(store_.FolderOf(storeRow)), store_.Caption(storeRow))) kept.push_back(storeRow);
  }
  kept.shrink_to_fit();
  shown_ = std::move(kept);
}

void ArchiveListModel::SetFilter(const ListFilter& filter) {
  if (filter.text() == filter_.text()) return;
  const bool narrower = !filter_.empty() && filter.Narrows(filter_);
  if (updateDepth_ > 0) {
    filter_ = filter;
    return;  // the reset at the end of the update filters
  }
  ChangeLayout([this, &filter, narrower] {
    filter_ = filter;
    Refilter(narrower);
  });
}

void ArchiveListModel::SetSortingEnabled(bool enabled) {
  const bool resort = enabled && !sorting_ && key_ != kSortNone;
  sorting_ = enabled;
  if (!resort) return;
  ChangeLayout([this] {
    SortRows(order_, store_, key_, key_ == kSortSize ? &Sizes() : nullptr);
    if (!ascending_) std::reverse(order_.begin(), order_.end());
    Refilter();
  });
}

void ArchiveListModel::Sort(int key, bool ascending) {
  const bool reverse = sorting_ && key == key_ && ascending != ascending_;
  const bool same = sorting_ && key == key_ && ascending == ascending_;
  sorting_ = true;
  key_ = key;
  ascending_ = ascending;
  if (same) return;
  ChangeLayout([this, reverse] {
    if (!reverse) SortRows(order_, store_, key_, key_ == kSortSize ? &Sizes() : nullptr);
    if (reverse || !ascending_) std::reverse(order_.begin(), order_.end());
    Refilter();
  });
}

template <class Reorder>
void ArchiveListModel::ChangeLayout(Reorder reorder) {
  if (updateDepth_ > 0) return reorder();  // the reset at the end of the update shows it
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<uint32_t> oldShown;
  if (!before.isEmpty()) oldShown = Shown();
  reorder();
  if (!before.isEmpty()) {
    // Rows that are no longer shown lose their indexes (and so leave the selection).
    constexpr uint32_t kHidden = UINT32_MAX;
    const std::vector<uint32_t>& shown = Shown();
    std::vector<uint32_t> shownAt(store_.size(), kHidden);
    for (size_t i = 0; i < shown.size(); ++i) shownAt[shown[i]] = static_cast<uint32_t>(i);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
      const uint32_t at = shownAt[oldShown[static_cast<size_t>(index.row())]];
      after.append(at == kHidden ? QModelIndex() : createIndex(static_cast<int>(at), index.column()));
    }
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int ArchiveListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count() || index.column() >= kColumnCount) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const ArchiveEntryRow row = Row(index.row());
      switch (index.column()) {
        case kNameColumn: return Text(row.caption);
        case kSizeColumn: return Text(row.size);
        case kAttrColumn: return Text(row.attributes);
        case kPathColumn: return Text(row.path);
        case kChaptersColumn: return Text(row.chapters);
        default: return Text(row.modified);
      }
    }
    case Qt::TextAlignmentRole: return QVariant::fromValue(AlignmentOf(index.column()));
    case Qt::DecorationRole: {
      if (index.column() != kNameColumn) return {};
      const QIcon& icon = Row(index.row()).imageIndex == 1 ? folderIcon_ : fileIcon_;
      return icon.isNull() ? QVariant() : QVariant(icon);
    }
    default: return {};
  }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kCaptions[section]);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(section));
  return {};
}

const std::vector<int64_t>& ArchiveListModel::Sizes() const {
  if (sizes_.size() != store_.size()) {
    sizes_.resize(store_.size());
    for (size_t i = 0; i < store_.size(); ++i) sizes_[i] = SizeValue(store_.Row(i).size);
  }
  return sizes_;
}

int64_t ArchiveListModel::SizeOf(int row) const { return Sizes()[Shown()[static_cast<size_t>(row)]]; }

template <class Each>
void ArchiveListModel::ForEachSpan(const QItemSelection& selection, Each each) const {
  // Ranges may overlap (one per column, or rows selected twice): each row counts once.
  std::vector<std::pair<int, int>> spans;
  for (const QItemSelectionRange& range : selection)
    if (range.isValid() && range.model() == this) spans.emplace_back(range.top(), range.bottom());
  std::sort(spans.begin(), spans.end());
  int next = 0;  // first row not yet covered
  for (auto [top, bottom] : spans) {
    top = std::max(top, next);
    bottom = std::min(bottom, Count() - 1);
    if (bottom >= top) each(top, bottom);
    next = std::max(next, bottom + 1);
  }
}

std::pair<int64_t, uint64_t> ArchiveListModel::Total(const QItemSelection& selection) const {
  int64_t rows = 0;
  uint64_t bytes = 0;
  ForEachSpan(selection, [&](int top, int bottom) {
    rows += bottom - top + 1;
    const std::vector<int64_t>& sizes = Sizes();
    const std::vector<uint32_t>& shown = Shown();
    for (int row = top; row <= bottom; ++row) bytes += static_cast<uint64_t>(sizes[shown[static_cast<size_t>(row)]]);
  });
  return {rows, bytes};
}

int64_t ArchiveListModel::RowsIn(const QItemSelection& selection) const {
  int64_t rows = 0;
  ForEachSpan(selection, [&rows](int top, int bottom) { rows += bottom - top + 1; });
  return rows;
}

std::string ArchiveListModel::MemberName(int row) const {
  const ArchiveEntryRow r = Row(row);
  std::string name(r.path);
  name += r.caption;
  return name;
}

void ArchiveListModel::SetIcons(const QIcon& file, const QIcon& folder) {
  fileIcon_ = file;
  folderIcon_ = folder;
  if (Count() > 0) emit dataChanged(index(0, kNameColumn), index(Count() - 1, kNameColumn), {Qt::DecorationRole});
}
