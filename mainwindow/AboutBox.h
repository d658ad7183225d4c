#pragma once
// The about box: the program, its version, and the libraries it runs on.

#include <QDialog>

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* owner);
};
