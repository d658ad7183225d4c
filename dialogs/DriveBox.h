#pragma once
// The drive box of a folder picker: a combo box of the mounted volumes. Picking one reports its
// root folder; showing a folder selects the volume that holds it.

#include <QComboBox>
#include <string>
#include <vector>

struct MountedVolume {
  std::string rootPath;     // "/", "/media/usb", ...
  std::string displayName;  // the volume's label, or its root path when it has none
};

// The volumes a user can put files on or take them from: valid, ready and folders, without the
// system's own mounts under /dev, /proc, /sys, /run (removable media under /run/media stay) and
// /snap. "/" is always there. Sorted by root path, so "/" comes first.
std::vector<MountedVolume> MountedVolumes();
// Keeps the volumes worth showing from a list as the system gives it, sorted by root path.
std::vector<MountedVolume> UserVolumes(std::vector<MountedVolume> volumes);
// The index of the volume whose root folder holds path (the longest matching root), or -1.
int VolumeHolding(const std::vector<MountedVolume>& volumes, const std::string& path);
// What the box shows for a volume: "/media/usb [BACKUP]", or the bare root when the label repeats it.
std::string VolumeCaption(const MountedVolume& volume);

class DriveBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveBox(QWidget* parent, std::vector<MountedVolume> volumes = MountedVolumes());

  // Lists these volumes instead; the selected root stays selected while it is listed.
  void SetVolumes(std::vector<MountedVolume> volumes);
  const std::vector<MountedVolume>& volumes() const { return volumes_; }
  // Selects the volume holding folder without reporting a pick.
  void ShowFolder(const std::string& folder);
  // Selects the volume with this root without reporting a pick; false when none is listed.
  bool SelectRoot(const std::string& rootPath);
  // The root folder of the selected volume ("" when none).
  std::string rootPath() const;

 signals:
  // The user picked a volume.
  void driveChosen(const QString& rootPath);

 private:
  std::vector<MountedVolume> volumes_;
};
