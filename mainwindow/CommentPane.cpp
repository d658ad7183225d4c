#include "mainwindow/CommentPane.h"

CommentPane::CommentPane(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setWordWrap(false);
}

void CommentPane::BeginUpdate() {
  if (updateDepth_++ == 0) setUpdatesEnabled(false);
}

void CommentPane::EndUpdate() {
  if (updateDepth_ > 0 && --updateDepth_ == 0) setUpdatesEnabled(true);
}

void CommentPane::Clear() {
  lines_.clear();
  clear();
}

void CommentPane::AddLine(const std::string& line) {
  lines_.push_back(line);
  addItem(QString::fromStdString(line));
}

void CommentPane::SetLines(std::vector<std::string> lines) {
  BeginUpdate();
  Clear();
  for (const std::string& line : lines) AddLine(line);
  EndUpdate();
}
