#include "dialogs/FileNameField.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

#include "platform/Files.h"
#include "platform/Paths.h"

FileNameField::FileNameField(const QString& name, const QString& what, Pick pick, platform::FileChooser& chooser,
                             QWidget* parent)
    : QWidget(parent), chooser_(chooser), pick_(pick), title_(what.toStdString()) {
  setObjectName(name);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(name + "Edit");
  edit_->setAccessibleName(what);
  browse_ = new QToolButton(this);
  browse_->setObjectName(name + "Browse");
  browse_->setText("...");
  browse_->setAccessibleName("Browse: " + what);
  browse_->setToolTip("Browse");
  browse_->setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(edit_);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);

  connect(browse_, &QToolButton::clicked, this, &FileNameField::Browse);
}

std::string FileNameField::text() const { return edit_->text().toStdString(); }

void FileNameField::setText(const std::string& text) { edit_->setText(QString::fromStdString(text)); }

void FileNameField::setHint(const QString& hint) { edit_->setToolTip(hint); }

void FileNameField::Browse() {
  // A name already typed with an existing folder starts the picker there.
  const std::string typed = platform::StripQuotes(text());
  const std::string typedFolder = platform::FolderPart(typed);
  std::string start = !typedFolder.empty() && platform::IsFolder(typedFolder) ? typed : initialFolder_;
  std::optional<std::string> chosen = pick_ == Pick::ExistingFile ? chooser_.openFile(title_, start, filter_)
                                                                   : chooser_.saveFile(title_, start, filter_);
  if (chosen) setText(*chosen);
  edit_->setFocus();
}
