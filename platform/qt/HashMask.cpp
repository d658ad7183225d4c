#include "platform/qt/HashMask.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace platform {
namespace {

class HashMaskStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '#';
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

void UseHashMask(QLineEdit* edit) {
  auto* style = new HashMaskStyle;
  style->setParent(edit);  // a widget does not own its style
  edit->setStyle(style);
}

void SetMasked(QLineEdit* edit, bool hidden) { edit->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal); }

}  // namespace platform
