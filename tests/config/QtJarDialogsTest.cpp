#include "config/QtJarDialogs.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "config/ErrorForm_unit.h"
#include "config/PWDialog_unit.h"
#include "platform/Files.h"
#include "tests/config/ConfigFixture.h"
#include "tests/support/ModalDriver.h"

namespace {

class QtJarDialogsTest : public ConfigFixture {
 protected:
  QtJarDialogs dialogs{config, prompter, &owner};
};

}  // namespace

TEST_F(QtJarDialogsTest, AskPasswordUsesTheConfigurationAndLeavesNoWindowBehind) {
  QWidget* parent = nullptr;
  OnNextModal<TPWDialog>([&](TPWDialog& d) {
    parent = d.parentWidget();
    d.Edit1->setText("archive-pass");
    d.Button1->click();
  });
  EXPECT_TRUE(dialogs.AskPassword());
  EXPECT_EQ(config.password, "archive-pass");
  EXPECT_EQ(parent, &owner);

  OnNextModal<TPWDialog>([](TPWDialog& d) { d.Button2->click(); });
  EXPECT_FALSE(dialogs.AskPassword());
  EXPECT_EQ(config.password, "archive-pass");
  EXPECT_TRUE(owner.findChildren<QDialog*>().isEmpty());
}

TEST_F(QtJarDialogsTest, ShowFileCaptionsTheViewerAndShowsTheFile) {
  const std::string file = home.path() + "/error.txt";
  ASSERT_TRUE(platform::WriteWholeFile(file, "ERROR #174\n"));
  QString title, text;
  QWidget* parent = nullptr;
  OnNextModal<TErrorForm>([&](TErrorForm& f) {
    title = f.windowTitle();
    text = f.Memo1->toPlainText();
    parent = f.parentWidget();
    f.Button1->click();
  });
  dialogs.ShowFile(" - View JAR error output", file);
  EXPECT_EQ(title, "Tamber 2.23 - View JAR error output");
  EXPECT_EQ(text, "ERROR #174\n");
  EXPECT_EQ(parent, &owner);
  EXPECT_TRUE(owner.findChildren<QDialog*>().isEmpty());
}

TEST_F(QtJarDialogsTest, WorksWithoutAnOwner) {
  QtJarDialogs ownerless(config, prompter, nullptr);
  OnNextModal<TErrorForm>([](TErrorForm& f) { f.close(); });
  ownerless.ShowFile(" - View last output", "");
  OnNextModal<TPWDialog>([](TPWDialog& d) { d.close(); });
  EXPECT_FALSE(ownerless.AskPassword());
}
