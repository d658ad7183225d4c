#pragma once
// The data of a drag out of the list: the members' files as text/uri-list and
// x-special/gnome-copied-files. Nothing is extracted until a target asks for the data; then the
// extractor runs once and every later request gets the same files.

#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <functional>

class ExtractingMimeData : public QMimeData {
  Q_OBJECT

 public:
  static constexpr const char* kUriList = "text/uri-list";
  static constexpr const char* kGnomeFiles = "x-special/gnome-copied-files";

  // Extracts the dragged members and gives the files (or folders) to hand over; empty on failure.
  using Extractor = std::function<QStringList()>;

  explicit ExtractingMimeData(Extractor extractor) : extractor_(std::move(extractor)) {}

  QStringList formats() const override { return {kUriList, kGnomeFiles}; }
  bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }
  bool extracted() const { return done_; }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  QList<QUrl> Urls() const;

  Extractor extractor_;
  mutable bool done_ = false;
  mutable bool busy_ = false;
  mutable QList<QUrl> urls_;
};
