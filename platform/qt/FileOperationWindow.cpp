#include "platform/qt/FileOperationWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/Paths.h"

namespace platform {
namespace {

class SharedProgress : public FileOperationProgress {
 public:
  bool Report(uint64_t done, uint64_t total) override {
    done_ = done;
    total_ = total;
    return !cancelled_;
  }
  std::atomic<uint64_t> done_{0}, total_{0};
  std::atomic<bool> cancelled_{false};
};

// Swallows input meant for any window but the progress window while the work runs.
class InputBlocker : public QObject {
 public:
  explicit InputBlocker(QWidget* allowed) : allowed_(allowed) { qApp->installEventFilter(this); }
  ~InputBlocker() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::Close:
      case QEvent::Drop: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) return false;
        if (allowed_ && (widget == allowed_ || allowed_->isAncestorOf(widget))) return false;
        event->ignore();
        return true;
      }
      default: return false;
    }
  }

 private:
  QPointer<QWidget> allowed_;
};

}  // namespace

FileOperationResult RunWithProgress(QWidget* owner, const QString& title, const QString& label,
                                    const std::function<FileOperationResult(FileOperationProgress&)>& work,
                                    int showAfterMs) {
  constexpr int kSteps = 1000;
  SharedProgress progress;
  FileOperationResult result;
  QEventLoop loop;

  QProgressDialog dialog(label, QObject::tr("Cancel"), 0, kSteps, owner);
  dialog.setObjectName("FileOperationProgress");
  dialog.setWindowTitle(title);
  dialog.setAccessibleName(title);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(showAfterMs);
  QObject::connect(&dialog, &QProgressDialog::canceled, [&progress] { progress.cancelled_ = true; });

  InputBlocker blocker(&dialog);
  QTimer poll;
  poll.setInterval(50);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (dialog.wasCanceled()) return;
    const uint64_t total = progress.total_, done = progress.done_;
    dialog.setValue(total ? static_cast<int>(done * kSteps / total) : 0);
  });
  dialog.setValue(0);

  std::thread worker([&] {
    result = work(progress);
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  poll.start();
  loop.exec();
  worker.join();
  poll.stop();
  dialog.hide();
  return result;
}

FileOperationResult QtShellFileOperations::Run(const FileOperationRequest& request) {
  const QString verb = request.kind == FileOperationKind::Copy   ? QObject::tr("Copying")
                       : request.kind == FileOperationKind::Move ? QObject::tr("Moving")
                                                                 : QObject::tr("Renaming");
  const QString label = QString("%1 \"%2\"\nto \"%3\"")
                            .arg(verb, QString::fromStdString(FileNamePart(request.from)),
                                 QString::fromStdString(request.to));
  return RunWithProgress(owner_, QString::fromStdString(request.title), label,
                         [&request](FileOperationProgress& progress) { return PerformFileOperation(request, &progress); });
}

}  // namespace platform
