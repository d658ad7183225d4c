#pragma once
// Test double for platform::FileChooser: answers each pick from a queue and records what was asked.
//
//   ScriptedFileChooser chooser;
//   chooser.answer("/tmp/x/backup.j");   // the next pick of any kind chooses this
//   chooser.cancel();                    // the one after it is cancelled
//
// A pick with nothing queued fails the current test and counts as cancelled.

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileChooser.h"

namespace testsupport {

struct FileChooserCall {
  std::string kind;  // "open", "save" or "folder"
  std::string title;
  std::string start;
  std::string filter;  // for folders: "create" when the picker may create one, else ""
};

class ScriptedFileChooser : public platform::FileChooser {
 public:
  ~ScriptedFileChooser() override { verifyDone(); }

  void answer(std::string path) { queue_.push_back(std::move(path)); }
  void cancel() { queue_.push_back(std::nullopt); }
  void verifyDone() {
    if (!queue_.empty()) ADD_FAILURE() << queue_.size() << " scripted file pick(s) never asked for";
    queue_.clear();
  }
  const std::vector<FileChooserCall>& calls() const { return calls_; }

  std::optional<std::string> openFile(const std::string& title, const std::string& startFolder,
                                      const std::string& filter) override {
    return pick({"open", title, startFolder, filter});
  }
  std::optional<std::string> saveFile(const std::string& title, const std::string& startPath,
                                      const std::string& filter) override {
    return pick({"save", title, startPath, filter});
  }
  std::optional<std::string> folder(const std::string& title, const std::string& startFolder,
                                    bool mayCreate) override {
    return pick({"folder", title, startFolder, mayCreate ? "create" : ""});
  }

 private:
  std::optional<std::string> pick(FileChooserCall call) {
    calls_.push_back(call);
    if (queue_.empty()) {
      ADD_FAILURE() << "Unexpected " << call.kind << " pick \"" << call.title << "\" at \"" << call.start << "\"";
      return std::nullopt;
    }
    auto result = std::move(queue_.front());
    queue_.pop_front();
    return result;
  }

  std::deque<std::optional<std::string>> queue_;
  std::vector<FileChooserCall> calls_;
};

}  // namespace testsupport
