#pragma once
// What the job fills while it reads a listing: the owner's list, comment pane, progress bar and
// status bar. The main window implements these; the driver never sees a widget.

#include <cstdint>
#include <string>
#include <string_view>

// One list row per archive member. The texts point into the parser's line buffer and are valid only
// during the AddRow call: a sink copies what it keeps.
struct ArchiveEntryRow {
  std::string_view caption;     // member name
  std::string_view size;
  std::string_view attributes;
  std::string_view path;        // folder inside the archive
  std::string_view chapters;
  std::string_view modified;
  int imageIndex = 0;           // 1 marks a folder row
};

class JarListSink {
 public:
  virtual ~JarListSink() = default;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  virtual void Clear() = 0;
  virtual void AddRow(const ArchiveEntryRow& row) = 0;
  virtual bool SortingEnabled() const = 0;
  virtual void SetSortingEnabled(bool enabled) = 0;
};

class JarCommentSink {
 public:
  virtual ~JarCommentSink() = default;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  virtual void Clear() = 0;
  virtual void AddLine(const std::string& line) = 0;
};

class JarProgressSink {
 public:
  virtual ~JarProgressSink() = default;
  // The bar may accept less than asked; Maximum() tells what it holds.
  virtual void SetMaximum(int64_t maximum) = 0;
  virtual int64_t Maximum() const = 0;
  virtual void SetPosition(int64_t position) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
};

// The owner's status bar; the job only keeps the link for its owner.
class JarStatusSink {
 public:
  virtual ~JarStatusSink() = default;
};
