#pragma once
// The members opened from the list: each file is handed to the desktop's application for it and,
// when the archive may be changed, watched. A change of the file's contents (also by an editor
// that writes a new file and renames it over the old one) is reported once per change.

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

class MemberOpener : public QObject {
  Q_OBJECT

 public:
  // Opens a URL with the desktop's application (QDesktopServices::openUrl unless replaced).
  using UrlOpener = std::function<bool(const QUrl&)>;

  struct Opened {
    std::string member;  // the name the archiver knows it by
    QString file;        // the extracted file
    QString folder;      // the private folder the member was extracted into (its names start there)
    QByteArray digest;   // of the contents last seen
  };

  explicit MemberOpener(QObject* parent = nullptr);

  void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
  // Called with each opened file whose contents changed.
  std::function<void(const Opened&)> onChanged;

  // Opens the file; when watch is set, its changes are reported. False if it could not be opened.
  bool Open(const Opened& opened, bool watch);
  // Stops watching every file.
  void Forget();
  // Looks at the watched files now (the watcher's signals do this after a short pause).
  void CheckNow();
  size_t watchedCount() const { return watched_.size(); }

 private:
  void Rewatch();

  UrlOpener urlOpener_;
  QFileSystemWatcher watcher_;
  QTimer settle_;  // a burst of signals (write, rename) is looked at once
  std::vector<Opened> watched_;
};
