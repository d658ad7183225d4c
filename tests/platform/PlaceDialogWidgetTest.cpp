#include "platform/qt/PlaceDialogWidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// A top-level owner window at the given frame position and size.
class Owner : public QWidget {
 public:
  Owner(QPoint at, QSize size) {
    resize(size);
    move(at);
    show();
  }
};

}  // namespace

TEST(PlaceDialogWidget, CentredAcrossTheOwnerAQuarterDown) {
  Owner owner(Area().topLeft() + QPoint(100, 60), {401, 303});
  QDialog dialog(&owner);
  dialog.setFixedSize(201, 51);
  platform::PlaceDialog(&dialog, &owner);
  const QRect m = owner.frameGeometry();
  EXPECT_EQ(dialog.pos(), QPoint(m.x() + m.width() / 2 - 201 / 2, m.y() + m.height() / 4));
  EXPECT_EQ(dialog.size(), QSize(201, 51));

  // The place survives showing: the dialog is not centred again by the toolkit.
  const QPoint placed = dialog.pos();
  dialog.show();
  EXPECT_EQ(dialog.pos(), placed);
}

TEST(PlaceDialogWidget, KeptAboveTheBottomAndInsideTheUsableArea) {
  const QRect area = Area();
  Owner low(area.topLeft() + QPoint(0, area.height() - 100), {300, 200});
  QDialog dialog(&low);
  dialog.setFixedSize(120, 150);
  platform::PlaceDialog(&dialog, &low);
  EXPECT_EQ(dialog.y(), area.y() + area.height() - 150);

  Owner leftOff(area.topLeft() + QPoint(-400, -300), {200, 100});
  platform::PlaceDialog(&dialog, &leftOff);
  EXPECT_EQ(dialog.pos(), area.topLeft());
}

TEST(PlaceDialogWidget, WithoutAnOwnerGoesOverTheScreenAndMeasuresAnUnsizedDialog) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel("A dialog that was never given a size"));
  platform::PlaceDialog(&dialog, nullptr);
  const QSize preferred = dialog.sizeHint();
  const QRect area = Area();
  EXPECT_EQ(dialog.size(), preferred);
  EXPECT_EQ(dialog.pos(), area.topLeft() + QPoint(area.width() / 2 - preferred.width() / 2, area.height() / 4));
  platform::PlaceDialog(nullptr, nullptr);  // nothing to place: no effect
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
