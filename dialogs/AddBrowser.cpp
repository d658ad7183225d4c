#include "dialogs/AddBrowser.h"

#include <QDir>
#include <QEvent>
#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace adddialog {
namespace {

// The desktop theme's file icons, and the style's own where the theme has none, so that folders
// always look like folders.
class FileIcons : public QFileIconProvider {
 public:
  QIcon icon(IconType type) const override { return OrStandard(QFileIconProvider::icon(type), type == Folder); }
  QIcon icon(const QFileInfo& info) const override {
    return OrStandard(QFileIconProvider::icon(info), info.isDir());
  }

 private:
  static QIcon OrStandard(const QIcon& themed, bool folder) {
    if (!themed.isNull()) return themed;
    return QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
  }
};

}  // namespace

FolderBrowser::FolderBrowser(QWidget* parent) : QWidget(parent), icons_(std::make_unique<FileIcons>()) {
  model_ = new QFileSystemModel(this);
  model_->setIconProvider(icons_.get());
  model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
  model_->setReadOnly(true);

  list_ = new QListView;
  details_ = new QTreeView;
  list_->setObjectName("FilesListView1List");
  details_->setObjectName("FilesListView1Details");
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(details_)}) {
    view->setModel(model_);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAccessibleName("Files and folders");
    view->installEventFilter(this);
    connect(view, &QAbstractItemView::doubleClicked, this, &FolderBrowser::Enter);
  }
  selection_ = list_->selectionModel();
  details_->setSelectionModel(selection_);
  details_->setRootIsDecorated(false);
  details_->setItemsExpandable(false);
  details_->setAllColumnsShowFocus(true);
  details_->setSortingEnabled(true);
  details_->sortByColumn(0, Qt::AscendingOrder);
  details_->header()->setStretchLastSection(false);
  details_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  details_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  model_->sort(0, Qt::AscendingOrder);

  stack_ = new QStackedWidget(this);
  stack_->addWidget(list_);
  stack_->addWidget(details_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stack_);
  setFocusProxy(list_);
  SetViewStyle(ViewStyle::List);
}

QModelIndex FolderBrowser::Root() const { return folder_.isEmpty() ? QModelIndex() : model_->index(folder_); }

bool FolderBrowser::SetFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir()) return false;
  folder_ = QDir::cleanPath(info.absoluteFilePath());
  const QModelIndex root = model_->setRootPath(folder_);
  list_->setRootIndex(root);
  details_->setRootIndex(root);
  selection_->clear();
  emit FolderChanged(folder_);
  return true;
}

bool FolderBrowser::GoUp() {
  if (folder_.isEmpty() || folder_ == "/") return false;
  QString parent = folder_;
  do parent = QFileInfo(parent).path();
  while (parent != "/" && !QFileInfo(parent).isDir());
  return SetFolder(parent);
}

void FolderBrowser::Enter(const QModelIndex& index) {
  if (index.isValid() && model_->isDir(index)) SetFolder(model_->filePath(index));
}

FolderBrowser::~FolderBrowser() { delete model_; }

void FolderBrowser::SetViewStyle(ViewStyle style) {
  const bool hadFocus = view()->hasFocus();
  style_ = style;
  const QFontMetrics metrics(font());
  const int line = metrics.height();
  switch (style) {
    case ViewStyle::LargeIcons:
      list_->setViewMode(QListView::IconMode);
      list_->setFlow(QListView::LeftToRight);
      list_->setIconSize(QSize(32, 32));
      list_->setGridSize(QSize(metrics.averageCharWidth() * 14, 32 + line * 3));
      list_->setWordWrap(true);
      break;
    case ViewStyle::SmallIcons:
      list_->setViewMode(QListView::ListMode);
      list_->setFlow(QListView::LeftToRight);
      list_->setIconSize(QSize(16, 16));
      list_->setGridSize(QSize(metrics.averageCharWidth() * 22, std::max(16, line) + 6));
      list_->setWordWrap(false);
      break;
    case ViewStyle::List:
      list_->setViewMode(QListView::ListMode);
      list_->setFlow(QListView::TopToBottom);
      list_->setIconSize(QSize(16, 16));
      list_->setGridSize(QSize());
      list_->setWordWrap(false);
      break;
    case ViewStyle::Details:
      break;
  }
  list_->setWrapping(true);
  list_->setResizeMode(QListView::Adjust);
  list_->setMovement(QListView::Static);
  list_->setTextElideMode(Qt::ElideMiddle);
  stack_->setCurrentWidget(style == ViewStyle::Details ? static_cast<QWidget*>(details_) : list_);
  setFocusProxy(view());
  if (hadFocus) view()->setFocus();
}

QWidget* FolderBrowser::view() const { return stack_->currentWidget(); }

void FolderBrowser::Sort() const {
  // The model sorts new entries a moment after they arrive; names are taken in the order shown.
  model_->sort(details_->header()->sortIndicatorSection(), details_->header()->sortIndicatorOrder());
}

QStringList FolderBrowser::SelectedNames() const {
  Sort();
  const QModelIndex root = Root();
  QModelIndexList rows = selection_->selectedRows(0);
  rows.removeIf([&](const QModelIndex& index) { return index.parent() != root; });
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList names;
  for (const QModelIndex& index : rows) names << model_->fileName(index);
  return names;
}

QStringList FolderBrowser::Names() const {
  Sort();
  const QModelIndex root = Root();
  QStringList names;
  for (int row = 0; root.isValid() && row < model_->rowCount(root); ++row) names << model_->fileName(model_->index(row, 0, root));
  return names;
}

bool FolderBrowser::SelectName(const QString& name) {
  const QModelIndex root = Root();
  for (int row = 0; root.isValid() && row < model_->rowCount(root); ++row) {
    const QModelIndex index = model_->index(row, 0, root);
    if (model_->fileName(index) != name) continue;
    selection_->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return true;
  }
  return false;
}

void FolderBrowser::SelectAll() {
  const QModelIndex root = Root();
  const int rows = root.isValid() ? model_->rowCount(root) : 0;
  if (rows == 0) return;
  const QItemSelection all(model_->index(0, 0, root), model_->index(rows - 1, 0, root));
  selection_->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void FolderBrowser::DeselectAll() { selection_->clearSelection(); }

// Alt+Up or Backspace go to the parent folder, Alt+Down enters the current folder item.
bool FolderBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool alt = key->modifiers() == Qt::AltModifier;
    if ((alt && key->key() == Qt::Key_Up) || (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Backspace)) {
      emit UpRequested();
      return true;
    }
    if (alt && key->key() == Qt::Key_Down) {
      Enter(static_cast<QAbstractItemView*>(view())->currentIndex());
      return true;
    }
  }
  if (event->type() == QEvent::FontChange && watched == list_) SetViewStyle(style_);
  return QWidget::eventFilter(watched, event);
}

}  // namespace adddialog
