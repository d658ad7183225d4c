#pragma once
// The application icon, built into the program from resources/icons so that it can be installed
// into the icon theme folders from wherever the program runs.

#include <span>
#include <string_view>

namespace association {

struct ShippedIcon {
  const char* sizeFolder;  // folder under the theme: "scalable" or "48x48"
  const char* fileName;    // "tamber.svg", "tamber.png"
  std::string_view bytes;
};

std::span<const ShippedIcon> ShippedIcons();

}  // namespace association
