#include "mainwindow/MainStatusBar.h"

#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <algorithm>
#include <climits>

namespace {

// The width of each panel; a panel grows with its text, the summary panel with the window. The last
// panel shows nothing: it gives its room to the summary when the window is narrow.
constexpr int kPanelWidths[MainStatusBar::kPanelCount] = {50, 100, 44, 180, 50};
constexpr int kSummaryLeast = 120;
constexpr int kLastLeast = 8;

}  // namespace

MainStatusBar::MainStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("StatusBar1");
  setAccessibleName("Status bar");
  for (int i = 0; i < kPanelCount; ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QString("StatusBar1Panel%1").arg(i));
    panel->setMinimumWidth(i == 3 ? kSummaryLeast : i == 4 ? kLastLeast : kPanelWidths[i]);
    panel->setAlignment((i <= 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    panel->setFrameStyle(i == 4 ? QFrame::NoFrame : QFrame::StyledPanel | QFrame::Sunken);
    panel->setContentsMargins(3, 0, 3, 0);
    if (i == 4) {
      panel->setMaximumWidth(kPanelWidths[i]);
      panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // room for the summary first
    }
    addWidget(panel, i == 3 ? 1 : 0);
    panels_[static_cast<size_t>(i)] = panel;
  }
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("ProgressBar1");
  progressBar_->setAccessibleName("Listing progress");
  progressBar_->setRange(0, 100);
  progressBar_->setTextVisible(false);
  progressBar_->hide();
}

void MainStatusBar::SetPanelText(int panel, const QString& text) {
  panels_[static_cast<size_t>(panel)]->setText(text);
}

QString MainStatusBar::PanelText(int panel) const { return panels_[static_cast<size_t>(panel)]->text(); }

void MainStatusBar::mouseReleaseEvent(QMouseEvent* event) {
  QStatusBar::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void MainStatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  progressBar_->setGeometry(0, 1, std::max(0, width() - 5), std::max(0, height() - 1));
}

void ProgressBarSink::SetMaximum(int64_t maximum) {
  bar_.setMaximum(static_cast<int>(std::clamp<int64_t>(maximum, 0, INT_MAX)));
  shownPercent_ = -1;
  sincePaint_.invalidate();
}

int64_t ProgressBarSink::Maximum() const { return bar_.maximum(); }

void ProgressBarSink::SetPosition(int64_t position) {
  const int64_t maximum = bar_.maximum();
  position = std::clamp<int64_t>(position, 0, maximum);
  const int percent = maximum > 0 ? static_cast<int>(position * 100 / maximum) : 0;
  constexpr qint64 kFrameMs = 40;
  if (percent == shownPercent_ || (sincePaint_.isValid() && sincePaint_.elapsed() < kFrameMs)) return;
  shownPercent_ = percent;
  bar_.setValue(static_cast<int>(position));
  if (bar_.isVisible()) bar_.repaint();
  sincePaint_.start();
}

void ProgressBarSink::Show() {
  bar_.raise();
  bar_.show();
}

void ProgressBarSink::Hide() { bar_.hide(); }
