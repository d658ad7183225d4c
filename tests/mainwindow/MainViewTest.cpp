// The archive view of a real listing: sorting from the menu and the header, and the selection
// summary after clicks, keys and the selection commands.

#include <QAccessible>
#include <QHeaderView>
#include <QLabel>

#include "mainwindow/ListOrder.h"
#include "tests/mainwindow/MainWindowFixture.h"

using V = std::vector<std::string>;

namespace {

class ViewTest : public MainWindowTest {
 protected:
  void SetUp() override {
    NotTheFirstRun();
    archive = MakeDemoArchive();
    Start();
    ASSERT_TRUE(window->OpenArchive(archive, true));
  }
  std::vector<std::string> Sizes() const {
    std::vector<std::string> sizes;
    for (int row = 0; row < Model()->rowCount(); ++row) sizes.emplace_back(Model()->Row(row).size);
    return sizes;
  }
  int RowOf(const std::string& name) const {
    for (int row = 0; row < Model()->rowCount(); ++row)
      if (Model()->MemberName(row) == name) return row;
    ADD_FAILURE() << "no row " << name;
    return 0;
  }
  std::string archive;
};

}  // namespace

TEST_F(ViewTest, TheSortMenuSortsAndTogglesTheDirectionOfTheSameKey) {
  TMain& main = *window;
  EXPECT_EQ(main.sortKey(), 0) << "unsorted until a key is chosen";
  Action("BySize")->trigger();
  EXPECT_EQ(Sizes(), (V{"0", "0", "2", "5", "6", "5000"}));
  EXPECT_TRUE(Action("BySize")->isChecked());
  EXPECT_FALSE(Action("ByName")->isChecked());
  Action("BySize")->trigger();
  EXPECT_EQ(Sizes(), (V{"5000", "6", "5", "2", "0", "0"}));
  EXPECT_FALSE(main.sortAscending());
  Action("ByName")->trigger();
  EXPECT_TRUE(main.sortAscending());
  EXPECT_EQ(Model()->Row(0).caption, "docs\\");
  EXPECT_EQ(Model()->Row(5).caption, "sub\\");
  // Reopening sorts the new listing the same way.
  Action("Mainmenu_ReopenArchive")->trigger();
  EXPECT_EQ(Model()->Row(0).caption, "docs\\");
  Action("ByChapters")->trigger();
  EXPECT_EQ(Model()->Row(5).caption, "more.txt") << "<2-2> after every <1-2>";
}

TEST_F(ViewTest, HeaderClicksSortWithoutTouchingTheMenuMarks) {
  TMain& main = *window;
  QHeaderView* header = List()->header();
  const int sizeSection = ArchiveListModel::kSizeColumn;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(header->sectionViewportPosition(sizeSection) + 5, header->height() / 2));
  EXPECT_EQ(main.sortKey(), kSortSize);
  EXPECT_EQ(Sizes().back(), "5000");
  EXPECT_TRUE(Action("ByName")->isChecked()) << "the menu keeps its mark";
  main.ListViewColumnClick(sizeSection);
  EXPECT_EQ(Sizes().front(), "5000");
  main.ListViewColumnClick(ArchiveListModel::kPathColumn);
  EXPECT_EQ(main.sortKey(), kSortPath);
  EXPECT_EQ(Model()->Row(5).path, "docs\\sub\\");
}

TEST_F(ViewTest, TheSummaryFollowsClicksWithControlAndShift) {
  const int guide = RowOf("docs\\guide.txt"), readme = RowOf("\\readme.txt"), more = RowOf("\\more.txt");
  ClickRow(guide);
  EXPECT_EQ(Panel(3), "Selected 1 file(s); 5,000 bytes");
  ClickRow(readme, Qt::ControlModifier);
  EXPECT_EQ(Panel(3), "Selected 2 file(s); 5,006 bytes");
  ClickRow(more, Qt::ControlModifier);
  EXPECT_EQ(Panel(3), "Selected 3 file(s); 5,011 bytes");
  ClickRow(readme, Qt::ControlModifier);  // deselects it
  EXPECT_EQ(Panel(3), "Selected 2 file(s); 5,005 bytes");
  EXPECT_EQ(window->SelectedCount(), 2);
  // Shift recounts every selected row.
  ClickRow(0);
  ClickRow(2, Qt::ShiftModifier);
  EXPECT_EQ(window->SelectedCount(), 3);
  EXPECT_EQ(Panel(3), "Selected 3 file(s); 11 bytes");
  EXPECT_EQ(window->SelectedMemberNames(), (V{"\\more.txt", "\\readme.txt", "\\docs\\"}));
  // A click below the last row, rows still selected.
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(5, List()->viewport()->height() - 3));
  EXPECT_EQ(Panel(3), "Selected 0 file(s); 0 bytes");
  // The right button leaves the panel alone.
  ClickRow(guide);
  QTest::mouseClick(List()->viewport(), Qt::RightButton, Qt::NoModifier,
                    List()->visualRect(Model()->index(readme, 0)).center());
  EXPECT_EQ(Panel(3), "Selected 1 file(s); 5,000 bytes");
}

TEST_F(ViewTest, SelectAllAndDeselectAllSummariseEveryRow) {
  Action("Mainmenu_SelectAll")->trigger();
  EXPECT_EQ(Panel(3), "Selected 6 file(s); 5,013 bytes");
  EXPECT_EQ(window->SelectedCount(), 6);
  EXPECT_EQ(window->focusWidget(), List());
  Action("Mainmenu_DeselectAll")->trigger();
  EXPECT_EQ(Panel(3), "Selected 0 files; 0 bytes");
  EXPECT_EQ(window->SelectedCount(), 0);
  // Through the keyboard, as the menu shows them.
  QTest::keyClick(List(), Qt::Key_Slash, Qt::ControlModifier);
  EXPECT_EQ(window->SelectedCount(), 6);
  QTest::keyClick(List(), Qt::Key_Backslash, Qt::ControlModifier);
  EXPECT_EQ(window->SelectedCount(), 0);
}

TEST_F(ViewTest, KeyReleasesSummariseTheFocusedOrSelectedRows) {
  List()->setFocus();
  List()->setCurrentIndex(Model()->index(RowOf("docs\\guide.txt"), 0));
  QTest::keyClick(List(), Qt::Key_Space);
  EXPECT_EQ(Panel(3), "Selected 1 file(s); 5,000 bytes");
  QTest::keyClick(List(), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(Panel(3), "Selected 2 file(s); 5,000 bytes");  // guide.txt and sub\ (0 bytes)
  QTest::keyClick(List(), Qt::Key_Down);
  EXPECT_EQ(window->SelectedCount(), 1);
  EXPECT_EQ(Panel(3), "Selected 1 file(s); 2 bytes");
}

TEST_F(ViewTest, AnEmptyListClearsTheSummary) {
  chooser.answer(archive);
  Action("ParseNone1")->trigger();
  ASSERT_EQ(window->RowCount(), 0);
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(Panel(3), "");
}

TEST_F(ViewTest, AScreenReaderReadsEachRowsColumns) {
  QApplication::processEvents();  // the view lays out its rows
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(List());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->text(QAccessible::Name), "Archive contents");
  QAccessibleTableInterface* table = list->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 6);
  EXPECT_EQ(table->columnCount(), 6);
  EXPECT_EQ(table->columnDescription(1), "Size");
  ASSERT_EQ(table->rowCount(), 6);
  const int guide = RowOf("docs\\guide.txt");
  auto cell = [table, guide](int column) {
    QAccessibleInterface* at = table->cellAt(guide, column);
    return at ? at->text(QAccessible::Name) : QString("no cell");
  };
  EXPECT_EQ(cell(0), "guide.txt");
  EXPECT_EQ(cell(1), "5000");
  EXPECT_EQ(cell(3), "docs\\");
  EXPECT_EQ(cell(4), "<1-2>");
  // The status panels keep their text as what is read out.
  ClickRow(guide);
  QAccessibleInterface* summary = QAccessible::queryAccessibleInterface(window->findChild<QLabel*>("StatusBar1Panel3"));
  EXPECT_EQ(summary->text(QAccessible::Name), "Selected 1 file(s); 5,000 bytes");
}
