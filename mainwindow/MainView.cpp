// The archive view: listing the archive into the list and the pane, the totals, sorting, and the
// selection summary in the status bar.

#include <QActionGroup>
#include <QHeaderView>
#include <QItemSelectionModel>

#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/CommentLines.h"
#include "mainwindow/CommentPane.h"
#include "mainwindow/ListOrder.h"
#include "mainwindow/Main_unit.h"
#include "mainwindow/MainStatusBar.h"

namespace {

constexpr int kSummaryPanel = 3;

}  // namespace

bool TMain::RefreshListing() {
  jar_->ResetOptions();
  archiveProtected_ = false;
  RequestPassword(false);
  jar_->archiveName = config_->currentArchive;
  try {
    jar_->Run(opList);
  } catch (const JarFailure& failure) {
    services_.prompter.plain("588");
    if (!failure.text.empty()) services_.prompter.error(failure.text);
    return false;
  }
  try {
    std::vector<std::string> lines = commentMemo_->Lines();
    AddHeaderLines(lines, jar_->hasComment, jar_->currentChapters, jar_->archiveFlags);
    commentMemo_->SetLines(std::move(lines));
    archiveProtected_ = jar_->archiveFlags.find("PROTECTED") != std::string::npos;
  } catch (...) {
    services_.prompter.plain("613");
  }
  ShowTotals(jar_->totalFiles, jar_->totalBytes, jar_->dataRatio);
  return true;
}

void TMain::ShowTotals(const std::string& files, const std::string& bytes, const std::string& ratio) {
  statusBar_->SetPanelText(0, QString::fromStdString(files));
  statusBar_->SetPanelText(1, QString::fromStdString(bytes));
  statusBar_->SetPanelText(2, QString::fromStdString(ratio));
}

bool TMain::CopyArchiveComment(std::vector<std::string>& target) const {
  return CommentOfPane(commentMemo_->Lines(), target);
}

const std::vector<std::string>& TMain::CommentLines() const { return commentMemo_->Lines(); }

int TMain::RowCount() const { return model_->Count(); }

int TMain::SelectedCount() const {
  return static_cast<int>(model_->RowsIn(listView_->selectionModel()->selection()));
}

std::vector<std::string> TMain::SelectedMemberNames() const {
  std::vector<std::pair<int, int>> spans;
  for (const QItemSelectionRange& range : listView_->selectionModel()->selection())
    spans.emplace_back(range.top(), range.bottom());
  std::sort(spans.begin(), spans.end());
  std::vector<std::string> names;
  int next = 0;
  for (auto [top, bottom] : spans) {
    for (int row = std::max(top, next); row <= bottom; ++row) names.push_back(model_->MemberName(row));
    next = std::max(next, bottom + 1);
  }
  return names;
}

void TMain::SetSortKey(int key) {
  sortAscending_ = key != sortKey_ ? true : !sortAscending_;
  sortKey_ = key;
  model_->Sort(key, sortAscending_);
  static const int kColumnOfKey[] = {-1,
                                     ArchiveListModel::kNameColumn,
                                     ArchiveListModel::kSizeColumn,
                                     ArchiveListModel::kAttrColumn,
                                     ArchiveListModel::kModifiedColumn,
                                     ArchiveListModel::kPathColumn,
                                     ArchiveListModel::kChaptersColumn};
  listView_->header()->setSortIndicatorShown(true);
  listView_->header()->setSortIndicator(kColumnOfKey[key], sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TMain::UncheckSortItems() {
  // The items form an exclusive group: one is checked again at once by the caller.
  sortGroup_->setExclusive(false);
  for (QAction* item : sortItems_) item->setChecked(false);
  sortGroup_->setExclusive(true);
}

void TMain::SortItemClick(int key, QAction* item) {
  SetSortKey(key);
  UncheckSortItems();
  item->setChecked(true);
}

void TMain::ByNameClick() { SortItemClick(kSortName, sortItems_[0]); }
void TMain::BySizeClick() { SortItemClick(kSortSize, sortItems_[1]); }
void TMain::ByAttributesClick() { SortItemClick(kSortAttributes, sortItems_[2]); }
void TMain::ByModifiedClick() { SortItemClick(kSortModified, sortItems_[3]); }
void TMain::ByPathClick() { SortItemClick(kSortPath, sortItems_[4]); }
void TMain::ByChaptersClick() { SortItemClick(kSortChapters, sortItems_[5]); }

void TMain::ListViewColumnClick(int section) {
  if (operationRunning_) return;
  const QString caption = model_->headerData(section, Qt::Horizontal).toString();
  static const std::pair<const char*, int> kKeys[] = {{"Name", kSortName},         {"Size", kSortSize},
                                                      {"Attr", kSortAttributes},   {"Modified", kSortModified},
                                                      {"Path", kSortPath},         {"Chapter(s)", kSortChapters}};
  for (const auto& [text, key] : kKeys)
    if (caption == text) return SetSortKey(key);
}

int64_t TMain::RowSize(int row) const { return model_->SizeOf(row); }

void TMain::ShowSummary() { statusBar_->SetPanelText(kSummaryPanel, QString::fromStdString(summary_.text())); }

// Every selected row counted again (the ranges of the selection, not row by row).
void TMain::Recount() {
  const auto [rows, bytes] = model_->Total(listView_->selectionModel()->selection());
  summary_.Set(rows, bytes);
}

void TMain::ListViewMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
  if (operationRunning_) {
    CancelRunningOperation();
    return;
  }
  if (model_->Count() == 0) {
    summary_.Clear();
    ShowSummary();
    return;
  }
  if (button != Qt::LeftButton) return;
  const bool atPoint = pos != QPoint(-1, -1);
  const QModelIndex hit = atPoint ? listView_->indexAt(pos) : QModelIndex();
  if (atPoint && !hit.isValid()) {
    summary_.Reset(SelectionSummary::kEmptySpace);
  } else if (modifiers & Qt::ShiftModifier) {
    Recount();
  } else if (!hit.isValid()) {
    return;
  } else if (!(modifiers & Qt::ControlModifier)) {
    summary_.One(RowSize(hit.row()));
  } else if (listView_->selectionModel()->isRowSelected(hit.row(), QModelIndex())) {
    summary_.Add(RowSize(hit.row()));
  } else {
    summary_.Remove(RowSize(hit.row()));
  }
  ShowSummary();
}

void TMain::ListViewKeyUp(int key, Qt::KeyboardModifiers modifiers) {
  if (operationRunning_) return;
  const QModelIndex focused = listView_->currentIndex();
  if (!focused.isValid()) return;
  if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) {
    Recount();
  } else if (key == Qt::Key_Space) {
    summary_.One(RowSize(focused.row()));
  } else {
    QItemSelectionModel* selection = listView_->selectionModel();
    if (model_->RowsIn(selection->selection()) != 1 || !selection->isRowSelected(focused.row(), QModelIndex()))
      return;
    summary_.One(RowSize(focused.row()));
  }
  ShowSummary();
}

void TMain::Mainmenu_SelectAllClick() {
  if (operationRunning_) return;
  listView_->setUpdatesEnabled(false);
  // One range over every row (the tree view's own Select All walks a million rows one by one).
  if (const int rows = model_->Count(); rows > 0)
    listView_->selectionModel()->select(
        QItemSelection(model_->index(0, 0), model_->index(rows - 1, ArchiveListModel::kColumnCount - 1)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ListViewMouseDown(Qt::LeftButton, Qt::ShiftModifier, QPoint(-1, -1));
  listView_->setUpdatesEnabled(true);
  listView_->setFocus();
}

void TMain::Mainmenu_DeselectAllClick() {
  if (operationRunning_) return;
  listView_->setUpdatesEnabled(false);
  listView_->clearSelection();
  listView_->setUpdatesEnabled(true);
  summary_.Reset(SelectionSummary::kNoneSelected);
  ShowSummary();
  listView_->setFocus();
}
