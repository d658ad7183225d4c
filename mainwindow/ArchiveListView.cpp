#include "mainwindow/ArchiveListView.h"

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
