#pragma once
// Acts on the next modal dialog of a type once it is showing, from inside its event loop.
//
//   OnNextModal<TPWDialog>([](TPWDialog& d) { d.Edit1->setText("secret"); d.Button1->click(); });
//   dialog.exec();
//
// ProcessEventsUntil(condition) handles events until the condition holds, within a deadline.
//
// If no such dialog shows within the deadline the current test fails, and whatever modal window
// is showing instead is rejected, so a missing or unexpected dialog fails in seconds, never hangs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>

template <typename Dialog>
void OnNextModal(std::function<void(Dialog&)> act, int deadlineMs = 10000) {
  auto* timer = new QTimer(qApp);
  const QDeadlineTimer deadline(deadlineMs);
  QObject::connect(timer, &QTimer::timeout, [timer, act, deadline] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<Dialog*>(modal);
    if (dialog && dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(*dialog);
      return;
    }
    if (!deadline.hasExpired()) return;
    timer->stop();
    timer->deleteLater();
    ADD_FAILURE() << "The expected " << Dialog::staticMetaObject.className() << " did not show in time"
                  << (modal ? std::string(", instead: ") + modal->metaObject()->className() : std::string());
    if (auto* other = qobject_cast<QDialog*>(modal))
      other->reject();
    else if (modal)
      modal->close();
  });
  timer->start(2);
}

// Handles events until done() holds; false (and the current test fails) when it does not within the
// deadline.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int deadlineMs = 10000) {
  const QDeadlineTimer deadline(deadlineMs);
  while (!done()) {
    if (deadline.hasExpired()) {
      ADD_FAILURE() << "Waited " << deadlineMs << " ms in vain";
      return false;
    }
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}
