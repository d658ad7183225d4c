#pragma once
// FileChooser shown with QFileDialog over the active window.

#include "platform/FileChooser.h"

namespace platform {

class QtFileChooser : public FileChooser {
 public:
  std::optional<std::string> openFile(const std::string& title, const std::string& startFolder,
                                      const std::string& filter) override;
  std::optional<std::string> saveFile(const std::string& title, const std::string& startPath,
                                      const std::string& filter) override;
  std::optional<std::string> folder(const std::string& title, const std::string& startFolder,
                                    bool mayCreate) override;
};

}  // namespace platform
