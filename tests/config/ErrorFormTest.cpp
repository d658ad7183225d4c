#include "config/ErrorForm_unit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

#include "platform/Files.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempFolder.h"

namespace {

struct Seen {
  QString text;
  bool buttonFocused = false;
  bool horizontalBar = false;
  int blocks = 0;
};

class ErrorFormTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = folder.path() + "/" + name;
    EXPECT_TRUE(platform::WriteWholeFile(path, content));
    return path;
  }
  // Executes the form on the file and records what it showed before closing it with OK.
  Seen Show(TErrorForm& form, const std::string& fileName) {
    Seen seen;
    OnNextModal<TErrorForm>([&seen](TErrorForm& f) {
      QApplication::processEvents();  // let the layout settle the scroll bars
      seen.text = f.Memo1->toPlainText();
      seen.buttonFocused = f.focusWidget() == f.Button1;
      seen.horizontalBar = f.Memo1->horizontalScrollBar()->isVisible();
      seen.blocks = f.Memo1->document()->blockCount();
      f.Button1->click();
    });
    form.Execute(fileName);
    return seen;
  }

  TempFolder folder;
  QWidget owner;
};

}  // namespace

TEST_F(ErrorFormTest, WindowAndControls) {
  TErrorForm form(&owner);
  EXPECT_EQ(form.windowTitle(), "Tamber 2.23 - ");
  EXPECT_EQ(form.size(), QSize(416, 159));
  EXPECT_EQ(form.minimumSize(), QSize(416, 159));  // opens at that size, can be made larger
  EXPECT_GT(form.maximumWidth(), 416);
  EXPECT_GT(form.maximumHeight(), 159);
  EXPECT_EQ(form.findChild<QPlainTextEdit*>("Memo1"), form.Memo1);
  EXPECT_EQ(form.findChild<QWidget*>("Panel1"), form.Panel1);
  EXPECT_EQ(form.findChild<QPushButton*>("Button1")->text(), "OK");
  EXPECT_TRUE(form.Button1->isDefault());
  EXPECT_TRUE(form.Memo1->isReadOnly());
  EXPECT_EQ(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  const QFontMetrics metrics(form.Memo1->font());
  EXPECT_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(Qt::black));

  form.show();
  QApplication::processEvents();
  EXPECT_EQ(form.Panel1->geometry(), QRect(0, 159 - 41, 416, 41));
  EXPECT_EQ(form.Memo1->geometry(), QRect(0, 0, 416, 159 - 41));
  EXPECT_TRUE(form.Panel1->rect().contains(form.Button1->geometry()));
  form.hide();
}

TEST_F(ErrorFormTest, EnlargedTheOutputGetsTheRoom) {
  TErrorForm form(&owner);
  form.show();
  form.resize(900, 700);
  QApplication::processEvents();
  EXPECT_EQ(form.Memo1->height(), 700 - form.Panel1->height());
  EXPECT_EQ(form.Memo1->width(), 900);
  form.hide();
}

TEST_F(ErrorFormTest, LaidOutCleanlyAtALargerFont) {
  testsupport::ScopedFontScale bigger(1.5);
  TErrorForm form(&owner);
  testsupport::ExpectLaidOutCleanly(form);
  EXPECT_GE(form.Panel1->height(), form.Button1->sizeHint().height());
  form.hide();
}

TEST_F(ErrorFormTest, FileReplacesLinesWhileShownAndIsEmptiedAfterwards) {
  TErrorForm form(&owner);
  form.Memo1->setPlainText("caller's line");
  const Seen seen = Show(form, Write("out.txt", "JAR 1.02\r\nline two\nline three\n"));
  EXPECT_EQ(seen.text, "JAR 1.02\nline two\nline three\n");
  EXPECT_TRUE(seen.buttonFocused);
  EXPECT_EQ(form.Memo1->toPlainText(), "");
}

TEST_F(ErrorFormTest, EmptyOrMissingNameShowsAndKeepsTheCallersLines) {
  TErrorForm form(&owner);
  const QString lines = "/home/u/a.txt\n/home/u/b b.txt";
  for (const std::string& name : {std::string(), folder.path() + "/missing.txt", folder.path()}) {
    SCOPED_TRACE(name);
    form.Memo1->setPlainText(lines);
    EXPECT_EQ(Show(form, name).text, lines);
    EXPECT_EQ(form.Memo1->toPlainText(), lines);
  }
}

TEST_F(ErrorFormTest, LongLinesStayUnwrappedWithAHorizontalScrollBar) {
  TErrorForm form(&owner);
  const Seen seen = Show(form, Write("wide.txt", std::string(600, 'x') + "\nshort\n"));
  EXPECT_EQ(seen.blocks, 3);
  EXPECT_TRUE(seen.horizontalBar);
}

TEST_F(ErrorFormTest, TextCannotBeEdited) {
  TErrorForm form(&owner);
  form.Memo1->setPlainText("fixed");
  form.show();
  form.Memo1->setFocus();
  for (int key : {Qt::Key_A, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_A ? "a" : "");
    QApplication::sendEvent(form.Memo1->viewport(), &press);
    QApplication::sendEvent(form.Memo1, &press);
  }
  EXPECT_EQ(form.Memo1->toPlainText(), "fixed");
  form.hide();
}

TEST_F(ErrorFormTest, InvalidBytesShowAsReplacementCharacters) {
  const QChar bad(QChar::ReplacementCharacter);
  EXPECT_EQ(OutputText("ok \xC3\xA9 \xFF\xFE end"), QString("ok é ") + bad + bad + " end");
  EXPECT_EQ(OutputText(std::string("a\0b", 3)), QString("a") + bad + "b");
  EXPECT_EQ(OutputText("cut \xE2\x82"), QString("cut ") + bad + bad);  // one for each byte

  TErrorForm form(&owner);
  EXPECT_EQ(Show(form, Write("bin.txt", std::string("x\xC0y\0z", 5))).text, QString("x") + bad + "y" + bad + "z");
}

TEST_F(ErrorFormTest, AFileThatCannotBeReadSaysSoInsteadOfBlocking) {
  const std::string fifo = folder.path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TErrorForm form(&owner);
  form.Memo1->setPlainText("caller's line");
  EXPECT_EQ(Show(form, fifo).text.toStdString(), "Can't open file: \"" + fifo + "\"");
  EXPECT_EQ(form.Memo1->toPlainText(), "");
}

TEST_F(ErrorFormTest, ALargeOutputOpensAtOnceAndFillsInWhileShown) {
  std::string content;
  for (int i = 0; content.size() < 1'500'000; ++i) content += "member" + std::to_string(i) + ".dat   1234 2024-03-01\n";
  content += "last line without a break";
  const std::string path = Write("large.txt", content);

  TErrorForm form(&owner);
  bool partialAtFirst = false;
  QString complete;
  OnNextModal<TErrorForm>([&](TErrorForm& f) {
    partialAtFirst = f.IsLoading() && f.Memo1->document()->characterCount() < int(content.size());
    ProcessEventsUntil([&f] { return !f.IsLoading(); });
    complete = f.Memo1->toPlainText();
    f.Button1->click();
  });
  form.Execute(path);
  EXPECT_TRUE(partialAtFirst);
  EXPECT_EQ(complete.toStdString(), content);
  EXPECT_EQ(form.Memo1->toPlainText(), "");

  // Closed before everything was added: the loading stops and nothing is added afterwards.
  OnNextModal<TErrorForm>([](TErrorForm& f) { f.Button1->click(); });
  form.Execute(path);
  EXPECT_FALSE(form.IsLoading());
  QApplication::processEvents();
  EXPECT_EQ(form.Memo1->toPlainText(), "");
}

TEST_F(ErrorFormTest, ALineLongerThanAPartKeepsItsLineBreakWhole) {
  // The first part would end between the carriage return and the line feed.
  const std::string content = std::string((1 << 20) - 1, 'x') + "\r\nnext line\n";
  TErrorForm form(&owner);
  QString complete;
  OnNextModal<TErrorForm>([&](TErrorForm& f) {
    ProcessEventsUntil([&f] { return !f.IsLoading(); });
    complete = f.Memo1->toPlainText();
    f.Button1->click();
  });
  form.Execute(Write("long-line.txt", content));
  EXPECT_EQ(complete.size(), qsizetype((1 << 20) - 1 + 11));
  EXPECT_TRUE(complete.endsWith("x\nnext line\n"));
}
