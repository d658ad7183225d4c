#pragma once
// The progress window of a file operation: the work runs on a worker thread while the window
// (title, what is being done, a bar and a Cancel button) shows over the owner. Until the work ends
// the other windows take no input.

#include <QString>
#include <functional>

#include "platform/FileOperation.h"

class QWidget;

namespace platform {

// Runs work and returns its result once it has ended. The window shows only when the work takes
// longer than showAfterMs; Cancel makes the work's next progress report return false.
FileOperationResult RunWithProgress(QWidget* owner, const QString& title, const QString& label,
                                    const std::function<FileOperationResult(FileOperationProgress&)>& work,
                                    int showAfterMs = 400);

class QtShellFileOperations : public ShellFileOperations {
 public:
  explicit QtShellFileOperations(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  FileOperationResult Run(const FileOperationRequest& request) override;

 private:
  QWidget* owner_;
};

}  // namespace platform
