#include "mainwindow/ArchiveChooser.h"

#include <QApplication>
#include <QFileDialog>

std::string FirstFilterSuffix(const std::string& filter) {
  const size_t start = filter.find("*.");
  if (start == std::string::npos) return "";
  const size_t end = filter.find_first_of(" ;)", start + 2);
  const std::string suffix = filter.substr(start + 2, end == std::string::npos ? std::string::npos : end - start - 2);
  return suffix.find_first_of("*?") == std::string::npos ? suffix : "";
}

std::optional<std::string> ArchiveChooser::saveFile(const std::string& title, const std::string& startPath,
                                                    const std::string& filter) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title), QString::fromStdString(startPath),
                     QString::fromStdString(filter));
  const std::string suffix = FirstFilterSuffix(filter);
  dialog.setObjectName(suffix == "j" ? "OpenDialog1" : "SaveDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix(QString::fromStdString(suffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}
