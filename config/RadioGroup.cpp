#include "config/RadioGroup.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
  grid_->setColumnStretch(1, 1);
  for (const QString& caption : items) {
    auto* button = new QRadioButton(caption, this);
    buttons_->addButton(button, count());
    grid_->addWidget(button, count(), 0, 1, 2);
    items_.push_back(button);
    button->installEventFilter(this);
  }
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) emit clicked();
  });
}

int RadioGroup::itemIndex() const {
  for (int i = 0; i < count(); ++i)
    if (item(i)->isChecked()) return i;
  return -1;
}

void RadioGroup::setItemIndex(int index) {
  index = std::min(std::max(index, -1), count() - 1);
  if (index == itemIndex()) {
    emit clicked();
    return;
  }
  if (index >= 0) {
    item(index)->setChecked(true);  // emits clicked through the toggle
    return;
  }
  buttons_->setExclusive(false);
  for (QRadioButton* button : items_) button->setChecked(false);
  buttons_->setExclusive(true);
  emit clicked();
}

void RadioGroup::removeItem(int index) {
  QRadioButton* button = item(index);
  const bool wasSelected = button->isChecked();
  buttons_->removeButton(button);
  items_.erase(items_.begin() + index);
  delete button;
  for (int i = index; i < count(); ++i) buttons_->setId(item(i), i);
  if (wasSelected) emit clicked();
}

void RadioGroup::setField(int index, QWidget* field) {
  grid_->removeWidget(item(index));
  grid_->addWidget(item(index), index, 0);
  grid_->addWidget(field, index, 1);
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    const int selected = itemIndex();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && selected >= 0 &&
        watched != item(selected))
      item(selected)->setFocus(reason);
  }
  return QGroupBox::eventFilter(watched, event);
}
