#pragma once
// File and folder pickers. Windows ask through one FileChooser so that tests can answer for the user.

#include <optional>
#include <string>

namespace platform {

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Each returns the chosen path (UTF-8, absolute), or nothing when the user cancelled.
  // filter uses the "Jar archives (*.j *.jar);;All files (*)" form; empty means every file.

  // An existing file.
  virtual std::optional<std::string> openFile(const std::string& title, const std::string& startFolder,
                                              const std::string& filter) = 0;
  // A file to write; startPath may name a folder or a proposed file.
  virtual std::optional<std::string> saveFile(const std::string& title, const std::string& startPath,
                                              const std::string& filter) = 0;
  // An existing folder; mayCreate lets the user make a new one in the picker.
  virtual std::optional<std::string> folder(const std::string& title, const std::string& startFolder,
                                            bool mayCreate) = 0;
};

}  // namespace platform
