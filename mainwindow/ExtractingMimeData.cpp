#include "mainwindow/ExtractingMimeData.h"

QList<QUrl> ExtractingMimeData::Urls() const {
  // A request that comes while the extractor runs (it handles events) gets nothing.
  if (!done_ && !busy_ && extractor_) {
    busy_ = true;
    const QStringList files = extractor_();
    busy_ = false;
    done_ = true;
    for (const QString& file : files) urls_.append(QUrl::fromLocalFile(file));
  }
  return urls_;
}

QVariant ExtractingMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (!hasFormat(mimeType)) return {};
  const QList<QUrl> urls = Urls();
  if (urls.isEmpty()) return {};
  if (mimeType == QLatin1String(kUriList) && type.id() == QMetaType::QVariantList) {
    QVariantList list;
    for (const QUrl& url : urls) list.append(url);
    return list;
  }
  QByteArray bytes;
  if (mimeType == QLatin1String(kGnomeFiles)) {
    bytes = "copy";
    for (const QUrl& url : urls) bytes += "\n" + url.toEncoded();
  } else {
    for (const QUrl& url : urls) bytes += url.toEncoded() + "\r\n";
  }
  return bytes;
}
