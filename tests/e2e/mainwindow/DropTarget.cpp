// A window that takes dropped files, for the drag-out test: for each URI of a drop it writes the
// URI to RECORD/uris.txt and the file's bytes to RECORD/<n>.bytes (a folder: its files under
// RECORD/<n>/), then RECORD/done.
//
//   drop_target RECORD X Y      (the window's top-left corner on the screen)

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace {

class DropTarget : public QLabel {
 public:
  explicit DropTarget(QString record) : record_(std::move(record)) {
    setText("Drop files here");
    setAlignment(Qt::AlignCenter);
    setAcceptDrops(true);
    setWindowTitle("Drop target");
  }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
  void dropEvent(QDropEvent* event) override {
    const QList<QUrl> urls = event->mimeData()->urls();  // the source makes the files now
    event->acceptProposedAction();
    QFile list(record_ + "/uris.txt");
    list.open(QIODevice::WriteOnly);
    int n = 0;
    for (const QUrl& url : urls) {
      list.write(url.toEncoded() + "\n");
      const QString path = url.toLocalFile();
      const QString target = record_ + "/" + QString::number(++n);
      if (QFileInfo(path).isDir()) {
        QDirIterator files(path, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
          const QString file = files.next();
          const QString copy = target + "/" + QDir(path).relativeFilePath(file);
          QDir().mkpath(QFileInfo(copy).path());
          QFile::copy(file, copy);
        }
      } else {
        QFile::copy(path, target + ".bytes");
      }
    }
    list.close();
    QFile done(record_ + "/done");
    done.open(QIODevice::WriteOnly);
    done.close();
  }

 private:
  QString record_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 4) return 2;
  DropTarget target(QString::fromLocal8Bit(argv[1]));
  target.setGeometry(QString(argv[2]).toInt(), QString(argv[3]).toInt(), 260, 260);
  target.show();
  return application.exec();
}
