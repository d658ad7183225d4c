#pragma once
// A text box with a browse button beside it, enabled and disabled as one control: the folder
// boxes and the file-name box of the configuration dialog.

#include <QWidget>

class QLineEdit;
class QToolButton;

class BrowseEdit : public QWidget {
  Q_OBJECT

 public:
  // accessibleName names the box for screen readers; the button is "Browse for " + that name.
  BrowseEdit(const QString& accessibleName, QWidget* parent);

  QLineEdit* edit() const { return edit_; }
  QToolButton* browseButton() const { return browse_; }
  QString text() const;
  void setText(const QString& text);

 signals:
  void browseClicked();

 private:
  QLineEdit* edit_;
  QToolButton* browse_;
};
