#include "platform/RemovableDrive.h"

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TempFolder.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

// A small sysfs look-alike: devices under devices/, links under dev/block/MAJ:MIN.
class FakeSys {
 public:
  const std::string& root() const { return dir_.path(); }

  // Adds a disk folder below devices/<parentPath>/block/<name> with the given removable flag.
  std::string disk(const std::string& parentPath, const std::string& name, const std::string& removable,
                   const std::string& id) {
    fs::path d = fs::path(root()) / "devices" / parentPath / "block" / name;
    fs::create_directories(d);
    write(d / "removable", removable + "\n");
    link(id, d);
    return d.string();
  }
  std::string partition(const std::string& diskDir, const std::string& name, const std::string& id) {
    fs::path d = fs::path(diskDir) / name;
    fs::create_directories(d);
    write(d / "partition", "1\n");
    link(id, d);
    return d.string();
  }
  // A virtual (device-mapper) disk stacked on the given folders.
  std::string stacked(const std::string& name, const std::vector<std::string>& slaves, const std::string& id) {
    std::string d = disk("virtual", name, "0", id);
    fs::create_directories(fs::path(d) / "slaves");
    for (const auto& s : slaves) fs::create_symlink(s, fs::path(d) / "slaves" / fs::path(s).filename());
    return d;
  }
  static void write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

 private:
  void link(const std::string& id, const fs::path& target) {
    fs::create_directories(fs::path(root()) / "dev" / "block");
    fs::create_symlink(fs::relative(target, fs::path(root()) / "dev" / "block"),
                       fs::path(root()) / "dev" / "block" / id);
  }
  TempFolder dir_;
};

bool Check(const FakeSys& sys, const std::string& id) {
  unsigned maj = 0, min = 0;
  std::sscanf(id.c_str(), "%u:%u", &maj, &min);
  return IsRemovableBlockDevice(maj, min, sys.root());
}

}  // namespace

TEST(RemovableDrive, JudgesDisksPartitionsAndBuses) {
  FakeSys sys;
  std::string fixed = sys.disk("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "sda", "0", "8:0");
  sys.partition(fixed, "sda1", "8:1");
  std::string stick = sys.disk("pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", "sdb", "1", "8:16");
  sys.partition(stick, "sdb1", "8:17");
  std::string usbDisk = sys.disk("pci0000:00/0000:00:14.0/usb3/3-2/3-2:1.0/host7/target7:0:0/7:0:0:0", "sdc", "0", "8:32");
  sys.partition(usbDisk, "sdc1", "8:33");
  std::string card = sys.disk("pci0000:00/0000:00:1e.6/mmc_host/mmc0/mmc0:aaaa", "mmcblk0", "0", "179:0");
  FakeSys::write(fs::path(card).parent_path().parent_path() / "type", "SD\n");
  sys.partition(card, "mmcblk0p1", "179:1");
  std::string emmc = sys.disk("pci0000:00/0000:00:1e.4/mmc_host/mmc1/mmc1:0001", "mmcblk1", "0", "179:8");
  FakeSys::write(fs::path(emmc).parent_path().parent_path() / "type", "MMC\n");
  // "device" is the link from the disk to its parent device.
  fs::create_symlink("../..", fs::path(card) / "device");
  fs::create_symlink("../..", fs::path(emmc) / "device");
  std::string odd = sys.disk("pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "sdd", "yes", "8:48");

  EXPECT_FALSE(Check(sys, "8:0"));
  EXPECT_FALSE(Check(sys, "8:1"));
  EXPECT_TRUE(Check(sys, "8:16"));
  EXPECT_TRUE(Check(sys, "8:17"));
  EXPECT_TRUE(Check(sys, "8:32"));   // USB disk that says it is fixed
  EXPECT_TRUE(Check(sys, "8:33"));
  EXPECT_TRUE(Check(sys, "179:1"));  // SD card
  EXPECT_FALSE(Check(sys, "179:8")); // soldered eMMC
  EXPECT_FALSE(Check(sys, "8:48"));  // unreadable flag
  EXPECT_FALSE(Check(sys, "9:9"));   // unknown device
  EXPECT_FALSE(IsRemovableBlockDevice(8, 16, sys.root() + "/missing"));
}

TEST(RemovableDrive, StackedDevicesNeedEveryPartRemovable) {
  FakeSys sys;
  std::string fixed = sys.disk("pci0000:00/ata1/host0", "sda", "0", "8:0");
  std::string fixedPart = sys.partition(fixed, "sda2", "8:2");
  std::string stick = sys.disk("pci0000:00/usb1/1-1/host6", "sdb", "1", "8:16");
  std::string stickPart = sys.partition(stick, "sdb1", "8:17");
  std::string crypt = sys.stacked("dm-0", {stickPart}, "253:0");
  sys.stacked("dm-1", {crypt}, "253:1");              // volume inside the encrypted stick
  sys.stacked("dm-2", {fixedPart, stickPart}, "253:2");  // spans both
  sys.stacked("dm-3", {}, "253:3");                    // nothing beneath
  // A loop in the links must end.
  std::string a = sys.stacked("dm-4", {}, "253:4");
  std::string b = sys.stacked("dm-5", {a}, "253:5");
  fs::create_symlink(b, fs::path(a) / "slaves" / "dm-5");

  EXPECT_TRUE(Check(sys, "253:0"));
  EXPECT_TRUE(Check(sys, "253:1"));
  EXPECT_FALSE(Check(sys, "253:2"));
  EXPECT_FALSE(Check(sys, "253:3"));
  EXPECT_FALSE(Check(sys, "253:4"));
}

TEST(RemovableDrive, PathsFindTheirDevice) {
  TempFolder dir;
  struct stat st {};
  ASSERT_EQ(::stat(dir.path().c_str(), &st), 0);
  FakeSys sys;
  std::string id = std::to_string(::major(st.st_dev)) + ":" + std::to_string(::minor(st.st_dev));
  sys.disk("pci0000:00/usb1/1-1/host6", "sdz", "1", id);
  EXPECT_TRUE(IsRemovablePath(dir.path(), sys.root()));
  // Not yet created: judged by the folder that will hold it.
  EXPECT_TRUE(IsRemovablePath(dir.path() + "/new/archive.j", sys.root()));
  EXPECT_FALSE(IsRemovablePath("", sys.root()));
}

TEST(RemovableDrive, RealSystemPaths) {
  EXPECT_FALSE(IsRemovablePath(""));
  EXPECT_FALSE(IsRemovablePath("/"));  // the root file system of a build machine is fixed
  EXPECT_FALSE(IsRemovablePath("/no/such/folder/file.j"));
  EXPECT_FALSE(IsRemovablePath("/proc/self"));
  struct statfs fsInfo {};
  if (::statfs("/dev/shm", &fsInfo) == 0 && fsInfo.f_type == TMPFS_MAGIC) {
    EXPECT_FALSE(IsRemovablePath("/dev/shm"));
  }
}
