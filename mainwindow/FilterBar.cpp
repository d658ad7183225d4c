#include "mainwindow/FilterBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName("FilterBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* label = new QLabel("&Filter:");
  label->setObjectName("FilterLabel");
  edit_ = new QLineEdit;
  edit_->setObjectName("FilterEdit");
  edit_->setAccessibleName("Filter the list");
  edit_->setPlaceholderText("Part of a name or path, or a pattern with * and ?");
  edit_->setClearButtonEnabled(false);
  label->setBuddy(edit_);
  close_ = new QToolButton;
  close_->setObjectName("FilterCloseBtn");
  close_->setAccessibleName("Close the filter");
  close_->setToolTip("Close the filter (Esc)");
  close_->setIcon(QIcon::fromTheme("window-close", style()->standardIcon(QStyle::SP_DialogCloseButton)));
  close_->setAutoRaise(true);
  layout->addWidget(label);
  layout->addWidget(edit_, 1);
  layout->addWidget(close_);
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::textChanged, this, &FilterBar::textChanged);
  connect(close_, &QToolButton::clicked, this, &FilterBar::End);
  hide();
}

QString FilterBar::text() const { return edit_->text(); }

void FilterBar::Begin() {
  show();
  edit_->setFocus(Qt::ShortcutFocusReason);
  edit_->selectAll();
}

void FilterBar::End() {
  edit_->clear();
  hide();
  emit ended();
}

bool FilterBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
      End();
      return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
      emit toList();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
