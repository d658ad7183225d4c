#include "config/ErrorForm_unit.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "driver/AppTitle.h"
#include "platform/Files.h"
#include "platform/qt/PlaceDialogWidget.h"

namespace {

constexpr int kClientWidth = 416;
constexpr int kClientHeight = 159;
constexpr int kPanelHeight = 41;
// About a megabyte of text: a tenth of a second to add.
constexpr qsizetype kPartSize = qsizetype(1) << 20;

// The file's text, or a line saying it cannot be read. Only regular files are read: a pipe or a
// device would block or never end.
QString LoadFile(const std::string& fileName) {
  std::error_code ec;
  std::string bytes;
  if (!std::filesystem::is_regular_file(fileName, ec) || !platform::ReadWholeFile(fileName, bytes))
    return QString::fromStdString("Can't open file: \"" + fileName + "\"");
  return OutputText(bytes);
}

}  // namespace

QString OutputText(std::string_view bytes) {
  QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  text.replace(QChar(QChar::Null), QChar(QChar::ReplacementCharacter));
  return text;
}

TErrorForm::TErrorForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint) {
  setObjectName("ErrorForm");
  setWindowTitle(QString::fromUtf8(kAppTitle) + " - ");
  setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setAccessibleName("Output");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setWordWrapMode(QTextOption::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo1->setUndoRedoEnabled(false);
  Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QPalette palette = Memo1->palette();
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::Base, Qt::white);
  Memo1->setPalette(palette);

  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Button1 = new QPushButton("OK", Panel1);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Panel1->setFixedHeight(std::max(kPanelHeight, Button1->sizeHint().height() + 8));
  auto* panelLayout = new QHBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addStretch();
  panelLayout->addWidget(Button1);
  panelLayout->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Memo1, 1);
  layout->addWidget(Panel1);
  // Opens at the classic size but can be made larger: a long output is unreadable in 416 x 159.
  setMinimumSize(QSize(kClientWidth, kClientHeight).expandedTo(minimumSizeHint()));
  resize(minimumSize());
  setSizeGripEnabled(true);

  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  loader_ = new QTimer(this);
  loader_->setInterval(0);
  connect(loader_, &QTimer::timeout, this, &TErrorForm::AddNextPart);
}

void TErrorForm::ShowText(const QString& text) {
  StopLoading();
  if (text.size() <= kPartSize) {
    Memo1->setPlainText(text);
    return;
  }
  pending_ = text;
  pendingAt_ = 0;
  Memo1->clear();
  AddNextPart();
  loader_->start();
}

bool TErrorForm::IsLoading() const { return pendingAt_ < pending_.size(); }

// Parts end after a line break, so they join into exactly the text.
void TErrorForm::AddNextPart() {
  if (!IsLoading()) return StopLoading();
  qsizetype end = pendingAt_ + kPartSize;
  if (end >= pending_.size()) {
    end = pending_.size();
  } else {
    const qsizetype lineEnd = pending_.lastIndexOf(u'\n', end - 1);
    if (lineEnd >= pendingAt_)
      end = lineEnd + 1;
    else if (pending_[end - 1] == u'\r' || pending_[end - 1].isHighSurrogate())
      --end;  // a line longer than a part: keep a line break or a character whole
  }
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QStringView(pending_).mid(pendingAt_, end - pendingAt_).toString());
  pendingAt_ = end;
  if (!IsLoading()) StopLoading();
}

void TErrorForm::StopLoading() {
  loader_->stop();
  pending_.clear();
  pending_.squeeze();
  pendingAt_ = 0;
}

void TErrorForm::Execute(const std::string& fileName) {
  const bool fromFile = platform::FileExists(fileName);
  if (fromFile) ShowText(LoadFile(fileName));
  platform::PlaceDialog(this, parentWidget());
  QPointer<TErrorForm> self(this);
  exec();
  if (!self) return;
  StopLoading();
  if (fromFile) Memo1->clear();
}

void TErrorForm::FormShow() { Button1->setFocus(); }

void TErrorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}
