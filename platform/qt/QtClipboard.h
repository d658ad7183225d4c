#pragma once
// Clipboard over QGuiApplication's clipboard.

#include "platform/Clipboard.h"

namespace platform {

class QtClipboard : public Clipboard {
 public:
  std::vector<std::string> formats() const override;
  std::string data(const std::string& mimeType) const override;
  void setText(const std::string& text) override;
};

}  // namespace platform
