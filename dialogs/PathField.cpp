#include "dialogs/PathField.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

PathField::PathField(const QString& name, const QString& accessibleName, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(name + "Edit");
  edit_->setAccessibleName(accessibleName);
  edit_->setMinimumWidth(edit_->fontMetrics().averageCharWidth() * 16);
  button_ = new QToolButton(this);
  button_->setObjectName(name + "Browse");
  button_->setText("...");
  button_->setAccessibleName("Browse: " + accessibleName);
  button_->setToolTip("Browse");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_, 1);
  layout->addWidget(button_);
  setFocusProxy(edit_);
  connect(button_, &QToolButton::clicked, this, &PathField::browseClicked);
}

QString PathField::text() const { return edit_->text(); }
void PathField::setText(const QString& text) { edit_->setText(text); }
