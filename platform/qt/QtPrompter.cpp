#include "platform/qt/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <array>
#include <utility>

namespace platform {
namespace {

// In the order the buttons appear and the first offered one is the default.
constexpr std::array<std::pair<Button, QMessageBox::StandardButton>, 5> kButtons = {{
    {ButtonOk, QMessageBox::Ok},
    {ButtonYes, QMessageBox::Yes},
    {ButtonRetry, QMessageBox::Retry},
    {ButtonNo, QMessageBox::No},
    {ButtonCancel, QMessageBox::Cancel},
}};

QMessageBox::Icon IconFor(BoxKind kind) {
  switch (kind) {
    case BoxKind::Error: return QMessageBox::Critical;
    case BoxKind::Information: return QMessageBox::Information;
    case BoxKind::Confirmation: return QMessageBox::Question;
    case BoxKind::Warning: return QMessageBox::Warning;
  }
  return QMessageBox::NoIcon;
}

Button Show(const QString& title, QMessageBox::Icon icon, const std::string& text, unsigned buttons,
            const std::string& details = {}) {
  buttons &= ButtonOk | ButtonYes | ButtonNo | ButtonRetry | ButtonCancel;
  if (buttons == 0) buttons = ButtonOk;

  QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::NoButton, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);  // paths and archive names may look like markup
  if (!details.empty()) box.setDetailedText(QString::fromStdString(details));
  for (const auto& [bit, standard] : kButtons)
    if (buttons & bit) {
      box.addButton(standard);
      if (!box.defaultButton()) box.setDefaultButton(standard);
    }
  const Button dismiss = DismissAnswer(buttons);
  for (const auto& [bit, standard] : kButtons)
    if (bit == dismiss && (buttons & bit)) box.setEscapeButton(standard);

  box.exec();
  const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
  for (const auto& [bit, standard] : kButtons)
    if (standard == pressed && (buttons & bit)) return bit;
  return dismiss;
}

}  // namespace

void QtPrompter::error(const std::string& text) { Show(title_, QMessageBox::Critical, text, ButtonOk); }

void QtPrompter::errorWithDetails(const std::string& text, const std::string& details) {
  Show(title_, QMessageBox::Critical, text, ButtonOk, details);
}

void QtPrompter::info(const std::string& text) { Show(title_, QMessageBox::Information, text, ButtonOk); }

Button QtPrompter::ask(BoxKind kind, const std::string& text, unsigned buttons) {
  return Show(title_, IconFor(kind), text, buttons);
}

void QtPrompter::plain(const std::string& text) { Show(title_, QMessageBox::NoIcon, text, ButtonOk); }

}  // namespace platform
