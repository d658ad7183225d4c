#pragma once
// A file-name field with a browse button: the name as text, and "..." to pick it in a file dialog
// that starts in the field's initial folder (or in the folder of the name already there).

#include <QWidget>
#include <string>

#include "platform/FileChooser.h"

class QLineEdit;
class QToolButton;

class FileNameField : public QWidget {
  Q_OBJECT

 public:
  enum class Pick { ExistingFile, FileToWrite };

  // name is the control's objectName; what names the field for screen readers and the picker.
  FileNameField(const QString& name, const QString& what, Pick pick, platform::FileChooser& chooser,
                QWidget* parent);

  std::string text() const;
  void setText(const std::string& text);
  void setInitialFolder(const std::string& folder) { initialFolder_ = folder; }
  const std::string& initialFolder() const { return initialFolder_; }
  void setFilter(const std::string& filter) { filter_ = filter; }
  void setHint(const QString& hint);

  QLineEdit* edit() const { return edit_; }
  QToolButton* browseButton() const { return browse_; }

  // Asks the chooser; a chosen path replaces the text.
  void Browse();

 private:
  QLineEdit* edit_;
  QToolButton* browse_;
  platform::FileChooser& chooser_;
  Pick pick_;
  std::string title_;
  std::string initialFolder_;
  std::string filter_;
};
