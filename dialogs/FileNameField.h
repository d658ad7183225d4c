#pragma once
// A file-name field that browses by itself: "..." picks the name in a file dialog that starts in
// the field's initial folder (or in the folder of the name already there).

#include <string>

#include "dialogs/PathField.h"
#include "platform/FileChooser.h"

class FileNameField : public PathField {
  Q_OBJECT

 public:
  enum class Pick { ExistingFile, FileToWrite };

  // name is the control's objectName; what names the field for screen readers and the picker.
  FileNameField(const QString& name, const QString& what, Pick pick, platform::FileChooser& chooser,
                QWidget* parent);

  // The name as UTF-8 text.
  std::string text() const;
  void setText(const std::string& text);
  void setInitialFolder(const std::string& folder) { initialFolder_ = folder; }
  const std::string& initialFolder() const { return initialFolder_; }
  void setFilter(const std::string& filter) { filter_ = filter; }
  void setHint(const QString& hint);

  // Asks the chooser; a chosen path replaces the text.
  void Browse();

 private:
  platform::FileChooser& chooser_;
  Pick pick_;
  std::string title_;
  std::string initialFolder_;
  std::string filter_;
};
