#include "config/InfoDialog_unit.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <charconv>
#include <limits>
#include <optional>

#include "driver/AppTitle.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

constexpr int kClientWidth = 293;
constexpr int kClientHeight = 257;
constexpr int kLongValueCharacters = 36;  // names and the signature are elided beyond this

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; }

std::optional<int64_t> Decimal(std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

bool Contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string TrimmedText(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return std::string(text);
}

int64_t TotalBytesValue(std::string_view text) {
  if (text.size() <= 3) return 0;
  const std::string trimmed = TrimmedText(text);
  std::string_view rest = trimmed;
  if (rest.find(',') == std::string_view::npos) return Decimal(rest).value_or(0);
  // Every group counts (a group that is no number as 0); totals beyond 64 bits stay at the largest.
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (bool first = true;; first = false) {
    const size_t comma = rest.find(',');
    const int64_t group = Decimal(rest.substr(0, comma)).value_or(0);
    if (!first) value = value > (kMax - group) / 1000 ? kMax : value * 1000 + group;
    else value = group;
    if (comma == std::string_view::npos) return value;
    rest.remove_prefix(comma + 1);
  }
}

std::string KilobytesText(int64_t bytes, std::string_view separator) {
  const int64_t kilobytes = bytes / 1024;
  const uint64_t magnitude = kilobytes < 0 ? 0 - static_cast<uint64_t>(kilobytes) : static_cast<uint64_t>(kilobytes);
  const std::string digits = std::to_string(magnitude);
  std::string out = kilobytes < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out + " KB";
}

TInfoDialog::TInfoDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("InfoDialog");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " Archive Information");

  // One bevelled panel of caption/value pairs; returns its grid.
  auto panel = [this](const char* name) {
    auto* frame = new QFrame(this);
    frame->setObjectName(name);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    grid->setColumnStretch(1, 1);
    return std::make_pair(frame, grid);
  };
  auto pair = [this](QGridLayout* grid, const char* caption, QLabel* value) {
    const int row = grid->rowCount();
    auto* label = new QLabel(caption, this);
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1);
    return label;
  };

  auto [panel2, names] = panel("Panel2");
  pair(names, "Archive Name:", archiveName_ = ValueLabel("ArchiveName"));
  pair(names, "Archive Created:", creation_ = ValueLabel("Creation"));
  pair(names, "Archive Modified:", modified_ = ValueLabel("Modified"));

  auto [panel3, extras] = panel("Panel3");
  pair(extras, "Archive Comments:", archiveComments_ = ValueLabel("ArchiveComments"));
  pair(extras, "Archive Lock:", archiveLock_ = ValueLabel("ArchiveLock"));
  pair(extras, "- Auto-Lock:", autoLock_ = ValueLabel("AutoLock"));
  pair(extras, "Password:", password_ = ValueLabel("Password"));
  pair(extras, "Contents Hidden:", contentsHidden_ = ValueLabel("ContentsHidden"));
  pair(extras, "Encrypted:", encrypted_ = ValueLabel("Encrypted"));
  pair(extras, "Recovery Records:", recoveryRecords_ = ValueLabel("RecoveryRecords"));
  extras->setRowStretch(extras->rowCount(), 1);

  auto [panel4, sizes] = panel("Panel4");
  pair(sizes, "# Files:", nrFiles_ = ValueLabel("NrFiles"));
  pair(sizes, "Archive Size:", fileSize_ = ValueLabel("FileSize"));
  pair(sizes, "Files Size:", compressedSize_ = ValueLabel("CompressedSize"));
  pair(sizes, "Ratio:", ratio_ = ValueLabel("Ratio"));
  QLabel* chaptersCaption = pair(sizes, "# Chapters:", nrChapters_ = ValueLabel("NrChapters"));
  chaptersCaption->hide();
  nrChapters_->hide();
  for (QLabel* value : {nrFiles_, fileSize_, compressedSize_, ratio_}) value->setAlignment(Qt::AlignRight);

  auto [panel1, security] = panel("Panel1");
  pair(security, "Secured:", secured_ = ValueLabel("Label14"));
  pair(security, "Sec. Env.:", securityEnvelope_ = ValueLabel("Label19"));

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("Button1");
  ok->setDefault(true);
  ok->setAutoDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* right = new QVBoxLayout;
  right->setSpacing(6);
  right->addWidget(panel4);
  right->addWidget(panel1);
  right->addStretch();
  auto* middle = new QHBoxLayout;
  middle->setSpacing(6);
  middle->addWidget(panel3, 1);
  middle->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);
  layout->addWidget(panel2);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);

  FixSize();
  platform::PlaceDialog(this, owner);
}

QLabel* TInfoDialog::ValueLabel(const char* name) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// The Part's size, or more when the layout needs more at the current font.
void TInfoDialog::FixSize() {
  ensurePolished();  // the fonts the labels are shown with decide their size
  layout()->invalidate();
  layout()->activate();
  setFixedSize(layout()->sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
}

void TInfoDialog::FillInfo(const std::string& archiveName, const std::string& flags, const std::string& signature,
                           const std::string& modifiedDate, const std::string& createdDate, const std::string& ratio,
                           const std::string& totalBytes, int64_t fileSize, const std::string& files,
                           bool hasComment) {
  const int longest = fontMetrics().averageCharWidth() * kLongValueCharacters;
  // A long text shows its beginning and end; the whole text is in the tool tip and the description.
  auto setLong = [longest](QLabel* label, const std::string& text) {
    const QString full = Q(text);
    label->setText(label->fontMetrics().elidedText(full, Qt::ElideMiddle, longest));
    label->setToolTip(label->text() == full ? QString() : full);
    label->setAccessibleDescription(full);
  };
  const std::string separator = QLocale().groupSeparator().toStdString();

  setLong(archiveName_, archiveName);
  archiveComments_->setText(hasComment ? "Present" : "Absent");
  archiveLock_->setText(Contains(flags, "LOCKED") || Contains(flags, "AUTO_LOCK") ? "Present" : "Absent");
  autoLock_->setText(Contains(flags, "AUTO_LOCK") ? "Yes" : "No");
  password_->setText(Contains(flags, "PROTECTED") ? "Present" : "Absent");
  contentsHidden_->setText(Contains(flags, "HIDDEN") ? "Yes" : "No");
  encrypted_->setText(Contains(flags, "ENCRYPTED") ? "Yes" : "No");
  recoveryRecords_->setText(Contains(flags, "RECOVERY RECORDS") ? "Yes" : "No");
  nrFiles_->setText(Q(TrimmedText(files)));
  fileSize_->setText(Q(KilobytesText(fileSize, separator)));
  compressedSize_->setText(Q(KilobytesText(TotalBytesValue(totalBytes), separator)));
  ratio_->setText(Q(TrimmedText(ratio)));
  nrChapters_->setText(QString());
  creation_->setText(Q(createdDate));
  modified_->setText(Q(modifiedDate));
  secured_->setText(Contains(flags, "SECURED") ? "Yes" : "No");
  setLong(securityEnvelope_, signature);
  FixSize();
}

void TInfoDialog::showEvent(QShowEvent* event) {
  FixSize();
  QDialog::showEvent(event);
}

void TInfoDialog::ShowInfo(const std::string& archiveName, const std::string& flags, const std::string& signature,
                           const std::string& modifiedDate, const std::string& createdDate, int32_t /*unused*/,
                           const std::string& ratio, const std::string& totalBytes, int64_t fileSize,
                           const std::string& files, bool hasComment) {
  FillInfo(archiveName, flags, signature, modifiedDate, createdDate, ratio, totalBytes, fileSize, files, hasComment);
  platform::PlaceDialog(this, parentWidget());
  exec();
}
