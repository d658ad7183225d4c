#pragma once
// A folder or file-name field of the Add and Copy dialogs: a line edit with a "..." browse button
// beside it. The dialog, or a field made for one kind of name, decides what browsing does.

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

class PathField : public QWidget {
  Q_OBJECT

 public:
  // name is the control's objectName (the edit's and the button's add "Edit" and "Browse"); the
  // accessible name is the edit's, and the button's says what it browses for.
  PathField(const QString& name, const QString& accessibleName, QWidget* parent);

  QLineEdit* edit() const { return edit_; }
  QToolButton* browseButton() const { return button_; }
  QString text() const;
  void setText(const QString& text);

 signals:
  void browseClicked();

 private:
  QLineEdit* edit_;
  QToolButton* button_;
};
