#pragma once
// The filter box above the list: a line edit whose text narrows the rows shown. Escape clears and
// hides it; Return or Down gives the list the focus.

#include <QWidget>

class QLineEdit;
class QToolButton;

class FilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit FilterBar(QWidget* parent = nullptr);

  QString text() const;
  // Shows the bar and puts the focus into its box, the text selected.
  void Begin();
  // Clears the text and hides the bar.
  void End();

 signals:
  void textChanged(const QString& text);
  void ended();
  void toList();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_ = nullptr;
  QToolButton* close_ = nullptr;
};
