#pragma once
// The main window's file picker: a file to write (a new archive, the archiver's configuration file)
// is picked without a question about replacing one that exists (the window decides what an
// existing file means), and a name typed without extension gets the first extension of the filter
// (".j" for archives).

#include "platform/qt/QtFileChooser.h"

class ArchiveChooser : public platform::QtFileChooser {
 public:
  std::optional<std::string> saveFile(const std::string& title, const std::string& startPath,
                                      const std::string& filter) override;
};

// The extension of the first "*.ext" pattern of a "Name (*.a *.b);;..." filter, without its dot;
// "" when the filter has none.
std::string FirstFilterSuffix(const std::string& filter);
