// How the configuration dialog looks and is used from the keyboard: clean at a larger font, every
// control on the Tab chain with a name a screen reader can read, the accelerators. Each page is
// saved as a PNG under the build folder (tests/screenshots) to be looked at.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "config/BrowseEdit.h"
#include "config/Config_unit.h"
#include "config/RadioGroup.h"
#include "tests/config/ConfigFixture.h"
#include "tests/support/LayoutCheck.h"

namespace {

class ConfigurationLookTest : public ConfigFixture {
 protected:
  void SaveScreenshots(TConfiguration& d, const QString& suffix) {
    const QString folder = QString(TAMBER_TEST_BIN_DIR) + "/screenshots";
    QDir().mkpath(folder);
    auto* pages = d.findChild<QTabWidget*>("PageControl1");
    for (int i = 0; i < pages->count(); ++i) {
      pages->setCurrentIndex(i);
      QApplication::processEvents();
      const QString file = folder + "/configuration-" + pages->tabText(i).toLower() + suffix + ".png";
      EXPECT_TRUE(d.grab().save(file)) << file.toStdString();
    }
  }
};

QString AccessibleName(QWidget* w) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
  return face ? face->text(QAccessible::Name) : QString();
}

}  // namespace

TEST_F(ConfigurationLookTest, EveryPageIsLaidOutCleanlyAtTheDefaultAndALargerFont) {
  config.startupFolder = config.addFolder = config.extractFolder = 2;
  config.temporaryFolder = 1;
  config.theJar32Exe = "/usr/local/lib/tamber/bin/jar32.exe";
  for (double scale : {1.0, 1.5}) {
    SCOPED_TRACE(scale);
    testsupport::ScopedFontScale font(scale);
    config.RealTimeAllowed = scale > 1;  // the longest priority caption at the larger font
    TConfiguration d(config, prompter, chooser, &owner);
    auto* pages = d.findChild<QTabWidget*>("PageControl1");
    for (int i = 0; i < pages->count(); ++i) {
      SCOPED_TRACE(pages->tabText(i).toStdString());
      pages->setCurrentIndex(i);
      testsupport::ExpectLaidOutCleanly(d);
    }
    SaveScreenshots(d, scale > 1 ? "-1.5x" : "");
    d.hide();
  }
}

TEST_F(ConfigurationLookTest, TabReachesEveryControlOfEachPageAndEachHasAName) {
  TConfiguration d(config, prompter, chooser, &owner);
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d, 5000));
  auto* pages = d.findChild<QTabWidget*>("PageControl1");
  for (RadioGroup* group : d.findChildren<RadioGroup*>())
    if (group->count() > 2) group->item(2)->click();  // every folder box enabled
  for (int page = 0; page < pages->count(); ++page) {
    SCOPED_TRACE(pages->tabText(page).toStdString());
    pages->setCurrentIndex(page);
    pages->tabBar()->setFocus();
    QSet<QWidget*> reached;
    for (int step = 0; step < 40 && !reached.contains(QApplication::focusWidget()); ++step) {
      QWidget* focused = QApplication::focusWidget();
      reached.insert(focused);
      EXPECT_FALSE(AccessibleName(focused).isEmpty()) << testsupport::WidgetName(focused);
      QTest::keyClick(focused, Qt::Key_Tab);
    }
    // Every enabled control of the page and the three buttons are on the chain.
    std::vector<QWidget*> expected{d.findChild<QPushButton*>("OKBtn"), d.findChild<QPushButton*>("CancelBtn"),
                                   d.findChild<QPushButton*>("SaveBtn")};
    for (QWidget* w : pages->widget(page)->findChildren<QWidget*>())
      if (w->focusPolicy() & Qt::TabFocus && w->isEnabled() && w->isVisible() && !qobject_cast<QRadioButton*>(w) &&
          !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
        expected.push_back(w);
    for (RadioGroup* group : pages->widget(page)->findChildren<RadioGroup*>())
      expected.push_back(group->item(group->itemIndex()));  // Tab stops at a group's selected item
    for (QWidget* w : expected) EXPECT_TRUE(reached.contains(w)) << testsupport::WidgetName(w) << " not reached";
  }
}

TEST_F(ConfigurationLookTest, AcceleratorsSelectTheirItems) {
  TConfiguration d(config, prompter, chooser, &owner);
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d, 5000));
  d.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
  auto* extract = d.findChild<RadioGroup*>("RG_DefaultExtractFolder");
  // An accelerator clicks its button a moment later, as a click that the user can see.
  QTest::keyClick(&d, Qt::Key_D, Qt::AltModifier);  // "Fol&der:"
  EXPECT_TRUE(QTest::qWaitFor([extract] { return extract->itemIndex() == 2; }, 5000));
  EXPECT_TRUE(d.findChild<BrowseEdit*>("DE_ExtractFolder")->isEnabled());
  auto* add = d.findChild<RadioGroup*>("RG_DefaultAddFolder");
  QTest::keyClick(&d, Qt::Key_A, Qt::AltModifier);  // "Last &Add Folder"
  EXPECT_TRUE(QTest::qWaitFor([add] { return add->itemIndex() == 1; }, 5000));
}
