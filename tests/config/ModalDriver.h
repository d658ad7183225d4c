#pragma once
// Acts on the next modal dialog of a type once it is showing, from inside its event loop.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

template <typename Dialog>
void OnNextModal(std::function<void(Dialog&)> act) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(*dialog);
  });
  timer->start(2);
}
