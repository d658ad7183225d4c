# cmake -DICON_DIR=<resources/icons> -DOUTPUT=<file.cpp> -P EmbedIcons.cmake
# Writes the C++ source of association::ShippedIcons(): the SVG and every PNG size as bytes.
file(GLOB pngs RELATIVE ${ICON_DIR} ${ICON_DIR}/hicolor/*/apps/tamber.png)
list(SORT pngs)
set(entries "  {\"scalable\", \"tamber.svg\", Bytes(kIcon0, sizeof kIcon0)},\n")
set(arrays "")
set(index 0)
foreach(file tamber.svg ${pngs})
  file(READ ${ICON_DIR}/${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kIcon${index}[] = {\n${bytes}};\n")
  if(NOT file STREQUAL tamber.svg)
    string(REGEX REPLACE "^hicolor/([^/]+)/apps/.*$" "\\1" size "${file}")
    string(APPEND entries "  {\"${size}\", \"tamber.png\", Bytes(kIcon${index}, sizeof kIcon${index})},\n")
  endif()
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new
"// Generated from resources/icons by config/EmbedIcons.cmake; do not edit.
#include \"config/ShippedIcons.h\"

namespace association {
namespace {

std::string_view Bytes(const unsigned char* data, unsigned long size) {
  return {reinterpret_cast<const char*>(data), size};
}

${arrays}
const ShippedIcon kIcons[] = {
${entries}};

}  // namespace

std::span<const ShippedIcon> ShippedIcons() { return kIcons; }

}  // namespace association
")
# Touch the output only when it changed, so that nothing rebuilds for nothing.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
file(REMOVE ${OUTPUT}.new)
