#pragma once
// TPWDialog: asks for the archive password. It edits the configuration's password and keeps none
// of its own: it starts from `password` and hands the result back through StorePassword.

#include <QDialog>

#include "config/TConfig.h"
#include "platform/Prompter.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

class TPWDialog : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 - Password" and placed over the owner's window.
  TPWDialog(TConfig& config, platform::Prompter& prompter, QWidget* owner);

  // Shows the dialog modally with the known password filled in. On OK the text goes to
  // StorePassword and the answer is true; otherwise nothing changes and the answer is false.
  bool AskPassword();

  QLabel* Label1;
  QLineEdit* Edit1;
  QCheckBox* CheckBox1;
  QPushButton* Button1;
  QPushButton* Button2;

  // Masks Edit1 with "#" while "Hide" is ticked.
  void CheckBox1Click();
  // Accepts an empty text or a valid password; anything else is refused and the dialog stays.
  void Button1Click();
  void Button2Click();
  void FormShow();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TConfig& config_;
  platform::Prompter& prompter_;
};
