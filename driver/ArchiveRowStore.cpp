#include "driver/ArchiveRowStore.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kBlockSize = size_t{1} << 20;

uint8_t ShortLength(std::string_view text) {
  return static_cast<uint8_t>(std::min<size_t>(text.size(), std::numeric_limits<uint8_t>::max()));
}

}  // namespace

uint32_t ArchiveRowStore::Interned::Id(std::string_view text) {
  if (last_ != UINT32_MAX && texts_[last_] == text) return last_;
  auto found = ids_.find(text);
  if (found == ids_.end()) {
    texts_.emplace_back(text);
    found = ids_.emplace(texts_.back(), static_cast<uint32_t>(texts_.size() - 1)).first;
  }
  last_ = found->second;
  return last_;
}

size_t ArchiveRowStore::Interned::MemoryBytes() const {
  size_t bytes = ids_.bucket_count() * sizeof(void*) + ids_.size() * (sizeof(std::string_view) + 16);
  for (const std::string& text : texts_) bytes += sizeof(std::string) + text.capacity();
  return bytes;
}

void ArchiveRowStore::Interned::Clear() {
  ids_.clear();
  texts_.clear();
  last_ = UINT32_MAX;
}

char* ArchiveRowStore::Allocate(size_t bytes) {
  if (bytes > left_ || !next_) {
    const size_t blockSize = std::max(bytes, kBlockSize);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
    blockBytes_ += blockSize;
    next_ = blocks_.back().get();
    left_ = blockSize;
  }
  char* out = next_;
  next_ += bytes;
  left_ -= bytes;
  return out;
}

void ArchiveRowStore::Add(const ArchiveEntryRow& row) {
  const std::string_view caption = row.caption.substr(0, std::numeric_limits<uint32_t>::max());
  Entry e;
  e.captionLength = static_cast<uint32_t>(caption.size());
  e.sizeLength = ShortLength(row.size);
  e.attributesLength = ShortLength(row.attributes);
  e.modifiedLength = ShortLength(row.modified);
  e.imageIndex = static_cast<int8_t>(std::clamp(row.imageIndex, -128, 127));
  e.folder = folders_.Id(row.path);
  e.chapters = chapters_.Id(row.chapters);

  const size_t total = caption.size() + e.sizeLength + e.attributesLength + e.modifiedLength;
  char* out = Allocate(total);
  e.text = out;
  // Empty views may carry a null pointer; memcpy must not see it.
  auto put = [&out](std::string_view text, size_t length) {
    if (length) std::memcpy(out, text.data(), length);
    out += length;
  };
  put(caption, caption.size());
  put(row.size, e.sizeLength);
  put(row.attributes, e.attributesLength);
  put(row.modified, e.modifiedLength);
  rows_.push_back(e);
}

ArchiveEntryRow ArchiveRowStore::Row(size_t index) const {
  const Entry& e = rows_[index];
  ArchiveEntryRow row;
  const char* p = e.text;
  row.caption = {p, e.captionLength};
  p += e.captionLength;
  row.size = {p, e.sizeLength};
  p += e.sizeLength;
  row.attributes = {p, e.attributesLength};
  p += e.attributesLength;
  row.modified = {p, e.modifiedLength};
  row.path = folders_.Text(e.folder);
  row.chapters = chapters_.Text(e.chapters);
  row.imageIndex = e.imageIndex;
  return row;
}

void ArchiveRowStore::Clear() {
  rows_.clear();
  rows_.shrink_to_fit();
  blocks_.clear();
  blockBytes_ = 0;
  next_ = nullptr;
  left_ = 0;
  folders_.Clear();
  chapters_.Clear();
}

size_t ArchiveRowStore::MemoryBytes() const {
  return blockBytes_ + rows_.capacity() * sizeof(Entry) + blocks_.capacity() * sizeof(blocks_[0]) +
         folders_.MemoryBytes() + chapters_.MemoryBytes();
}
