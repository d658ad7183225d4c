#include "platform/qt/PlaceDialogWidget.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "platform/DialogPlacement.h"

namespace platform {
namespace {

// The window with its frame once it is on screen; before that the frame is unknown (and Qt reports
// it one pixel short), so the bare geometry stands for it.
QRect FrameOf(const QWidget* window) {
  return window->isVisible() && window->testAttribute(Qt::WA_WState_Created) ? window->frameGeometry()
                                                                             : window->geometry();
}

QScreen* ScreenOf(QWidget* form, QWidget* dialog) {
  QScreen* screen = nullptr;
  if (form) {
    screen = QGuiApplication::screenAt(FrameOf(form).center());
    if (!screen) screen = form->screen();
  }
  if (!screen) screen = dialog->screen();
  return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

void PlaceDialog(QWidget* dialog, QWidget* owner) {
  if (!dialog) return;
  // A window that was never resized gets its preferred size when shown; measure that size now.
  if (!dialog->testAttribute(Qt::WA_Resized)) {
    dialog->adjustSize();
    dialog->setAttribute(Qt::WA_Resized, false);
  }
  QWidget* form = owner ? owner->window() : nullptr;
  QScreen* screen = ScreenOf(form, dialog);
  if (!screen) return;

  // The geometry works in the screen's usable area, so "above the bottom" and "not negative" hold
  // for screens that do not start at (0, 0) too.
  const QRect area = screen->availableGeometry();
  const QRect owned = form ? FrameOf(form) : area;
  const QRect frame = FrameOf(dialog);
  const DialogPosition p =
      PlaceDialog(DialogRect{owned.x() - area.x(), owned.y() - area.y(), owned.width(), owned.height()},
                  DialogRect{0, 0, frame.width(), frame.height()}, area.height());
  dialog->move(area.x() + p.x, area.y() + p.y);
}

}  // namespace platform
