// What the window offers beyond its menus: the filter above the list, opening a member with the
// desktop's application (and putting a changed one back), and dragging rows out as files.

#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/ExtractingMimeData.h"
#include "mainwindow/FilterBar.h"
#include "mainwindow/ListFilter.h"
#include "mainwindow/Main_unit.h"
#include "mainwindow/MainStatusBar.h"
#include "mainwindow/MemberOpener.h"
#include "mainwindow/TempExtractions.h"

namespace {

constexpr int kFolderImage = 1;
constexpr int kRetryMs = 250;

// A member's name as a path below the folder it was extracted into.
std::string LocalPath(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  while (!name.empty() && name.back() == '/') name.pop_back();
  const size_t start = name.find_first_not_of('/');
  return start == std::string::npos ? std::string() : name.substr(start);
}

bool Locked(const std::string& flags) { return flags.find("LOCKED") != std::string::npos; }

// Ctrl+F in the list opens the filter (the Font item keeps Ctrl+F everywhere else), and the list
// and the window refuse drags that started from the list itself.
class ExtrasEvents : public QObject {
 public:
  ExtrasEvents(TMain& window, ArchiveListView& list) : QObject(&window), window_(window), list_(list) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ShortcutOverride:
      case QEvent::KeyPress: {
        if (watched != &list_) break;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F || (key->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) break;
        if (event->type() == QEvent::ShortcutOverride) {
          event->accept();  // a key press for the list, not the Font shortcut
          return true;
        }
        window_.ShowFilter();
        return true;
      }
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->source() != &list_) break;
        drop->setDropAction(Qt::IgnoreAction);
        drop->ignore();
        return true;
      }
      default: break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TMain& window_;
  ArchiveListView& list_;
};

}  // namespace

void TMain::BuildExtras() {
  tempExtractions_ = std::make_unique<TempExtractions>();
  TempExtractions::ClearStale(TemporaryBase());

  // The filter bar above the list, both in the splitter's upper pane.
  filterBar_ = new FilterBar;
  auto* panel = new QWidget;
  panel->setObjectName("ListPanel");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  splitter_->replaceWidget(splitter_->indexOf(listView_), panel);
  layout->addWidget(filterBar_);
  layout->addWidget(listView_, 1);
  connect(filterBar_, &FilterBar::textChanged, this, &TMain::ApplyFilter);
  connect(filterBar_, &FilterBar::ended, this, [this] {
    ApplyFilter(QString());
    listView_->setFocus();
  });
  connect(filterBar_, &FilterBar::toList, this, [this] { listView_->setFocus(); });

  memberOpener_ = new MemberOpener(this);
  memberOpener_->setObjectName("MemberOpener");
  memberOpener_->onChanged = [this](const MemberOpener::Opened& opened) {
    MemberChanged(opened.member, opened.folder);
  };
  connect(listView_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
    if (index.isValid()) OpenMemberRow(index.row());
  });

  listView_->setDragEnabled(true);
  listView_->setDragDropMode(QAbstractItemView::DragOnly);
  listView_->dragStarter = [this] { DragSelectedRows(); };
  auto* events = new ExtrasEvents(*this, *listView_);
  listView_->installEventFilter(events);
  listView_->viewport()->installEventFilter(events);
  installEventFilter(events);
}

std::string TMain::TemporaryBase() const {
  std::string base = config_ ? config_->theTemporaryFolder : std::string();
  if (base.empty() || !platform::IsFolder(base)) base = QDir::tempPath().toStdString();
  return base;
}

// The open archive is about to change: what was taken out of it goes.
void TMain::ForgetExtractions() {
  if (memberOpener_) memberOpener_->Forget();
  if (tempExtractions_) tempExtractions_->RemoveAll();
  if (filterBar_ && filterBar_->isVisible()) filterBar_->End();
}

void TMain::ShowFilter() {
  if (filterBar_) filterBar_->Begin();
}

void TMain::ApplyFilter(const QString& text) {
  QItemSelectionModel* selection = listView_->selectionModel();
  const int64_t before = model_->RowsIn(selection->selection());
  model_->SetFilter(ListFilter(text.toStdString()));
  // The summary counts the rows still shown when the filter took selected rows away.
  if (model_->RowsIn(selection->selection()) != before) {
    Recount();
    ShowSummary();
  }
}

bool TMain::EnsureArchivePassword() {
  if (archiveProtected_ && config_->password.empty()) RequestPassword(true);
  return !archiveProtected_ || !config_->password.empty();
}

std::string TMain::ExtractToPrivateFolder(const std::vector<std::string>& names) {
  if (operationRunning_ || names.empty()) return "";
  const std::string base = TemporaryBase();
  const std::string folder = tempExtractions_->NewFolder(base);
  if (folder.empty()) {
    services_.prompter.error("Cannot make a private folder in \"" + base + "\" !");
    return "";
  }
  jar_->ResetOptions();
  RequestPassword(false);
  jar_->archiveName = config_->currentArchive;
  jar_->fileList = names;
  jar_->useOutputPath = true;
  jar_->SetOutputPath(folder + "/");
  jar_->makeNamesAbsolute = false;
  jar_->makeNamesRelative = false;
  jar_->assumeYes = true;
  try {
    jar_->Run(opExtractWithFolders);
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
    return "";
  }
  return folder;
}

bool TMain::OpenMemberRow(int row) {
  if (operationRunning_ || row < 0 || row >= model_->Count()) return false;
  if (model_->Row(row).imageIndex == kFolderImage) return false;
  const std::string member = model_->MemberName(row);
  if (!EnsureArchivePassword()) return false;
  const std::string folder = ExtractToPrivateFolder({member});
  if (folder.empty()) return false;
  const QString file = QString::fromStdString(folder + "/" + LocalPath(member));
  if (!QFileInfo(file).isFile()) {
    services_.prompter.error("\"" + member + "\" was not extracted, cannot open it !");
    return false;
  }
  // A locked archive cannot take the file back: it is not watched.
  const bool watch = !Locked(jar_->archiveFlags);
  if (!memberOpener_->Open({member, file, QString::fromStdString(folder), {}}, watch)) {
    services_.prompter.error("No program could open \"" + file.toStdString() + "\" !");
    return false;
  }
  return true;
}

void TMain::MemberChanged(const std::string& member, const QString& folder) {
  // Gone with its archive (closed while a run or a question held the change back), or locked.
  if (Locked(jar_->archiveFlags) || !QFileInfo(folder).isDir()) return;
  if (operationRunning_ || askingChange_) {  // asked once the run (or the other question) is over
    QTimer::singleShot(kRetryMs, this, [this, member, folder] { MemberChanged(member, folder); });
    return;
  }
  askingChange_ = true;
  const platform::Button answer = services_.prompter.ask(
      platform::BoxKind::Confirmation,
      "\"" + member + "\" was changed.\nPut it back into the archive \"" + config_->currentArchive + "\" ?",
      platform::ButtonYes | platform::ButtonNo);
  askingChange_ = false;
  if (answer != platform::ButtonYes || operationRunning_) return;
  if (!EnsureArchivePassword()) return;

  // The update runs in the private folder, so the member keeps its folders inside the archive.
  jar_->ResetOptions();
  RequestPassword(false);
  const bool fromCurrentFolder = jar_->fromCurrentFolder;
  const std::string sourceFolder = jar_->sourceFolder;
  jar_->archiveName = config_->currentArchive;
  jar_->fromCurrentFolder = true;
  jar_->sourceFolder = folder.toStdString() + "/";
  jar_->makeNamesAbsolute = false;
  jar_->storeFullPath = true;
  jar_->fileList = {LocalPath(member)};
  bool updated = false;
  try {
    jar_->Run(opUpdate);
    updated = true;
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
  }
  jar_->fromCurrentFolder = fromCurrentFolder;
  jar_->sourceFolder = sourceFolder;
  if (updated) RefreshListing();
}

ExtractingMimeData* TMain::MakeDragData() {
  if (operationRunning_) return nullptr;
  struct Item {
    std::string name;
    bool folder;
  };
  std::vector<Item> items;
  std::vector<std::pair<int, int>> spans;
  for (const QItemSelectionRange& range : listView_->selectionModel()->selection())
    spans.emplace_back(range.top(), range.bottom());
  std::sort(spans.begin(), spans.end());
  int next = 0;
  for (auto [top, bottom] : spans) {
    for (int row = std::max(top, next); row <= bottom && row < model_->Count(); ++row)
      items.push_back({model_->MemberName(row), model_->Row(row).imageIndex == kFolderImage});
    next = std::max(next, bottom + 1);
  }
  if (items.empty() || !EnsureArchivePassword()) return nullptr;

  return new ExtractingMimeData([this, items] {
    // A folder row brings its contents; rows inside a dragged folder come with it.
    std::vector<std::string> names;
    std::vector<std::string> tops;
    for (const Item& item : items) {
      const std::string path = LocalPath(item.name);
      const bool inside = std::any_of(tops.begin(), tops.end(), [&](const std::string& top) {
        return path.size() > top.size() && path.compare(0, top.size(), top) == 0 && path[top.size()] == '/';
      });
      std::string name = item.name;
      while (!name.empty() && name.back() == '\\') name.pop_back();
      names.push_back(name);
      if (item.folder) names.push_back(name + "\\*");
      if (!inside && std::find(tops.begin(), tops.end(), path) == tops.end()) tops.push_back(path);
    }
    QStringList files;
    const std::string folder = ExtractToPrivateFolder(names);
    if (folder.empty()) return files;
    for (const std::string& top : tops) {
      const bool nested = std::any_of(tops.begin(), tops.end(), [&](const std::string& other) {
        return top.size() > other.size() && top.compare(0, other.size(), other) == 0 && top[other.size()] == '/';
      });
      const QString file = QString::fromStdString(folder + "/" + top);
      if (!nested && QFileInfo::exists(file)) files.append(file);
    }
    return files;
  });
}

void TMain::DragSelectedRows() {
  ExtractingMimeData* data = MakeDragData();
  if (!data) return;
  auto* drag = new QDrag(listView_);  // the platform deletes it when the drop is done with
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}
