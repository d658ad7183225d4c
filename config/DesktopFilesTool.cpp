// tamber-desktop-files <program path> <folder>: writes the desktop entry (tamber.desktop) and the
// MIME package (tamber.xml) of an installed program into the folder. Used by the install step.

#include <cstdio>
#include <fstream>
#include <string>

#include "config/AssociationFiles.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::fprintf(stderr, "tamber-desktop-files: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tamber-desktop-files <program path> <folder>\n");
    return 2;
  }
  const std::string program = argv[1];
  if (!association::IsUsableProgramPath(program)) {
    std::fprintf(stderr, "tamber-desktop-files: unusable program path: %s\n", program.c_str());
    return 2;
  }
  const std::string folder = std::string(argv[2]) + "/";
  const bool ok = Write(folder + association::kDesktopId, association::DesktopEntryText(program)) &&
                  Write(folder + association::kMimePackageFile, association::MimePackageText());
  return ok ? 0 : 1;
}
