// GoogleTest entry for widget tests: one QApplication for the whole program, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QIcon::setThemeName("Adwaita");
  return RUN_ALL_TESTS();
}
