#include "dialogs/FileNameField.h"

#include <QLineEdit>
#include <QToolButton>

#include "platform/Files.h"
#include "platform/Paths.h"

FileNameField::FileNameField(const QString& name, const QString& what, Pick pick, platform::FileChooser& chooser,
                             QWidget* parent)
    : PathField(name, what, parent), chooser_(chooser), pick_(pick), title_(what.toStdString()) {
  browseButton()->setFocusPolicy(Qt::StrongFocus);
  connect(this, &PathField::browseClicked, this, &FileNameField::Browse);
}

std::string FileNameField::text() const { return PathField::text().toStdString(); }

void FileNameField::setText(const std::string& text) { PathField::setText(QString::fromStdString(text)); }

void FileNameField::setHint(const QString& hint) { edit()->setToolTip(hint); }

void FileNameField::Browse() {
  // A name already typed with an existing folder starts the picker there.
  const std::string typed = platform::StripQuotes(text());
  const std::string typedFolder = platform::FolderPart(typed);
  std::string start = !typedFolder.empty() && platform::IsFolder(typedFolder) ? typed : initialFolder_;
  std::optional<std::string> chosen = pick_ == Pick::ExistingFile ? chooser_.openFile(title_, start, filter_)
                                                                   : chooser_.saveFile(title_, start, filter_);
  if (chosen) setText(*chosen);
  edit()->setFocus();
}
