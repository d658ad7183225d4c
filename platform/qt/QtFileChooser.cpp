#include "platform/qt/QtFileChooser.h"

#include <QApplication>
#include <QFileDialog>

namespace platform {
namespace {

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::optional<std::string> QtFileChooser::openFile(const std::string& title, const std::string& startFolder,
                                                   const std::string& filter) {
  return Chosen(QFileDialog::getOpenFileName(QApplication::activeWindow(), Q(title), Q(startFolder), Q(filter)));
}

std::optional<std::string> QtFileChooser::saveFile(const std::string& title, const std::string& startPath,
                                                   const std::string& filter) {
  return Chosen(QFileDialog::getSaveFileName(QApplication::activeWindow(), Q(title), Q(startPath), Q(filter)));
}

std::optional<std::string> QtFileChooser::folder(const std::string& title, const std::string& startFolder,
                                                 bool mayCreate) {
  QFileDialog::Options options = QFileDialog::ShowDirsOnly;
  if (!mayCreate) options |= QFileDialog::ReadOnly;  // no "new folder" button
  return Chosen(QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(title), Q(startFolder), options));
}

}  // namespace platform
