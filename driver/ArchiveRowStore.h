#pragma once
// The rows of a listing kept compactly: the texts of all rows in large blocks that never move,
// folder paths and chapter texts stored once each, a small fixed record per row.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "driver/JarSinks.h"

class ArchiveRowStore {
 public:
  ArchiveRowStore() = default;
  ArchiveRowStore(const ArchiveRowStore&) = delete;
  ArchiveRowStore& operator=(const ArchiveRowStore&) = delete;

  // Copies the row. Size, attributes and modified are the listing's fixed-width columns: at most
  // 255 bytes of each are kept. The image index is kept in the range -128..127.
  void Add(const ArchiveEntryRow& row);
  void Clear();

  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  // The row's texts point into the store and stay valid until Clear.
  ArchiveEntryRow Row(size_t index) const;
  // A row's caption and folder number, and a folder's text: for work over many rows of few folders.
  std::string_view Caption(size_t index) const { return {rows_[index].text, rows_[index].captionLength}; }
  uint32_t FolderOf(size_t index) const { return rows_[index].folder; }
  std::string_view FolderText(uint32_t folder) const { return folders_.Text(folder); }

  size_t FolderCount() const { return folders_.Count(); }
  // Bytes held by the store (blocks, row records, interned texts), for measurements.
  size_t MemoryBytes() const;

 private:
  struct Entry {
    const char* text;  // caption, size, attributes and modified, back to back
    uint32_t captionLength;
    uint32_t folder;
    uint32_t chapters;
    uint8_t sizeLength, attributesLength, modifiedLength;
    int8_t imageIndex;
  };

  // Each distinct text once; the id of the text added last is remembered, since rows of one folder
  // come together.
  class Interned {
   public:
    uint32_t Id(std::string_view text);
    std::string_view Text(uint32_t id) const { return texts_[id]; }
    size_t Count() const { return texts_.size(); }
    size_t MemoryBytes() const;
    void Clear();

   private:
    std::deque<std::string> texts_;  // stable addresses for the keys below
    std::unordered_map<std::string_view, uint32_t> ids_;
    uint32_t last_ = UINT32_MAX;
  };

  char* Allocate(size_t bytes);

  std::vector<Entry> rows_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t blockBytes_ = 0;  // bytes allocated in blocks_
  char* next_ = nullptr;
  size_t left_ = 0;  // free bytes at next_
  Interned folders_, chapters_;
};
