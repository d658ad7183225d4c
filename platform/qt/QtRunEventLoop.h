#pragma once
// The run's event queue on Qt: the end-of-run event is a posted QEvent of type 1924.

#include <QObject>

#include "platform/RunEventLoop.h"

namespace platform {

class QtRunEventLoop : public QObject, public RunEventLoop {
  Q_OBJECT
 public:
  explicit QtRunEventLoop(QObject* parent = nullptr) : QObject(parent) {}
  void ProcessNextEvent() override;
  void PostRunEnded(int32_t endCode) override;

 protected:
  bool event(QEvent* event) override;
};

}  // namespace platform
