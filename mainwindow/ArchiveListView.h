#pragma once
// The list view of the archive's rows: a flat tree view that tells its owner about mouse presses
// (after the view has applied them to the selection) and key releases.

#include <QTreeView>
#include <functional>

class ArchiveListView : public QTreeView {
  Q_OBJECT

 public:
  explicit ArchiveListView(QWidget* parent = nullptr);

  // Starts a drag of the selected rows when dragging is enabled; the owner makes the data.
  std::function<void()> dragStarter;

 signals:
  // pos is in the viewport; the row under it, if any, is indexAt(pos).
  void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void keyReleased(int key, Qt::KeyboardModifiers modifiers);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  bool dragCandidate_ = false;
  QPoint pressedAt_;
};
