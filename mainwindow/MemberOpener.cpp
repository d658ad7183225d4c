#include "mainwindow/MemberOpener.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QFile>

namespace {

constexpr int kSettleMs = 300;

QByteArray Digest(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(&file);
  return hash.result();
}

}  // namespace

MemberOpener::MemberOpener(QObject* parent) : QObject(parent) {
  urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &MemberOpener::CheckNow);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_, qOverload<>(&QTimer::start));
}

bool MemberOpener::Open(const Opened& opened, bool watch) {
  Opened entry = opened;
  entry.digest = Digest(entry.file);
  if (watch) {
    // The folder too: an editor that renames a new file over the old one ends the file's watch.
    watcher_.addPath(entry.file);
    const QString folder = entry.file.section('/', 0, -2);
    if (!folder.isEmpty()) watcher_.addPath(folder);
    watched_.push_back(entry);
  }
  return urlOpener_ && urlOpener_(QUrl::fromLocalFile(entry.file));
}

void MemberOpener::Forget() {
  settle_.stop();
  watched_.clear();
  const QStringList paths = watcher_.files() + watcher_.directories();
  if (!paths.isEmpty()) watcher_.removePaths(paths);
}

void MemberOpener::Rewatch() {
  const QStringList files = watcher_.files();
  for (const Opened& entry : watched_)
    if (!files.contains(entry.file) && QFile::exists(entry.file)) watcher_.addPath(entry.file);
}

void MemberOpener::CheckNow() {
  Rewatch();
  // Copies: the handler may run the archiver (events) or forget every file.
  std::vector<Opened> changed;
  for (Opened& entry : watched_) {
    if (!QFile::exists(entry.file)) continue;  // in the middle of a replacement; the rename comes
    QByteArray digest = Digest(entry.file);
    if (digest.isEmpty() || digest == entry.digest) continue;
    entry.digest = std::move(digest);
    changed.push_back(entry);
  }
  for (const Opened& entry : changed)
    if (onChanged) onChanged(entry);
}
