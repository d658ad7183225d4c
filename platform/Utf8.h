#pragma once
#include <cstddef>
#include <string_view>

namespace platform {

// Number of characters in UTF-8 text (bytes that do not continue a character).
inline size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

}  // namespace platform
