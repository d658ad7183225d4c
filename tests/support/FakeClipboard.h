#pragma once
// Test double for platform::Clipboard: formats and their bytes set by the test.

#include <map>
#include <string>
#include <vector>

#include "platform/Clipboard.h"

namespace testsupport {

class FakeClipboard : public platform::Clipboard {
 public:
  void set(const std::string& mimeType, std::string bytes) { data_[mimeType] = std::move(bytes); }
  void clear() { data_.clear(); }

  std::vector<std::string> formats() const override {
    std::vector<std::string> out;
    for (const auto& entry : data_) out.push_back(entry.first);
    return out;
  }
  std::string data(const std::string& mimeType) const override {
    auto it = data_.find(mimeType);
    return it == data_.end() ? std::string() : it->second;
  }
  void setText(const std::string& text) override {
    data_.clear();
    data_["text/plain"] = text;
  }

 private:
  std::map<std::string, std::string> data_;
};

}  // namespace testsupport
