#pragma once
// The Add dialog's file browser: the files and folders of one folder in one of four view styles,
// sorted, with multi-selection; and the box of mounted volumes beside it.

#include <QComboBox>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

class QAbstractFileIconProvider;
class QFileSystemModel;
class QItemSelectionModel;
class QListView;
class QModelIndex;
class QStackedWidget;
class QTreeView;

namespace adddialog {

enum class ViewStyle { LargeIcons, SmallIcons, List, Details };

class FolderBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit FolderBrowser(QWidget* parent);
  ~FolderBrowser() override;

  // Shows the folder; false, with nothing changed, when it is not a folder.
  bool SetFolder(const QString& folder);
  // The folder shown: absolute, without a trailing separator except for the root "/".
  QString Folder() const { return folder_; }
  // Goes to the parent folder (the nearest one that still exists); false at the root.
  bool GoUp();

  void SetViewStyle(ViewStyle style);
  ViewStyle viewStyle() const { return style_; }

  // The selected items' names in list order.
  QStringList SelectedNames() const;
  bool SelectName(const QString& name);
  void SelectAll();
  void DeselectAll();
  // The names listed so far, in list order (the listing is read in the background).
  QStringList Names() const;

  // The view showing the items (for focus and accessibility).
  QWidget* view() const;

 signals:
  void FolderChanged(const QString& folder);
  // Alt+Up or Backspace in the list: the user asks for the parent folder.
  void UpRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QModelIndex Root() const;
  void Sort() const;
  void Enter(const QModelIndex& index);

  std::unique_ptr<QAbstractFileIconProvider> icons_;  // outlives the model, which uses it
  QFileSystemModel* model_;
  QStackedWidget* stack_;
  QListView* list_;
  QTreeView* details_;
  QItemSelectionModel* selection_;
  QString folder_;
  ViewStyle style_ = ViewStyle::List;
};

struct Volume {
  QString rootPath;     // "/", "/home", "/media/stick"
  QString displayName;  // the volume's label, or its root path
};

// The volumes a user keeps files on: valid, ready, folders, without the system's own mounts under
// /proc, /sys, /dev and /run (removable media under /run/media stay); "/" first, then by root path.
std::vector<Volume> MountedVolumes();
// Of the volumes, the one whose root holds the folder (the longest such root); -1 for none.
int VolumeHolding(const std::vector<Volume>& volumes, const QString& folder);

// The drive box: the mounted volumes by root path and display name. Choosing one is reported by
// QComboBox::activated; showing a folder selects its volume without reporting anything.
class VolumeBox : public QComboBox {
  Q_OBJECT

 public:
  explicit VolumeBox(QWidget* parent);

  void SetVolumes(std::vector<Volume> volumes);
  const std::vector<Volume>& volumes() const { return volumes_; }
  // Selects the volume holding the folder; a volume not listed yet (mounted since) is added.
  void FollowFolder(const QString& folder);
  // Selects the volume with this root; false when there is none.
  bool SelectRoot(const QString& rootPath);
  // The selected volume's root folder, "" for none.
  QString CurrentRoot() const;

 private:
  void AddItem(const Volume& volume);

  std::vector<Volume> volumes_;
};

}  // namespace adddialog
