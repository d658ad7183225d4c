#include "mainwindow/VolumeSet.h"

#include "platform/FileOperation.h"
#include "platform/Files.h"

namespace {

constexpr int kMostVolumes = 9999;
constexpr int kMostNumbers = 100000;

bool SetIsFree(const std::string& first, const std::vector<std::string>& suffixes) {
  if (platform::PathExists(first)) return false;
  for (const std::string& suffix : suffixes)
    if (platform::PathExists(first + suffix)) return false;
  return true;
}

}  // namespace

std::string VolumeSuffix(int index) { return (index < 10 ? "0" : "") + std::to_string(index); }

std::vector<std::string> FurtherVolumeSuffixes(const std::string& first) {
  std::vector<std::string> suffixes;
  if (first.empty()) return suffixes;
  for (int index = 1; index < kMostVolumes; ++index) {
    const std::string suffix = VolumeSuffix(index);
    if (!platform::FileExists(first + suffix)) break;
    suffixes.push_back(suffix);
  }
  return suffixes;
}

std::string FreeSetName(const std::string& wanted, const std::vector<std::string>& suffixes) {
  if (SetIsFree(wanted, suffixes)) return wanted;
  std::string candidate;
  for (int number = 2; number <= kMostNumbers; ++number) {
    candidate = platform::NumberedName(wanted, number);
    if (SetIsFree(candidate, suffixes)) break;
  }
  return candidate;
}
