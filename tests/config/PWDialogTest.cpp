#include "config/PWDialog_unit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "tests/config/ConfigFixture.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using testsupport::ScriptedPrompter;

namespace {

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

class PWDialogTest : public ConfigFixture {};

}  // namespace

TEST_F(PWDialogTest, ControlsCaptionsAndSize) {
  TPWDialog dialog(config, prompter, &owner);
  EXPECT_EQ(dialog.windowTitle(), "Tamber 2.23 - Password");
  EXPECT_EQ(dialog.parentWidget(), &owner);
  // Fixed at what its layout asks for, never below 214 x 87.
  EXPECT_EQ(dialog.size(), dialog.sizeHint().expandedTo(QSize(214, 87)));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_EQ(dialog.findChild<QLabel*>("Label1")->text(), "Enter password:");
  EXPECT_EQ(dialog.findChild<QCheckBox*>("CheckBox1")->text(), "Hide");
  EXPECT_TRUE(dialog.CheckBox1->isChecked());
  EXPECT_EQ(dialog.findChild<QPushButton*>("Button1")->text(), "&Ok");
  EXPECT_EQ(dialog.findChild<QPushButton*>("Button2")->text(), "&Cancel");
  EXPECT_TRUE(dialog.Button1->isDefault());
  EXPECT_EQ(dialog.findChild<QLineEdit*>("Edit1"), dialog.Edit1);
  // Every control lies inside the client area.
  for (QWidget* w : dialog.findChildren<QWidget*>())
    EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->objectName().toStdString();
}

TEST_F(PWDialogTest, HideMasksWithHashAndUntickingShowsPlain) {
  TPWDialog dialog(config, prompter, &owner);
  dialog.Edit1->setText("secret words");
  EXPECT_EQ(dialog.Edit1->displayText(), QString(12, '#'));
  dialog.CheckBox1->click();
  EXPECT_FALSE(dialog.CheckBox1->isChecked());
  EXPECT_EQ(dialog.Edit1->displayText(), "secret words");
  dialog.CheckBox1->click();
  EXPECT_EQ(dialog.Edit1->displayText(), QString(12, '#'));
  EXPECT_EQ(dialog.Edit1->text(), "secret words");
}

TEST_F(PWDialogTest, OpensWithTheKnownPasswordFocusedAndOkStoresTheNewOne) {
  config.StorePassword("known-password");
  QString shown;
  bool focused = false;
  OnNextModal<TPWDialog>([&](TPWDialog& d) {
    shown = d.Edit1->text();
    focused = d.focusWidget() == d.Edit1;
    d.Edit1->setText("brand-new-one");
    d.Button1->click();
  });
  TPWDialog dialog(config, prompter, &owner);
  EXPECT_TRUE(dialog.AskPassword());
  EXPECT_EQ(shown, "known-password");
  EXPECT_TRUE(focused);
  EXPECT_EQ(config.password, "brand-new-one");
}

TEST_F(PWDialogTest, EmptyTextConfirmsAndClearsThePassword) {
  config.StorePassword("known-password");
  OnNextModal<TPWDialog>([](TPWDialog& d) {
    d.Edit1->clear();
    PressKey(d.Edit1, Qt::Key_Return);  // Enter presses the default button
  });
  TPWDialog dialog(config, prompter, &owner);
  EXPECT_TRUE(dialog.AskPassword());
  EXPECT_EQ(config.password, "");
}

TEST_F(PWDialogTest, RejectedTextsKeepTheDialogOpenAndUnchanged) {
  TPWDialog dialog(config, prompter, &owner);
  dialog.show();
  for (const char* text : {"seven77", "has a space in it", " leading1", "trailing1 ", "éééé"}) {
    SCOPED_TRACE(text);
    prompter.expect(BoxKind::Error, "Invalid password ! Try again.", platform::ButtonOk, platform::ButtonOk);
    dialog.Edit1->setText(QString::fromUtf8(text));
    dialog.Button1->click();
    prompter.verifyDone();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Edit1->text(), QString::fromUtf8(text));
  }
  dialog.hide();
  EXPECT_EQ(config.password, "");
}

TEST_F(PWDialogTest, AQuoteIsRefusedWithItsOwnReason) {
  TPWDialog dialog(config, prompter, &owner);
  dialog.show();
  prompter.expect(BoxKind::Error, TConfig::kPasswordQuoteMessage);
  dialog.Edit1->setText("my\"password");
  dialog.Button1->click();
  prompter.verifyDone();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.Edit1->text(), "my\"password");
  dialog.hide();
  EXPECT_EQ(config.password, "");
}

TEST_F(PWDialogTest, ALargerFontGetsALargerFixedDialog) {
  testsupport::ScopedFontScale bigger(1.5);
  TPWDialog dialog(config, prompter, &owner);
  testsupport::ExpectLaidOutCleanly(dialog);
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_GE(dialog.width(), 214);
  EXPECT_GE(dialog.height(), 87);
  dialog.hide();
}

TEST_F(PWDialogTest, EightCharactersCountCharactersNotBytes) {
  // Four two-byte characters are refused above; eight of them are a valid password and stored.
  OnNextModal<TPWDialog>([](TPWDialog& d) {
    d.Edit1->setText(QString::fromUtf8("éééééééé"));
    d.Button1->click();
  });
  TPWDialog dialog(config, prompter, &owner);
  EXPECT_TRUE(dialog.AskPassword());
  EXPECT_EQ(config.password, "éééééééé");
}

TEST_F(PWDialogTest, CancelEscapeAndCloseLeaveThePassword) {
  config.StorePassword("known-password");
  const std::function<void(TPWDialog&)> endings[] = {
      [](TPWDialog& d) { d.Button2->click(); },
      [](TPWDialog& d) { PressKey(d.Edit1, Qt::Key_Escape); },
      [](TPWDialog& d) { d.close(); },
  };
  for (const auto& end : endings) {
    OnNextModal<TPWDialog>([&](TPWDialog& d) {
      d.Edit1->setText("typed-but-cancelled");
      end(d);
    });
    TPWDialog dialog(config, prompter, &owner);
    EXPECT_FALSE(dialog.AskPassword());
    EXPECT_EQ(config.password, "known-password");
  }
}
