#include "mainwindow/ArchiveChooser.h"

#include <QApplication>
#include <QFileDialog>

std::optional<std::string> ArchiveChooser::saveFile(const std::string& title, const std::string& startPath,
                                                    const std::string& filter) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title), QString::fromStdString(startPath),
                     QString::fromStdString(filter));
  dialog.setObjectName("OpenDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix("j");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}
