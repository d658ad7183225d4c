#include "mainwindow/AboutBox.h"

#include <QBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "driver/AppTitle.h"
#include "platform/qt/PlaceDialogWidget.h"

AboutBox::AboutBox(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("AboutBox");
  setWindowTitle("About " + QString::fromUtf8(kAppTitle));

  auto* icon = new QLabel(this);
  icon->setObjectName("ProgramIcon");
  const QIcon programIcon = owner && !owner->windowIcon().isNull() ? owner->windowIcon()
                                                                    : style()->standardIcon(QStyle::SP_MessageBoxInformation);
  icon->setPixmap(programIcon.pixmap(48, 48));
  icon->setAccessibleName("Tamber");

  auto* text = new QLabel(this);
  text->setObjectName("AboutText");
  text->setTextFormat(Qt::RichText);
  text->setText(QString("<p><b>%1</b></p>"
                        "<p>A desktop archive manager for JAR archives: it drives the archiver JAR32 "
                        "(jar32.exe) and shows what the archives hold.</p>"
                        "<p>Built with Qt %2, running on Qt %3, and the C++ standard library.<br>"
                        "jar32.exe uses zstd, libsodium, libgcrypt, ISA-L and xxHash.</p>")
                    .arg(QString::fromUtf8(kAppTitle), QT_VERSION_STR, qVersion()));
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setWordWrap(true);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  text->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  platform::PlaceDialog(this, owner);
}
