#pragma once
// Walks a shown window's focus chain with real key presses, as a keyboard user does: Tab from the
// focused control until the focus comes back to it, then Shift+Tab the same way. Each control the
// focus lands on must have a name a screen reader can say; the walk must close in both directions
// (no control keeps the focus), and Shift+Tab must visit the controls in the reverse order.
//
//   dialog.show();  ...activate it, put the focus on a control...
//   testsupport::ExpectFocusChainNamed("Add dialog, General tab");

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/LayoutCheck.h"

namespace testsupport {

inline QString SpokenName(QWidget* w) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
  return accessible ? accessible->text(QAccessible::Name).trimmed() : QString();
}

struct FocusWalk {
  std::vector<QWidget*> visited;  // in the order the focus went, starting with the first control
  bool closed = false;            // the focus came back to the first control
  QWidget* stuck = nullptr;       // a control the key did not move the focus away from
};

// Presses the key (Tab, or Shift+Tab) on the focused control until the focus returns to the first.
inline FocusWalk WalkFocus(bool backwards, int maxSteps = 300) {
  FocusWalk walk;
  QWidget* first = QApplication::focusWidget();
  QWidget* w = first;
  for (int step = 0; w && step < maxSteps; ++step) {
    walk.visited.push_back(w);
    if (backwards)
      QTest::keyClick(w, Qt::Key_Backtab, Qt::ShiftModifier);
    else
      QTest::keyClick(w, Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    if (next == first) {  // also a window whose only control keeps the focus
      walk.closed = true;
      break;
    }
    if (next == w) {
      walk.stuck = w;
      break;
    }
    w = next;
  }
  return walk;
}

inline std::string Names(const std::vector<QWidget*>& widgets) {
  std::string names;
  for (QWidget* w : widgets) names += (names.empty() ? "" : ", ") + WidgetName(w);
  return names;
}

// The whole check from the control that has the focus now; the controls Tab reached.
inline std::vector<QWidget*> ExpectFocusChainNamed(const std::string& where) {
  SCOPED_TRACE(where);
  QWidget* first = QApplication::focusWidget();
  EXPECT_NE(first, nullptr) << "nothing has the focus";
  if (!first) return {};
  const FocusWalk forward = WalkFocus(false);
  EXPECT_EQ(forward.stuck, nullptr) << "Tab keeps the focus in " << WidgetName(forward.stuck);
  EXPECT_TRUE(forward.closed || forward.stuck) << "Tab does not come back round: " << Names(forward.visited);
  for (QWidget* w : forward.visited) EXPECT_FALSE(SpokenName(w).isEmpty()) << WidgetName(w) << " has no accessible name";

  first->setFocus(Qt::OtherFocusReason);
  const FocusWalk backward = WalkFocus(true);
  EXPECT_EQ(backward.stuck, nullptr) << "Shift+Tab keeps the focus in " << WidgetName(backward.stuck);
  EXPECT_TRUE(backward.closed || backward.stuck) << "Shift+Tab does not come back round";
  for (QWidget* w : backward.visited) EXPECT_FALSE(SpokenName(w).isEmpty()) << WidgetName(w) << " has no accessible name";
  // Shift+Tab goes the same way back: first, then the last of the Tab order, ...
  if (forward.closed && backward.closed) {
    std::vector<QWidget*> reversed(forward.visited.begin() + 1, forward.visited.end());
    std::reverse(reversed.begin(), reversed.end());
    reversed.insert(reversed.begin(), forward.visited.front());
    EXPECT_TRUE(reversed == backward.visited) << "Shift+Tab visits " << backward.visited.size()
                                              << " controls in another order than Tab's " << forward.visited.size();
  }
  return forward.visited;
}

}  // namespace testsupport
