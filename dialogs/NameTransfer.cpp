#include "dialogs/NameTransfer.h"

#include "driver/TJarExec_unit.h"

void TransferNames(TJar& jar, bool allFiles, bool linesAreWildcards, const std::vector<std::string>& lines) {
  jar.fileList.clear();
  if (allFiles) jar.fileList.push_back("*");
  jar.excludeList.clear();
  jar.useExcludeList = false;
  for (const std::string& line : lines) {
    if (linesAreWildcards) {
      jar.fileList.push_back(line);
    } else {
      jar.excludeList.push_back(line);
      jar.useExcludeList = true;
    }
  }
}
