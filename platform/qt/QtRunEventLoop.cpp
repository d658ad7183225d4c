#include "platform/qt/QtRunEventLoop.h"

#include <QCoreApplication>
#include <QEvent>

namespace platform {
namespace {

class RunEndedEvent : public QEvent {
 public:
  explicit RunEndedEvent(int32_t code)
      : QEvent(static_cast<QEvent::Type>(RunEventLoop::kRunEndedEvent)), endCode(code) {}
  const int32_t endCode;
};

}  // namespace

void QtRunEventLoop::ProcessNextEvent() {
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtRunEventLoop::PostRunEnded(int32_t endCode) {
  QCoreApplication::postEvent(this, new RunEndedEvent(endCode));
}

bool QtRunEventLoop::event(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kRunEndedEvent)) {
    if (onRunEnded) onRunEnded(static_cast<RunEndedEvent*>(event)->endCode);
    return true;
  }
  return QObject::event(event);
}

}  // namespace platform
