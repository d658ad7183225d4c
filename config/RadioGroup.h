#pragma once
// A titled group of radio buttons with one item index (-1 when none is selected), as the
// configuration dialog's radio groups are. A field may stand beside an item, as a folder box
// beside "Folder:". Tab enters the group at its selected item; the arrow keys move between items.

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& title, const QStringList& items, QWidget* parent);

  int count() const { return static_cast<int>(items_.size()); }
  QRadioButton* item(int index) const { return items_.at(static_cast<size_t>(index)); }
  // -1 when no item is selected.
  int itemIndex() const;
  // Selects an item, clamped to -1 .. count()-1 (-1 clears the selection), and emits clicked().
  void setItemIndex(int index);
  // Takes an item out of the group; a selected one leaves nothing selected.
  void removeItem(int index);
  // Puts a widget beside an item, on the item's row.
  void setField(int index, QWidget* field);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // The selection changed, by the user or by setItemIndex.
  void clicked();

 private:
  QButtonGroup* buttons_;
  QGridLayout* grid_;
  std::vector<QRadioButton*> items_;
};
