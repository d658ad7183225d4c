// The list model over the row store: what the view reads from it, its sorting with the selection
// kept on its rows, the totals of a selection, and the model's consistency with a million rows.

#include "mainwindow/ArchiveListModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <string>
#include <vector>

#include "mainwindow/ListOrder.h"

namespace {

struct Row {
  std::string caption = "", size = "", path = "", chapters = "1", modified = "2026-01-01 00:00:00";
  int image = 0;
};

void Fill(ArchiveListModel& model, const std::vector<Row>& rows) {
  model.BeginUpdate();
  model.Clear();
  for (const Row& r : rows) {
    ArchiveEntryRow row;
    row.caption = r.caption;
    row.size = r.size;
    row.attributes = "A---";
    row.path = r.path;
    row.chapters = r.chapters;
    row.modified = r.modified;
    row.imageIndex = r.image;
    model.AddRow(row);
  }
  model.EndUpdate();
}

std::vector<std::string> Shown(const ArchiveListModel& model) {
  std::vector<std::string> names;
  for (int row = 0; row < model.rowCount(); ++row)
    names.push_back(model.index(row, 0).data().toString().toStdString());
  return names;
}

using V = std::vector<std::string>;

}  // namespace

TEST(ArchiveListModel, ShowsTheColumnsOfEachRowWithTheirAlignmentAndIcon) {
  ArchiveListModel model;
  QIcon file = QIcon(QPixmap(16, 16)), folder = QIcon(QPixmap(8, 8));
  model.SetIcons(file, folder);
  Fill(model, {{"a.txt", "12", "\\", "<1-2>"}, {"sub\\", "0", "docs\\", "<2-2>", "2026-02-03 04:05:06", 1}});
  ASSERT_EQ(model.rowCount(), 2);
  ASSERT_EQ(model.columnCount(), 6);
  const QStringList captions{"Name", "Size", "Attr", "Path", "Chapter(s)", "Modified"};
  for (int column = 0; column < 6; ++column)
    EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), captions[column]);
  EXPECT_EQ(model.index(1, ArchiveListModel::kNameColumn).data().toString(), "sub\\");
  EXPECT_EQ(model.index(1, ArchiveListModel::kSizeColumn).data().toString(), "0");
  EXPECT_EQ(model.index(1, ArchiveListModel::kAttrColumn).data().toString(), "A---");
  EXPECT_EQ(model.index(1, ArchiveListModel::kPathColumn).data().toString(), "docs\\");
  EXPECT_EQ(model.index(1, ArchiveListModel::kChaptersColumn).data().toString(), "<2-2>");
  EXPECT_EQ(model.index(1, ArchiveListModel::kModifiedColumn).data().toString(), "2026-02-03 04:05:06");
  EXPECT_EQ(model.index(0, ArchiveListModel::kSizeColumn).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
  EXPECT_EQ(model.index(0, ArchiveListModel::kNameColumn).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignHorizontal_Mask,
            Qt::AlignLeft);
  EXPECT_EQ(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(), file.cacheKey());
  EXPECT_EQ(model.index(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(), folder.cacheKey());
  EXPECT_FALSE(model.index(1, 1).data(Qt::DecorationRole).isValid());
  // The member name the archiver knows: folder text + name, from the stored bytes.
  EXPECT_EQ(model.MemberName(1), "docs\\sub\\");
}

TEST(ArchiveListModel, NamesThatAreNoValidTextKeepTheirBytes) {
  ArchiveListModel model;
  Fill(model, {{"caf\xE9.txt", "1", "old\xFF\\"}});
  EXPECT_EQ(model.MemberName(0), "old\xFF\\caf\xE9.txt");
  EXPECT_FALSE(model.index(0, 0).data().toString().isEmpty());
}

TEST(ArchiveListModel, SortsReversesAndKeepsTheSelectionOnItsRows) {
  ArchiveListModel model;
  Fill(model, {{"c", "30"}, {"a", "10"}, {"d", "9"}, {"b", "10"}});
  QItemSelectionModel selection(&model);
  selection.select(QItemSelection(model.index(0, 0), model.index(0, 5)), QItemSelectionModel::Select);  // "c"
  selection.select(QItemSelection(model.index(2, 0), model.index(2, 5)), QItemSelectionModel::Select);  // "d"
  selection.setCurrentIndex(model.index(1, 0), QItemSelectionModel::NoUpdate);                          // "a"

  model.Sort(kSortName, true);
  EXPECT_EQ(Shown(model), (V{"a", "b", "c", "d"}));
  EXPECT_TRUE(selection.isRowSelected(2, {}));
  EXPECT_TRUE(selection.isRowSelected(3, {}));
  EXPECT_FALSE(selection.isRowSelected(0, {}));
  EXPECT_EQ(selection.currentIndex().row(), 0);

  model.Sort(kSortName, false);  // the same key in the other direction reverses
  EXPECT_EQ(Shown(model), (V{"d", "c", "b", "a"}));
  EXPECT_TRUE(selection.isRowSelected(0, {}));
  EXPECT_TRUE(selection.isRowSelected(1, {}));
  EXPECT_EQ(selection.currentIndex().row(), 3);

  // A new key sorts the rows as they stand: "b" and "a" (both 10) keep the reversed name order.
  model.Sort(kSortSize, true);
  EXPECT_EQ(Shown(model), (V{"d", "b", "a", "c"}));
  EXPECT_EQ(model.sortKey(), kSortSize);
  EXPECT_TRUE(model.ascending());
}

TEST(ArchiveListModel, AListingIsSortedOnceSortingComesBack) {
  ArchiveListModel model;
  EXPECT_FALSE(model.SortingEnabled()) << "unsorted until a key is chosen";
  Fill(model, {{"b", "1"}, {"a", "2"}});
  EXPECT_EQ(Shown(model), (V{"b", "a"}));
  model.Sort(kSortName, false);
  EXPECT_TRUE(model.SortingEnabled());
  // As the job fills it: sorting off, the rows, sorting back on.
  model.SetSortingEnabled(false);
  Fill(model, {{"x", "1"}, {"z", "1"}, {"y", "1"}});
  EXPECT_EQ(Shown(model), (V{"x", "z", "y"}));
  model.SetSortingEnabled(true);
  EXPECT_EQ(Shown(model), (V{"z", "y", "x"}));
  // A listing filled with sorting on is sorted when it ends.
  Fill(model, {{"m", "1"}, {"n", "1"}});
  EXPECT_EQ(Shown(model), (V{"n", "m"}));
}

TEST(ArchiveListModel, TotalsCountEachSelectedRowOnce) {
  ArchiveListModel model;
  Fill(model, {{"a", "3221225472"}, {"b", "3221225472"}, {"c", "?"}, {"d", "10240K"}});
  QItemSelection selection;
  selection.select(model.index(0, 0), model.index(1, 5));
  selection.select(model.index(1, 0), model.index(3, 0));  // overlaps the first range
  selection.select(model.index(0, 2), model.index(0, 2));
  const auto [rows, bytes] = model.Total(selection);
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(bytes, uint64_t{6442450944} + 10240 * 1024);
  EXPECT_EQ(model.RowsIn(selection), 4);
  EXPECT_EQ(model.RowsIn(QItemSelection()), 0);
}

TEST(ArchiveListModel, RowsAddedOutsideAnUpdateAreInsertedOneByOne) {
  ArchiveListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  ArchiveEntryRow row;
  row.caption = "late";
  row.size = "1";
  model.AddRow(row);
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(model.rowCount(), 1);
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
}

// The model stays consistent through a listing, sorts and a reversal of a million rows.
TEST(ArchiveListModel, AMillionRowsPassTheModelTester) {
  ArchiveListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QItemSelectionModel selection(&model);
  constexpr int kRows = 1'000'000;
  model.BeginUpdate();
  model.Clear();
  std::string caption, size;
  for (int i = 0; i < kRows; ++i) {
    caption = "file " + std::to_string((int64_t{i} * 7919) % kRows) + ".txt";
    size = std::to_string(i % 4096);
    ArchiveEntryRow row;
    row.caption = caption;
    row.size = size;
    row.path = i % 2 ? "docs\\" : "\\";
    row.chapters = "<1-2>";
    row.modified = "2026-01-01 00:00:00";
    model.AddRow(row);
  }
  model.EndUpdate();
  ASSERT_EQ(model.rowCount(), kRows);
  selection.select(QItemSelection(model.index(10, 0), model.index(20, 5)), QItemSelectionModel::Select);
  model.Sort(kSortName, true);
  model.Sort(kSortName, false);
  model.Sort(kSortSize, true);
  EXPECT_EQ(model.RowsIn(selection.selection()), 11);
  EXPECT_EQ(model.index(0, 1).data().toString(), "0");
  EXPECT_EQ(model.index(kRows - 1, 1).data().toString(), "4095");
}
