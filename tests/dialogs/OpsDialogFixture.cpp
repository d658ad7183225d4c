#include "tests/dialogs/OpsDialogFixture.h"

#include <QAccessible>
#include <set>

#include "tests/support/LayoutCheck.h"

void ExpectKeyboardReachableWithNames(QWidget& dialog) {
  dialog.show();
  QApplication::processEvents();
  QWidget* first = dialog.focusWidget();
  ASSERT_NE(first, nullptr);
  std::set<QWidget*> seen;
  QWidget* w = first;
  for (int step = 0; step < 200; ++step) {
    seen.insert(w);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(accessible, nullptr) << testsupport::WidgetName(w);
    EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
        << testsupport::WidgetName(w) << " has no accessible name";
    w = w->nextInFocusChain();
    while (w != first && (!w->isVisibleTo(&dialog) || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) ||
                          w->focusProxy()))
      w = w->nextInFocusChain();
    if (w == first) break;
  }
  EXPECT_EQ(w, first) << "the focus chain does not come back round";
  EXPECT_GT(seen.size(), 3u);
}

void OpsDialogTest::ExpectEveryTabLaidOutCleanlyAndReachable(const std::function<std::unique_ptr<QDialog>()>& make) {
  for (const double scale : {1.0, 1.5}) {
    testsupport::ScopedFontScale font(scale);
    const std::unique_ptr<QDialog> d = make();
    for (int tab = 0; tab < Tabs(*d)->count(); ++tab) {
      SCOPED_TRACE("scale " + std::to_string(scale) + ", tab " + std::to_string(tab));
      Tabs(*d)->setCurrentIndex(tab);
      testsupport::ExpectLaidOutCleanly(*d);
      Tabs(*d)->setCurrentIndex(tab);
      ExpectKeyboardReachableWithNames(*d);
    }
  }
}
