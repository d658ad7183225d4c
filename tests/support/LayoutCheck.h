#pragma once
// Layout checks at any font: no visible control sticks out of its parent, and a window of fixed
// size is at least as large as its layout's size hint.
//
//   ScopedFontScale bigger(1.5);   // the application font at 1.5 times its size
//   TPWDialog dialog(...);
//   ExpectLaidOutCleanly(dialog);

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QLayout>
#include <QWidget>
#include <string>

namespace testsupport {

class ScopedFontScale {
 public:
  explicit ScopedFontScale(double factor) : old_(QApplication::font()) {
    QFont font = old_;
    if (font.pointSizeF() > 0)
      font.setPointSizeF(font.pointSizeF() * factor);
    else
      font.setPixelSize(static_cast<int>(font.pixelSize() * factor + 0.5));
    QApplication::setFont(font);
  }
  ~ScopedFontScale() { QApplication::setFont(old_); }
  ScopedFontScale(const ScopedFontScale&) = delete;
  ScopedFontScale& operator=(const ScopedFontScale&) = delete;

 private:
  QFont old_;
};

inline std::string WidgetName(const QWidget* w) {
  const QString name = w->objectName();
  return (name.isEmpty() ? QString(w->metaObject()->className()) : name).toStdString();
}

// Shows the window (laid out as the user would see it), then checks every visible descendant.
inline void ExpectLaidOutCleanly(QWidget& window) {
  window.show();
  QApplication::processEvents();
  // A window of fixed size must give its layout what it asks for (its size hint): at its mere
  // minimum, controls are squeezed against each other and the frame.
  if (window.minimumSize() == window.maximumSize()) {
    const QSize hint = window.layout() ? window.layout()->totalSizeHint() : window.sizeHint();
    EXPECT_GE(window.width(), hint.width()) << WidgetName(&window) << " is fixed narrower than its layout needs";
    EXPECT_GE(window.height(), hint.height()) << WidgetName(&window) << " is fixed lower than its layout needs";
  }
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || w->isWindow()) continue;
    const QWidget* parent = w->parentWidget();
    EXPECT_TRUE(parent->rect().contains(w->geometry()))
        << WidgetName(w) << " sticks out of " << WidgetName(parent);
    if (w->layout() == nullptr && w->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
      const QSize need = w->minimumSizeHint();
      EXPECT_GE(w->width(), need.width()) << WidgetName(w) << " is narrower than its text needs";
      EXPECT_GE(w->height(), need.height()) << WidgetName(w) << " is lower than its text needs";
    }
  }
}

}  // namespace testsupport
