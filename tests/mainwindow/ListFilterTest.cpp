// The filter text's matching, and the list model showing only the rows it passes.

#include "mainwindow/ListFilter.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <string>
#include <vector>

#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ListOrder.h"

namespace {

using V = std::vector<std::string>;

void Fill(ArchiveListModel& model, const std::vector<std::pair<std::string, std::string>>& rows) {
  model.BeginUpdate();
  model.Clear();
  for (const auto& [path, caption] : rows) {
    ArchiveEntryRow row;
    row.caption = caption;
    row.size = std::to_string(caption.size());
    row.path = path;
    row.chapters = "1";
    model.AddRow(row);
  }
  model.EndUpdate();
}

V Names(const ArchiveListModel& model) {
  V names;
  for (int row = 0; row < model.rowCount(); ++row) names.push_back(model.MemberName(row));
  return names;
}

}  // namespace

TEST(ListFilter, TextIsFoundAnywhereInFolderAndNameIgnoringCase) {
  const ListFilter filter("Read");
  EXPECT_TRUE(filter.Matches("\\", "README.txt"));
  EXPECT_TRUE(filter.Matches("docs\\reader\\", "x.c"));
  EXPECT_FALSE(filter.Matches("docs\\", "rea.d"));
  EXPECT_TRUE(ListFilter("s\\gu").Matches("docs\\", "guide.txt"));  // across folder and name
  EXPECT_TRUE(ListFilter("").Matches("", "anything"));
  EXPECT_TRUE(ListFilter("ä").Matches("", "BÄR.txt"));  // beyond ASCII, by Unicode folding
  EXPECT_FALSE(ListFilter("ö").Matches("", "bar.txt"));
}

TEST(ListFilter, PatternsMatchTheWholeNameOrFolderAndName) {
  EXPECT_TRUE(ListFilter("*.TXT").Matches("docs\\", "guide.txt"));
  EXPECT_FALSE(ListFilter("*.txt").Matches("docs\\", "guide.txt.bak"));
  EXPECT_TRUE(ListFilter("g?ide*").Matches("docs\\", "guide.txt"));  // the name alone
  EXPECT_TRUE(ListFilter("docs\\*\\n.*").Matches("docs\\sub\\", "n.txt"));  // folder and name
  EXPECT_FALSE(ListFilter("?").Matches("docs\\", "ab"));
  EXPECT_TRUE(ListFilter("?").Matches("", "a"));
  EXPECT_TRUE(ListFilter("b?r.*").Matches("", "BÄR.txt"));  // ? is one character, not one byte
  EXPECT_TRUE(ListFilter("**a**").Matches("", "a"));
  EXPECT_TRUE(ListFilter("*").Matches("", ""));
}

TEST(ListFilter, ALongerTextNarrowsAShorterOneButPatternsNeverDo) {
  EXPECT_TRUE(ListFilter("guide").Narrows(ListFilter("uid")));
  EXPECT_TRUE(ListFilter("GUIDE").Narrows(ListFilter("gui")));
  EXPECT_TRUE(ListFilter("x").Narrows(ListFilter("")));
  EXPECT_FALSE(ListFilter("gui").Narrows(ListFilter("guide")));
  EXPECT_FALSE(ListFilter("g*e").Narrows(ListFilter("g")));
  EXPECT_FALSE(ListFilter("ab").Narrows(ListFilter("a?")));
}

TEST(ArchiveListModelFilter, ShowsPassingRowsInOrderAndKeepsSelectionOnRowsThatStay) {
  ArchiveListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  Fill(model, {{"\\", "b.txt"}, {"docs\\", "a.txt"}, {"\\", "c.dat"}, {"docs\\", "d.txt"}});
  QItemSelectionModel selection(&model);
  selection.select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  selection.select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  selection.setCurrentIndex(model.index(3, 0), QItemSelectionModel::NoUpdate);

  model.SetFilter(ListFilter("txt"));
  EXPECT_EQ(Names(model), (V{"\\b.txt", "docs\\a.txt", "docs\\d.txt"}));
  EXPECT_EQ(model.ArchiveRowCount(), 4);
  EXPECT_EQ(model.RowsIn(selection.selection()), 1);  // c.dat left the selection
  EXPECT_TRUE(selection.isRowSelected(1, {}));
  EXPECT_EQ(selection.currentIndex().row(), 2);
  EXPECT_EQ(model.Total(selection.selection()), (std::pair<int64_t, uint64_t>{1, 5}));

  model.SetFilter(ListFilter("docs"));  // narrower: only the rows shown are tested
  EXPECT_EQ(Names(model), (V{"docs\\a.txt", "docs\\d.txt"}));
  model.Sort(kSortName, false);
  EXPECT_EQ(Names(model), (V{"docs\\d.txt", "docs\\a.txt"}));
  EXPECT_TRUE(selection.isRowSelected(1, {}));

  // A new listing is filtered too; rows added outside a listing only when they pass.
  Fill(model, {{"\\", "x.txt"}, {"docs\\", "e.txt"}});
  EXPECT_EQ(Names(model), V{"docs\\e.txt"});
  ArchiveEntryRow late;
  late.caption = "late";
  late.path = "\\";
  model.AddRow(late);
  late.path = "docs\\";
  model.AddRow(late);
  EXPECT_EQ(Names(model), (V{"docs\\e.txt", "docs\\late"}));

  model.SetFilter(ListFilter());
  EXPECT_EQ(Names(model).size(), 4u);
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
}
