#include "mainwindow/ArchiveName.h"

std::string LiteralArchiveName(std::string path, platform::PathStyle style) {
  if (style == platform::PathStyle::Windows && platform::ExtensionPart(path, style).empty() && !path.ends_with('.'))
    path += '.';
  return path;
}
