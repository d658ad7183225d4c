#include "Reporter.h"

#include <algorithm>

#include "MemberNames.h"

namespace jar32::cli {

namespace {
constexpr size_t kHoldLimit = 1 << 20;
}

void Reporter::emit(const std::string& line) {
  if (!stream_) return;
  // Names and texts from the command line, the disk or an archive: never raw to a terminal.
  std::fputs(escaped(line).c_str(), stream_);
  std::fputc('\n', stream_);
}

void Reporter::warning(const std::string& text) { problem(1, "warning: " + text); }

void Reporter::problem(int code, const std::string& text) {
  raise(code);
  const std::string line = "jar32: " + text;
  if (streaming_) {
    emit(line);
    return;
  }
  held_.push_back(line);
  heldBytes_ += line.size() + 1;
  if (heldBytes_ > kHoldLimit) {
    // Past this much, a short password report is out of the question anyway.
    for (const auto& l : held_) emit(l);
    held_.clear();
    streaming_ = true;
  }
}

int Reporter::fail(int code, const std::string& message) {
  const bool passwordMarker = message.find("ERROR #174") != std::string::npos ||
                              message.find("ERROR #168") != std::string::npos;
  if (!passwordMarker)
    for (const auto& l : held_) emit(l);
  held_.clear();
  emit(passwordMarker ? message : "jar32: " + message);
  if (stream_) std::fflush(stream_);
  code_ = code;
  return code_;
}

int Reporter::finish() {
  for (const auto& l : held_) emit(l);
  held_.clear();
  if (stream_) std::fflush(stream_);
  return code_;
}

}  // namespace jar32::cli
