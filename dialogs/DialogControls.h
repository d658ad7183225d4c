#pragma once
// Small makers for the operation dialogs' controls: each gets its documented objectName, and
// controls without a caption of their own get an accessible name.

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QString>
#include <QStringList>

inline QCheckBox* NewCheckBox(QWidget* parent, const char* name, const QString& caption, bool checked = false,
                              const QString& hint = {}) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(checked);
  if (!hint.isEmpty()) box->setToolTip(hint);
  return box;
}

inline QRadioButton* NewRadioButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QRadioButton(caption, parent);
  button->setObjectName(name);
  return button;
}

// A choice list the user cannot type into.
inline QComboBox* NewChoiceBox(QWidget* parent, const char* name, const QString& accessibleName,
                               const QStringList& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setAccessibleName(accessibleName);
  box->addItems(items);
  return box;
}

inline QPlainTextEdit* NewMemo(QWidget* parent, const char* name, const QString& accessibleName,
                               const QString& hint = {}) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setAccessibleName(accessibleName);
  memo->setTabChangesFocus(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  if (!hint.isEmpty()) memo->setToolTip(hint);
  return memo;
}
