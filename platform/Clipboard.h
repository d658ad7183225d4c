#pragma once
// The desktop clipboard, read by format so that file lists from file managers can be recognised.

#include <string>
#include <vector>

namespace platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // MIME types offered now ("text/plain", "text/uri-list", "x-special/gnome-copied-files", ...).
  virtual std::vector<std::string> formats() const = 0;
  // The bytes offered for a MIME type; empty when it is not offered.
  virtual std::string data(const std::string& mimeType) const = 0;
  // Replaces the clipboard's contents with plain text (UTF-8).
  virtual void setText(const std::string& text) = 0;
};

}  // namespace platform
