// The help text of jar32.exe.
#pragma once

#include <string_view>

namespace jar32::cli {

std::string_view usageText();

}  // namespace jar32::cli
