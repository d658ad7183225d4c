// A bad command line, argument file or jar.cfg (exit code 7).
#pragma once

#include <stdexcept>
#include <string>

namespace jar32::cli {

struct UsageError : std::runtime_error {
  explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace jar32::cli
