#include "dialogs/AddIcons.h"

#include <QPainter>
#include <QPixmap>
#include <functional>

namespace adddialog {
namespace {

// Draws on a 16 by 16 grid, at 16 and 32 pixels.
QIcon Drawn(const QPalette& palette, const std::function<void(QPainter&)>& draw) {
  QIcon icon;
  for (int size : {16, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(size / 16.0, size / 16.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.color(QPalette::WindowText));
    draw(painter);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon ViewStyleIcon(ViewStyle style, const QPalette& palette) {
  switch (style) {
    case ViewStyle::LargeIcons:
      return Drawn(palette, [](QPainter& p) {
        for (int x : {2, 9})
          for (int y : {2, 9}) p.drawRect(x, y, 5, 5);
      });
    case ViewStyle::SmallIcons:
      return Drawn(palette, [](QPainter& p) {
        for (int x : {2, 7, 12})
          for (int y : {2, 7, 12}) p.drawRect(x, y, 3, 3);
      });
    case ViewStyle::List:
      return Drawn(palette, [](QPainter& p) {
        for (int x : {1, 9})
          for (int y : {2, 7, 12}) {
            p.drawRect(x, y, 2, 2);
            p.drawRect(x + 3, y, 3, 2);
          }
      });
    case ViewStyle::Details:
      return Drawn(palette, [](QPainter& p) {
        for (int y : {2, 6, 10, 14}) {
          p.drawRect(1, y - 1, 2, 2);
          p.drawRect(4, y - 1, 6, 2);
          p.drawRect(12, y - 1, 3, 2);
        }
      });
  }
  return {};
}

QIcon SelectAllIcon(const QPalette& palette) {
  return Drawn(palette, [&](QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(palette.color(QPalette::WindowText), 1, Qt::DotLine));
    p.drawRect(1, 1, 13, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(palette.color(QPalette::Highlight));
    for (int y : {4, 7, 10}) p.drawRect(4, y, 8, 2);
  });
}

}  // namespace adddialog
