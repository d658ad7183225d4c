#pragma once
// The comment pane below the list: flags, chapters and the archive comment, one line per row of a
// list box. It keeps the lines as the listing gave them (bytes) beside the widget's text.

#include <QListWidget>
#include <string>
#include <vector>

#include "driver/JarSinks.h"

class CommentPane : public QListWidget, public JarCommentSink {
  Q_OBJECT

 public:
  explicit CommentPane(QWidget* parent = nullptr);

  void BeginUpdate() override;
  void EndUpdate() override;
  void Clear() override;
  void AddLine(const std::string& line) override;

  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines);

 private:
  int updateDepth_ = 0;
  std::vector<std::string> lines_;
};
