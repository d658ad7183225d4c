#pragma once
// The chapter range of the Extract and Delete dialogs: "From" (FromEdit with UpDown1), the label
// "To:" (Label4) and "To" (ToEdit with UpDown2). The numbers change only by the up-down buttons,
// the arrow and page keys or the wheel, never by typing, and From never exceeds To: moving From
// raises To's lower bound, moving To lowers From's upper bound.

#include <QSpinBox>

class QLabel;
class QLineEdit;

// An up-down button over a read-only number box; the box is reachable as numberBox().
class ChapterUpDown : public QSpinBox {
  Q_OBJECT
 public:
  ChapterUpDown(const QString& upDownName, const QString& editName, const QString& accessibleName,
                QWidget* parent);
  QLineEdit* numberBox() const { return lineEdit(); }
};

class ChapterRange : public QObject {
  Q_OBJECT
 public:
  // From at 1 in 1..1, To at 1 in 1..1000, all three disabled.
  explicit ChapterRange(QWidget* parent);

  ChapterUpDown* from() const { return from_; }
  ChapterUpDown* to() const { return to_; }
  QLabel* toLabel() const { return toLabel_; }

  // The archive's last chapter becomes To's upper bound (a From beyond it comes down with it).
  void SetLastChapter(int lastChapter);
  // Enables or disables both numbers and the label.
  void SetEnabled(bool enabled);

 private:
  ChapterUpDown* from_;
  QLabel* toLabel_;
  ChapterUpDown* to_;
};
