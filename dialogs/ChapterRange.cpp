#include "dialogs/ChapterRange.h"

#include <QLabel>
#include <QLineEdit>

namespace {
constexpr int kDesignedLastChapter = 1000;
}

ChapterUpDown::ChapterUpDown(const QString& upDownName, const QString& editName, const QString& accessibleName,
                             QWidget* parent)
    : QSpinBox(parent) {
  setObjectName(upDownName);
  lineEdit()->setObjectName(editName);
  lineEdit()->setReadOnly(true);
  // The spin box sizes its frameless number box itself, from the style, not from the box's hint.
  lineEdit()->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  lineEdit()->setAccessibleName(accessibleName);
  setAccessibleName(accessibleName);
  setGroupSeparatorShown(false);
  setWrapping(false);
  setRange(1, 1);
  setValue(1);
}

ChapterRange::ChapterRange(QWidget* parent) : QObject(parent) {
  from_ = new ChapterUpDown("UpDown1", "FromEdit", "From chapter", parent);
  toLabel_ = new QLabel("To:", parent);
  toLabel_->setObjectName("Label4");
  to_ = new ChapterUpDown("UpDown2", "ToEdit", "To chapter", parent);
  toLabel_->setBuddy(to_);
  to_->setRange(1, kDesignedLastChapter);
  // The widest number decides the width, so the box never grows when the bound changes.
  to_->setMinimumWidth(to_->sizeHint().width());
  from_->setMinimumWidth(to_->sizeHint().width());

  connect(from_, &QSpinBox::valueChanged, to_, [this](int value) { to_->setMinimum(value); });
  connect(to_, &QSpinBox::valueChanged, from_, [this](int value) { from_->setMaximum(value); });
  SetEnabled(false);
}

void ChapterRange::SetLastChapter(int lastChapter) {
  if (lastChapter < 1) return;
  // A To beyond it comes down, and its change brings From's bound (and From) along.
  to_->setMaximum(lastChapter);
}

void ChapterRange::SetEnabled(bool enabled) {
  from_->setEnabled(enabled);
  to_->setEnabled(enabled);
  toLabel_->setEnabled(enabled);
}
