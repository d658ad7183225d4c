#pragma once
// The main window's status bar: five panels (files, bytes, ratio, the selection summary and an
// empty one) and the progress bar that lies over them while a listing is read. A click on it is
// reported (it cancels a run).

#include <QStatusBar>
#include <QElapsedTimer>
#include <array>
#include <cstdint>

#include "driver/JarSinks.h"

class QLabel;
class QProgressBar;

class MainStatusBar : public QStatusBar, public JarStatusSink {
  Q_OBJECT

 public:
  static constexpr int kPanelCount = 5;

  explicit MainStatusBar(QWidget* parent = nullptr);

  void SetPanelText(int panel, const QString& text);
  QString PanelText(int panel) const;
  QProgressBar* progressBar() const { return progressBar_; }

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::array<QLabel*, kPanelCount> panels_{};
  QProgressBar* progressBar_;
};

// The job's progress while it reads a listing: the bar is repainted at once, since the listing is
// read without returning to the event loop, but only when the shown percentage changed and not
// more often than a screen needs to show movement.
class ProgressBarSink : public JarProgressSink {
 public:
  explicit ProgressBarSink(QProgressBar& bar) : bar_(bar) {}
  void SetMaximum(int64_t maximum) override;
  int64_t Maximum() const override;
  void SetPosition(int64_t position) override;
  void Show() override;
  void Hide() override;

 private:
  QProgressBar& bar_;
  int shownPercent_ = -1;
  QElapsedTimer sincePaint_;
};
