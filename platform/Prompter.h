#pragma once
// Modal message boxes. Every message to the user goes through one Prompter.

#include <string>

namespace platform {

enum class BoxKind { Error, Information, Confirmation, Warning };

enum Button : unsigned { ButtonOk = 1, ButtonYes = 2, ButtonNo = 4, ButtonRetry = 8, ButtonCancel = 16 };

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void error(const std::string& text) = 0;  // error icon, OK
  virtual void info(const std::string& text) = 0;   // information icon, OK
  // Shows exactly the buttons given (a set of Button bits; none means OK) and returns the one
  // pressed. Escape or closing the box counts as Cancel if offered, else No, else OK.
  virtual Button ask(BoxKind kind, const std::string& text, unsigned buttons) = 0;
  virtual void plain(const std::string& text) = 0;  // no icon, OK; the application's title
  // An error box whose details are folded away until asked for ("Show details"). Where details
  // cannot be shown, the plain error box.
  virtual void errorWithDetails(const std::string& text, const std::string& details) {
    (void)details;
    error(text);
  }
};

// The answer a box gives when it is dismissed without pressing a button.
inline Button DismissAnswer(unsigned buttons) {
  if (buttons & ButtonCancel) return ButtonCancel;
  if (buttons & ButtonNo) return ButtonNo;
  return ButtonOk;
}

}  // namespace platform
