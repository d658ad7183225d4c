#pragma once
// Password boxes masked with "#": every character shows as "#" at once (no briefly visible last one).

#include <QLineEdit>
#include <QProxyStyle>

class HashMaskStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '#';
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Masked with "#" when hidden, plain otherwise.
inline void SetMasked(QLineEdit* edit, bool hidden) {
  edit->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
}
