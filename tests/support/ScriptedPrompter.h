#pragma once
// Test double for platform::Prompter: answers from a queue of expected boxes and records every box.
//
//   ScriptedPrompter prompter;
//   prompter.expect(BoxKind::Error, "Tamber is not properly associated to \".j\"\nDo you want it corrected ?",
//                   ButtonNo, ButtonYes | ButtonNo);
//   ... code under test ...
//   prompter.verifyDone();
//
// error(), info() and plain() match the kinds Error, Information and PlainBox with the OK button.
// A box that does not match the front of the queue, or comes when the queue is empty, fails the
// current test; it is then dismissed (Cancel if offered, else No, else OK).

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Prompter.h"

namespace testsupport {

// The kind recorded for plain(): a box without icon.
inline constexpr platform::BoxKind PlainBox = static_cast<platform::BoxKind>(100);

struct PromptCall {
  platform::BoxKind kind;
  std::string text;
  unsigned buttons;
  std::string details = {};  // of errorWithDetails
};

inline std::string KindName(platform::BoxKind kind) {
  switch (kind) {
    case platform::BoxKind::Error: return "Error";
    case platform::BoxKind::Information: return "Information";
    case platform::BoxKind::Confirmation: return "Confirmation";
    case platform::BoxKind::Warning: return "Warning";
  }
  return kind == PlainBox ? "Plain" : "kind " + std::to_string(static_cast<int>(kind));
}

inline std::string ButtonNames(unsigned buttons) {
  static const std::pair<unsigned, const char*> names[] = {{platform::ButtonOk, "Ok"},
                                                           {platform::ButtonYes, "Yes"},
                                                           {platform::ButtonNo, "No"},
                                                           {platform::ButtonRetry, "Retry"},
                                                           {platform::ButtonCancel, "Cancel"}};
  std::string out;
  for (const auto& [bit, name] : names)
    if (buttons & bit) out += (out.empty() ? "" : "|") + std::string(name);
  return out.empty() ? "none" : out;
}

inline std::string Describe(platform::BoxKind kind, const std::string& text, unsigned buttons) {
  std::ostringstream s;
  s << KindName(kind) << " box \"" << text << "\" [" << ButtonNames(buttons) << "]";
  return s.str();
}

class ScriptedPrompter : public platform::Prompter {
 public:
  ScriptedPrompter() = default;
  ScriptedPrompter(const ScriptedPrompter&) = delete;
  ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;
  ~ScriptedPrompter() override { verifyDone(); }

  // Queues the next box expected; buttons 0 does not check the offered buttons.
  void expect(platform::BoxKind kind, std::string text, platform::Button answer = platform::ButtonOk,
              unsigned buttons = 0) {
    queue_.push_back({kind, std::move(text), answer, buttons});
  }

  // Fails the current test when expected boxes did not come; forgets them.
  void verifyDone() {
    for (const auto& e : queue_)
      ADD_FAILURE() << "Expected message box never shown: " << Describe(e.kind, e.text, e.buttons);
    queue_.clear();
  }

  const std::vector<PromptCall>& calls() const { return calls_; }
  // Just the texts, in the order shown.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& c : calls_) out.push_back(c.text);
    return out;
  }

  void error(const std::string& text) override { show(platform::BoxKind::Error, text, platform::ButtonOk); }
  void info(const std::string& text) override { show(platform::BoxKind::Information, text, platform::ButtonOk); }
  void plain(const std::string& text) override { show(PlainBox, text, platform::ButtonOk); }
  // Matched as error(text); the details are recorded with the call.
  void errorWithDetails(const std::string& text, const std::string& details) override {
    show(platform::BoxKind::Error, text, platform::ButtonOk);
    calls_.back().details = details;
  }
  platform::Button ask(platform::BoxKind kind, const std::string& text, unsigned buttons) override {
    return show(kind, text, buttons);
  }

 private:
  struct Expected {
    platform::BoxKind kind;
    std::string text;
    platform::Button answer;
    unsigned buttons;
  };

  platform::Button show(platform::BoxKind kind, const std::string& text, unsigned buttons) {
    calls_.push_back({kind, text, buttons});
    const platform::Button dismissed = platform::DismissAnswer(buttons);
    if (queue_.empty()) {
      ADD_FAILURE() << "Unexpected message box: " << Describe(kind, text, buttons);
      return dismissed;
    }
    Expected e = std::move(queue_.front());
    queue_.pop_front();
    if (e.kind != kind || e.text != text || (e.buttons != 0 && e.buttons != buttons)) {
      ADD_FAILURE() << "Message box differs from the expected one.\n  expected: "
                    << Describe(e.kind, e.text, e.buttons) << "\n    actual: " << Describe(kind, text, buttons);
      return dismissed;
    }
    if (!(e.answer & buttons) && !(e.answer == platform::ButtonOk && buttons == 0)) {
      ADD_FAILURE() << "Scripted answer " << ButtonNames(e.answer)
                    << " is not offered by: " << Describe(kind, text, buttons);
      return dismissed;
    }
    return e.answer;
  }

  std::deque<Expected> queue_;
  std::vector<PromptCall> calls_;
};

}  // namespace testsupport
