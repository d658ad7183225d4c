#include "config/BrowseEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

BrowseEdit::BrowseEdit(const QString& accessibleName, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
  edit_->setAccessibleName(accessibleName);
  browse_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  browse_->setAccessibleName("Browse for " + accessibleName);
  browse_->setFocusPolicy(Qt::StrongFocus);  // reachable by Tab like the box
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);
  setFocusProxy(edit_);
  connect(browse_, &QToolButton::clicked, this, &BrowseEdit::browseClicked);
}

QString BrowseEdit::text() const { return edit_->text(); }

void BrowseEdit::setText(const QString& text) {
  edit_->setText(text);
  edit_->setCursorPosition(0);  // a long path shows its beginning
}
