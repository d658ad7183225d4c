// The progress window of a file operation: shown for long work, Cancel reaches the work, short
// work shows nothing.

#include "platform/qt/FileOperationWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <thread>

#include "tests/support/ModalDriver.h"

using platform::FileOperationProgress;
using platform::FileOperationResult;

TEST(FileOperationWindow, CancelStopsTheWorkAndTheWindowGoes) {
  QString title;
  OnNextModal<QProgressDialog>([&](QProgressDialog& dialog) {
    title = dialog.windowTitle();
    dialog.findChild<QPushButton*>()->click();
  });
  bool stoppedByCancel = false;
  auto work = [&](FileOperationProgress& progress) {
    // Reports until told to stop; the deadline keeps a missing Cancel from hanging the test.
    const QDeadlineTimer deadline(10000);
    uint64_t done = 0;
    while (!deadline.hasExpired()) {
      if (!progress.Report(++done % 100, 100)) {
        stoppedByCancel = true;
        break;
      }
      std::this_thread::yield();
    }
    FileOperationResult result;
    result.cancelled = stoppedByCancel;
    return result;
  };
  const FileOperationResult result = platform::RunWithProgress(nullptr, "Tamber 2.0 - Copy", "Copying", work, 0);
  EXPECT_TRUE(stoppedByCancel);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(title, "Tamber 2.0 - Copy");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(FileOperationWindow, ShortWorkShowsNoWindowAndGivesItsResult) {
  bool shown = false;
  auto work = [&](FileOperationProgress& progress) {
    progress.Report(1, 1);
    shown = QApplication::activeModalWidget() != nullptr;
    FileOperationResult result;
    result.ok = true;
    result.target = "/x/y.j";
    return result;
  };
  const FileOperationResult result = platform::RunWithProgress(nullptr, "Tamber 2.0 - Move", "Moving", work, 5000);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.target, "/x/y.j");
  EXPECT_FALSE(shown);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
