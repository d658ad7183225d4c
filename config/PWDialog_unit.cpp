#include "config/PWDialog_unit.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "driver/AppTitle.h"
#include "platform/qt/HashMask.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

constexpr int kClientWidth = 214;
constexpr int kClientHeight = 87;

}  // namespace

TPWDialog::TPWDialog(TConfig& config, platform::Prompter& prompter, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      config_(config),
      prompter_(prompter) {
  setObjectName("PWDialog");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - Password");

  Label1 = new QLabel("Enter password:", this);
  Edit1 = new QLineEdit(this);
  CheckBox1 = new QCheckBox("Hide", this);
  Button1 = new QPushButton("&Ok", this);
  Button2 = new QPushButton("&Cancel", this);
  Label1->setObjectName("Label1");
  Edit1->setObjectName("Edit1");
  CheckBox1->setObjectName("CheckBox1");
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");

  platform::UseHashMask(Edit1);
  Label1->setBuddy(Edit1);
  Button1->setDefault(true);
  CheckBox1->setChecked(true);

  Edit1->setAccessibleName("Password");

  // The box across the top; "Hide" and the buttons on one line below it.
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addWidget(CheckBox1);
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 8);
  layout->setSpacing(2);
  layout->addWidget(Label1);
  layout->addWidget(Edit1);
  layout->addStretch();
  layout->addLayout(buttons);
  // Never smaller than the classic size, larger where a bigger font needs it.
  setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));

  connect(CheckBox1, &QCheckBox::toggled, this, &TPWDialog::CheckBox1Click);
  connect(Button1, &QPushButton::clicked, this, &TPWDialog::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TPWDialog::Button2Click);
  CheckBox1Click();

  platform::PlaceDialog(this, owner);
}

bool TPWDialog::AskPassword() {
  Edit1->setText(QString::fromStdString(config_.password));
  QPointer<TPWDialog> self(this);
  const int result = exec();
  if (!self || result != QDialog::Accepted) return false;
  config_.StorePassword(Edit1->text().toStdString());
  return true;
}

void TPWDialog::CheckBox1Click() {
  platform::SetMasked(Edit1, CheckBox1->isChecked());
}

void TPWDialog::Button1Click() {
  const QString text = Edit1->text();
  if (text.isEmpty() || TConfig::IsValidPassword(text.toStdString())) {
    accept();
    return;
  }
  prompter_.error(text.contains(u'"') ? TConfig::kPasswordQuoteMessage : "Invalid password ! Try again.");
  Edit1->setFocus();
}

void TPWDialog::Button2Click() { reject(); }

void TPWDialog::FormShow() { Edit1->setFocus(); }

void TPWDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}
