#include "dialogs/DriveBox.h"

#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace {

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

bool IsSystemMount(const std::string& root) {
  if (StartsWith(root, "/run/media/")) return false;
  for (const char* system : {"/dev", "/proc", "/sys", "/run", "/snap"}) {
    const std::string s(system);
    if (root == s || StartsWith(root, s + "/")) return true;
  }
  return false;
}

// root holds path when path is root itself or lies below it.
bool Holds(const std::string& root, const std::string& path) {
  if (root.empty() || !StartsWith(path, root)) return false;
  return path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
}

}  // namespace

std::vector<MountedVolume> UserVolumes(std::vector<MountedVolume> volumes) {
  std::erase_if(volumes, [](const MountedVolume& v) { return v.rootPath.empty() || IsSystemMount(v.rootPath); });
  std::sort(volumes.begin(), volumes.end(),
            [](const MountedVolume& a, const MountedVolume& b) { return a.rootPath < b.rootPath; });
  volumes.erase(std::unique(volumes.begin(), volumes.end(),
                            [](const MountedVolume& a, const MountedVolume& b) { return a.rootPath == b.rootPath; }),
                volumes.end());
  return volumes;
}

std::vector<MountedVolume> MountedVolumes() {
  std::vector<MountedVolume> volumes;
  for (const QStorageInfo& storage : QStorageInfo::mountedVolumes())
    if (storage.isValid() && storage.isReady() && QFileInfo(storage.rootPath()).isDir())
      volumes.push_back({storage.rootPath().toStdString(), storage.displayName().toStdString()});
  if (std::none_of(volumes.begin(), volumes.end(), [](const MountedVolume& v) { return v.rootPath == "/"; }))
    volumes.push_back({"/", "/"});
  return UserVolumes(std::move(volumes));
}

int VolumeHolding(const std::vector<MountedVolume>& volumes, const std::string& path) {
  int best = -1;
  for (size_t i = 0; i < volumes.size(); ++i)
    if (Holds(volumes[i].rootPath, path) &&
        (best < 0 || volumes[i].rootPath.size() > volumes[static_cast<size_t>(best)].rootPath.size()))
      best = static_cast<int>(i);
  return best;
}

std::string VolumeCaption(const MountedVolume& volume) {
  if (volume.displayName.empty() || volume.displayName == volume.rootPath) return volume.rootPath;
  return volume.rootPath + " [" + volume.displayName + "]";
}

DriveBox::DriveBox(QWidget* parent, std::vector<MountedVolume> volumes) : QComboBox(parent) {
  setObjectName("DriveBox");
  setAccessibleName("Drive");
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(12);
  SetVolumes(std::move(volumes));
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && index < static_cast<int>(volumes_.size()))
      emit driveChosen(QString::fromStdString(volumes_[static_cast<size_t>(index)].rootPath));
  });
}

void DriveBox::SetVolumes(std::vector<MountedVolume> volumes) {
  const std::string shown = rootPath();
  clear();
  volumes_ = std::move(volumes);
  for (const MountedVolume& volume : volumes_) addItem(QString::fromStdString(VolumeCaption(volume)));
  if (!shown.empty()) SelectRoot(shown);
}

void DriveBox::ShowFolder(const std::string& folder) {
  const int index = VolumeHolding(volumes_, folder);
  if (index >= 0) setCurrentIndex(index);
}

bool DriveBox::SelectRoot(const std::string& rootPath) {
  for (size_t i = 0; i < volumes_.size(); ++i)
    if (volumes_[i].rootPath == rootPath) {
      setCurrentIndex(static_cast<int>(i));
      return true;
    }
  return false;
}

std::string DriveBox::rootPath() const {
  const int index = currentIndex();
  return index >= 0 && index < static_cast<int>(volumes_.size()) ? volumes_[static_cast<size_t>(index)].rootPath
                                                                  : std::string();
}
