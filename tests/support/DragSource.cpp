// A stand-in for a file manager for scripts/screenshots: a small window titled "Drag source" that
// starts dragging the files named on its command line (as text/uri-list) when the mouse is pressed
// on it.
//
//   screenshot_drag_source FILE...

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class Source : public QLabel {
 public:
  explicit Source(QList<QUrl> urls) : QLabel(QString("%1 file(s) to drag").arg(urls.size())), urls_(std::move(urls)) {
    setWindowTitle("Drag source");
    setAlignment(Qt::AlignCenter);
    setMargin(12);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setUrls(urls_);
    drag->setMimeData(mime);
    // The target may still read the data after the drop: the window stays until it is closed.
    drag->exec(Qt::CopyAction);
  }

 private:
  QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QList<QUrl> urls;
  for (int i = 1; i < argc; ++i) urls.push_back(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
  Source source(urls);
  source.setGeometry(800, 640, 200, 80);
  source.show();
  return QApplication::exec();
}
