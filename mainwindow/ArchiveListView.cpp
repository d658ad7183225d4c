#include "mainwindow/ArchiveListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

ArchiveListView::ArchiveListView(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);  // a million rows scroll only when every row has one height
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);  // the owner sorts on header clicks
  setTextElideMode(Qt::ElideRight);
  header()->setSectionsMovable(false);
  header()->setSectionsClickable(true);
  header()->setStretchLastSection(true);
}

void ArchiveListView::mousePressEvent(QMouseEvent* event) {
  // A plain press on a selected row may become a drag of the selection.
  const QModelIndex hit = indexAt(event->position().toPoint());
  dragCandidate_ = dragEnabled() && event->button() == Qt::LeftButton && hit.isValid() &&
                   !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) &&
                   selectionModel()->isRowSelected(hit.row(), hit.parent());
  pressedAt_ = event->position().toPoint();
  QTreeView::mousePressEvent(event);
  emit mousePressed(event->button(), event->modifiers(), event->position().toPoint());
}

void ArchiveListView::keyReleaseEvent(QKeyEvent* event) {
  QTreeView::keyReleaseEvent(event);
  if (!event->isAutoRepeat()) emit keyReleased(event->key(), event->modifiers());
}

void ArchiveListView::startDrag(Qt::DropActions) {
  if (dragStarter) dragStarter();
}

// The drag starts here, not in the item view: its test walks every selected index on each move,
// which a million selected rows make slow.
void ArchiveListView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (dragCandidate_ && (event->buttons() & Qt::LeftButton) && dragStarter) {
    if ((pos - pressedAt_).manhattanLength() < QApplication::startDragDistance()) return;
    dragCandidate_ = false;
    dragStarter();
    setState(NoState);
    return;
  }
  const bool drag = dragEnabled();
  setDragEnabled(false);
  QTreeView::mouseMoveEvent(event);
  setDragEnabled(drag);
}
