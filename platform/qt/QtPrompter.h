#pragma once
// Prompter shown with QMessageBox, over the active window, captioned with the application's title.

#include <QString>

#include "platform/Prompter.h"

namespace platform {

class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QString title) : title_(std::move(title)) {}

  void error(const std::string& text) override;
  void info(const std::string& text) override;
  Button ask(BoxKind kind, const std::string& text, unsigned buttons) override;
  void plain(const std::string& text) override;
  void errorWithDetails(const std::string& text, const std::string& details) override;

 private:
  QString title_;
};

}  // namespace platform
