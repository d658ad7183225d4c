#include "driver/ListingReader.h"

#include <algorithm>
#include <cstring>

// A line is handed out only once it is known whether anything follows it: when its line feed is
// the last byte read so far, the next block is read first. So after Open and after every ReadLine
// either a byte is waiting or the file has ended, and AtEnd() never has to read.

ListingReader::~ListingReader() { Close(); }

bool ListingReader::Open(const std::string& fileName) {
  Close();
  file_ = std::fopen(fileName.c_str(), "rb");
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);  // we read whole blocks ourselves
  buffer_.resize(blockSize_);
  Fill();
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

void ListingReader::Fill() {
  if (!file_ || eof_) return;
  const size_t unread = end_ - start_;
  size_t capacity = buffer_.size();
  if (unread == capacity) capacity *= 2;  // a line longer than the buffer
  if (movingRefills_) {
    std::vector<char> moved(capacity);
    std::memcpy(moved.data(), buffer_.data() + start_, unread);
    std::fill(buffer_.begin(), buffer_.end(), '\x7f');
    buffer_.swap(moved);
  } else {
    std::memmove(buffer_.data(), buffer_.data() + start_, unread);  // keep the partial line at the front
    buffer_.resize(capacity);
  }
  start_ = 0;
  end_ = unread;
  const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  if (got == 0)
    eof_ = true;  // also on a read error: the listing ends there
  else
    end_ += got;
}

std::string_view ListingReader::ReadLine(int64_t& count) {
  if (!file_) return {};
  size_t scanned = 0;  // bytes after start_ already known to hold no line feed
  for (;;) {
    const char* begin = buffer_.data() + start_;
    const size_t available = end_ - start_;
    const void* lf = std::memchr(begin + scanned, '\n', available - scanned);
    const size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : available;
    const size_t taken = lf ? length + 1 : length;
    if (taken < available || eof_) {
      start_ += taken;
      count += static_cast<int64_t>(taken);
      return {begin, length};
    }
    scanned = length;
    Fill();
  }
}
