#pragma once
// A folder or file-name field of the Add dialog: a line edit with a browse button beside it. The
// dialog decides what browsing does.

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace adddialog {

class PathField : public QWidget {
  Q_OBJECT

 public:
  // The accessible name is the edit's; the button's says what it browses for.
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

}  // namespace adddialog
