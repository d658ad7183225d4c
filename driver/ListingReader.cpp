#include "driver/ListingReader.h"

#include <cstring>

namespace {
constexpr size_t kBlockSize = size_t{1} << 20;
}

ListingReader::~ListingReader() { Close(); }

bool ListingReader::Open(const std::string& fileName) {
  Close();
  file_ = std::fopen(fileName.c_str(), "rb");
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);  // we read whole blocks ourselves
  buffer_.resize(kBlockSize);
  return true;
}

void ListingReader::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  start_ = end_ = 0;
  eof_ = false;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

bool ListingReader::Fill() {
  if (!file_ || eof_) return false;
  if (start_ > 0) {  // keep the partial line at the front
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a line longer than the buffer
  const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  if (got == 0) {
    eof_ = true;  // also on a read error: the listing ends there
    return false;
  }
  end_ += got;
  return true;
}

bool ListingReader::AtEnd() {
  return start_ == end_ && !Fill();
}

std::string_view ListingReader::ReadLine(int64_t& count) {
  if (!file_) return {};
  size_t scanned = 0;  // bytes after start_ already known to hold no line feed
  for (;;) {
    const char* begin = buffer_.data() + start_;
    const size_t available = end_ - start_;
    if (const void* lf = std::memchr(begin + scanned, '\n', available - scanned)) {
      const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - begin);
      start_ += length + 1;
      count += static_cast<int64_t>(length + 1);
      return {begin, length};
    }
    scanned = available;
    if (!Fill()) {  // the last line has no line feed
      begin = buffer_.data() + start_;
      start_ = end_;
      count += static_cast<int64_t>(available);
      return {begin, available};
    }
  }
}
