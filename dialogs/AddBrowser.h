#pragma once
// The Add dialog's file browser: the files and folders of one folder in one of four view styles,
// sorted, with multi-selection.

#include <QStringList>
#include <QWidget>
#include <memory>

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

}  // namespace adddialog
