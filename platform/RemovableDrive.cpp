#include "platform/RemovableDrive.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxStackDepth = 8;  // device-mapper over device-mapper over ...

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// A component "usbN" in the device's sysfs path: the root hub of a USB bus.
bool OnUsbBus(const fs::path& deviceDir) {
  for (const auto& part : deviceDir) {
    const std::string s = part.string();
    if (s.size() > 3 && s.starts_with("usb") && s.find_first_not_of("0123456789", 3) == std::string::npos)
      return true;
  }
  return false;
}

bool IsRemovableDir(const fs::path& blockDir, const fs::path& devicesRoot, int depth) {
  std::error_code ec;
  fs::path dir = fs::canonical(blockDir, ec);
  if (ec || depth > kMaxStackDepth) return false;
  if (fs::exists(dir / "partition", ec)) dir = dir.parent_path();  // judge the whole disk

  if (FirstLine(dir / "removable") == "1") return true;
  if (FirstLine(dir / "device" / "type") == "SD") return true;
  if (OnUsbBus(dir.lexically_relative(devicesRoot))) return true;

  // A stacked device (device mapper, software RAID) is removable when all its parts are.
  bool any = false;
  for (fs::directory_iterator it(dir / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
    if (!IsRemovableDir(it->path(), devicesRoot, depth + 1)) return false;
    any = true;
  }
  return any && !ec;
}

}  // namespace

bool IsRemovableBlockDevice(unsigned major, unsigned minor, const std::string& sysRoot) {
  try {
    std::error_code ec;
    fs::path devicesRoot = fs::canonical(fs::path(sysRoot) / "devices", ec);
    if (ec) return false;
    fs::path link = fs::path(sysRoot) / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
    return IsRemovableDir(link, devicesRoot, 0);
  } catch (const std::exception&) {
    return false;
  }
}

bool IsRemovablePath(const std::string& path, const std::string& sysRoot) {
  if (path.empty()) return false;
  try {
    fs::path p(path);
    struct stat st {};
    while (::stat(p.c_str(), &st) != 0) {
      if (errno != ENOENT && errno != ENOTDIR) return false;
      fs::path parent = p.has_parent_path() ? p.parent_path() : fs::path(".");
      if (parent == p) return false;
      p = parent;
    }
    return IsRemovableBlockDevice(::major(st.st_dev), ::minor(st.st_dev), sysRoot);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace platform
