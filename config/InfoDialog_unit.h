#pragma once
// TInfoDialog: what the last listing said about the open archive (name, dates, protections and
// extras, files, sizes, ratio), read-only, in a dialog of fixed size.

#include <QDialog>
#include <cstdint>
#include <string>
#include <string_view>

class QLabel;

// The listing's total of bytes ("1,234,567") as a number: a text of three characters or fewer is 0;
// otherwise the trimmed text read in groups of three digits between commas (a group that is not a
// number counts 0).
int64_t TotalBytesValue(std::string_view text);
// bytes / 1024 (toward zero) in groups of three with the separator, then " KB".
std::string KilobytesText(int64_t bytes, std::string_view separator);
// The text without leading and trailing blanks and control characters.
std::string TrimmedText(std::string_view text);

class TInfoDialog : public QDialog {
  Q_OBJECT

 public:
  // Captioned "Tamber 2.23 Archive Information" and placed over the owner's window.
  explicit TInfoDialog(QWidget* owner);

  // Fills the labels, then shows the dialog modally. `unused` is passed by the caller but not shown.
  void ShowInfo(const std::string& archiveName, const std::string& flags, const std::string& signature,
                const std::string& modifiedDate, const std::string& createdDate, int32_t unused,
                const std::string& ratio, const std::string& totalBytes, int64_t fileSize,
                const std::string& files, bool hasComment);
  // The same without showing the dialog.
  void FillInfo(const std::string& archiveName, const std::string& flags, const std::string& signature,
                const std::string& modifiedDate, const std::string& createdDate, const std::string& ratio,
                const std::string& totalBytes, int64_t fileSize, const std::string& files, bool hasComment);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* ValueLabel(const char* name);
  void FixSize();

  QLabel* archiveName_;
  QLabel* creation_;
  QLabel* modified_;
  QLabel* archiveComments_;
  QLabel* archiveLock_;
  QLabel* autoLock_;
  QLabel* password_;
  QLabel* contentsHidden_;
  QLabel* encrypted_;
  QLabel* recoveryRecords_;
  QLabel* nrFiles_;
  QLabel* fileSize_;
  QLabel* compressedSize_;
  QLabel* ratio_;
  QLabel* nrChapters_;
  QLabel* secured_;
  QLabel* securityEnvelope_;
};
