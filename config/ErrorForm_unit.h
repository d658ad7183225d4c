#pragma once
// TErrorForm: the output viewer. Shows a text file, or lines the caller put into Memo1, read-only in
// a fixed-width font, and interprets nothing.

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>

class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTimer;

class TErrorForm : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 - "; callers replace the caption before Execute.
  explicit TErrorForm(QWidget* owner);

  // When the file exists its text replaces Memo1's and is emptied from Memo1 after the window
  // closed; with an empty or missing name the window shows what Memo1 holds and leaves it.
  // The window is placed over its owner and shown modally.
  void Execute(const std::string& fileName);

  QPlainTextEdit* Memo1;
  QWidget* Panel1;
  QPushButton* Button1;

  void FormShow();

  // Replaces Memo1's text. A long text is shown from its first part at once and the rest is added
  // in parts while the window is open, so a large output opens quickly and can be closed early.
  void ShowText(const QString& text);
  // True while parts of the text are still to be added.
  bool IsLoading() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void AddNextPart();
  void StopLoading();

  QTimer* loader_;
  QString pending_;
  qsizetype pendingAt_ = 0;
};

// The archiver's output as text: UTF-8, with a replacement character for every byte that is not
// (and for NUL), so nothing vanishes unseen.
QString OutputText(std::string_view bytes);
