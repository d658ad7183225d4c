#pragma once
// Whether a path lives on a removable drive (USB stick, SD card, ...).

#include <string>

namespace platform {

// True when the block device holding `path` reports itself removable, sits on a USB bus, or is an SD
// card; a device-mapper volume (LVM, encryption) counts when every device beneath it does. A path that
// does not exist yet is judged by its nearest existing folder. False for anything else (tmpfs,
// overlay, network file systems, ...) and on any failure. `sysRoot` is where sysfs is mounted.
bool IsRemovablePath(const std::string& path, const std::string& sysRoot = "/sys");

// The same judgement for the block device major:minor.
bool IsRemovableBlockDevice(unsigned major, unsigned minor, const std::string& sysRoot = "/sys");

}  // namespace platform
