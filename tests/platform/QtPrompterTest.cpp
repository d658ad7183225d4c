#include "platform/qt/QtPrompter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QKeyEvent>
#include <QTimer>
#include <functional>

#include "tests/support/ModalDriver.h"

using namespace platform;

namespace {

QApplication& App() { return *static_cast<QApplication*>(QCoreApplication::instance()); }

struct Seen {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  Qt::TextFormat format = Qt::AutoText;
};

}  // namespace

class QtPrompterTest : public ::testing::Test {
 protected:
  QtPrompter prompter{QStringLiteral("Tamber 2.23")};
  Seen seen;

  // Arranges for the next box to be inspected into `seen`, then handled by `act` (within a deadline).
  void onNextBox(std::function<void(QMessageBox&)> act) {
    App();
    OnNextModal<QMessageBox>([this, act](QMessageBox& box) {
      seen = {box.windowTitle(), box.text(), box.icon(), box.standardButtons(),
              box.standardButton(box.defaultButton()), box.textFormat()};
      act(box);
    });
  }
};

TEST_F(QtPrompterTest, ShowsTitlePlainTextIconAndExactlyTheButtons) {
  onNextBox([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
  const std::string text = "Tamber is not properly associated to \".j\"\nDo you want it corrected ? <b>x</b>";
  EXPECT_EQ(prompter.ask(BoxKind::Error, text, ButtonYes | ButtonNo), ButtonNo);
  EXPECT_EQ(seen.title, "Tamber 2.23");
  EXPECT_EQ(seen.text.toStdString(), text);
  EXPECT_EQ(seen.format, Qt::PlainText);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen.defaultButton, QMessageBox::Yes);

  onNextBox([](QMessageBox& box) { box.button(QMessageBox::Retry)->click(); });
  EXPECT_EQ(prompter.ask(BoxKind::Warning, "w", ButtonRetry | ButtonCancel), ButtonRetry);
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, QMessageBox::Retry | QMessageBox::Cancel);
}

TEST_F(QtPrompterTest, EscapeAnswersCancelThenNoThenOk) {
  auto escape = [](QMessageBox& box) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&box, &press);
  };
  onNextBox(escape);
  EXPECT_EQ(prompter.ask(BoxKind::Confirmation, "q", ButtonYes | ButtonNo | ButtonCancel), ButtonCancel);
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  onNextBox(escape);
  EXPECT_EQ(prompter.ask(BoxKind::Confirmation, "q", ButtonYes | ButtonNo), ButtonNo);
  onNextBox([](QMessageBox& box) { box.close(); });
  EXPECT_EQ(prompter.ask(BoxKind::Information, "q", ButtonOk), ButtonOk);
  EXPECT_EQ(seen.icon, QMessageBox::Information);
}

TEST_F(QtPrompterTest, ErrorInfoAndPlainBoxes) {
  auto ok = [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); };
  onNextBox(ok);
  prompter.error("Error in writing to registry");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
  onNextBox(ok);
  prompter.info("i");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  onNextBox(ok);
  prompter.plain("Error opening registry for saving!");
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.title, "Tamber 2.23");
  EXPECT_EQ(seen.text, "Error opening registry for saving!");
}

// The application object must outlive every widget and input device and go before Qt's own statics.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

TEST_F(QtPrompterTest, AnErrorWithDetailsFoldsThemAwayBehindAButton) {
  QString details;
  onNextBox([&details](QMessageBox& box) {
    details = box.detailedText();
    box.button(QMessageBox::Ok)->click();
  });
  prompter.errorWithDetails("Disk full or write error", "Exit code: 5 (disk full or write error)\n");
  EXPECT_EQ(seen.text, "Disk full or write error");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
  EXPECT_EQ(details, "Exit code: 5 (disk full or write error)\n");
}
