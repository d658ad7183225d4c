#include "mainwindow/MaintenancePaths.h"

#include <filesystem>
#include <system_error>

#include "platform/Files.h"

std::string RecoveryTarget(const std::string& damagedArchive, platform::PathStyle style) {
  return platform::FolderPart(damagedArchive, style) + "$recover.j";
}

std::string JarConfigFolder(const std::string& program) {
  std::string found = platform::FindProgram(program);
  if (found.empty()) return platform::WithoutTrailingSeparator(platform::FolderPart(program));
  std::error_code error;
  std::filesystem::path real = std::filesystem::canonical(found, error);
  if (error) real = std::filesystem::absolute(found, error);
  if (!error) found = real.string();
  return platform::WithoutTrailingSeparator(platform::FolderPart(found));
}
