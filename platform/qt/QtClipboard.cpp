#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

std::vector<std::string> QtClipboard::formats() const {
  std::vector<std::string> out;
  if (const QMimeData* mime = QGuiApplication::clipboard()->mimeData())
    for (const QString& format : mime->formats()) out.push_back(format.toStdString());
  return out;
}

std::string QtClipboard::data(const std::string& mimeType) const {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (!mime) return {};
  const QByteArray bytes = mime->data(QString::fromStdString(mimeType));
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void QtClipboard::setText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

}  // namespace platform
