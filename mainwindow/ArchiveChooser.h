#pragma once
// The main window's file picker: a new archive's name is picked like any file to write, but the
// picker does not ask about replacing a file that exists (the window asks whether to open it), and
// a name typed without extension gets ".j".

#include "platform/qt/QtFileChooser.h"

class ArchiveChooser : public platform::QtFileChooser {
 public:
  std::optional<std::string> saveFile(const std::string& title, const std::string& startPath,
                                      const std::string& filter) override;
};
