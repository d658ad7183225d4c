#pragma once
// Reads the archiver's output file once, in large blocks, one line at a time.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class ListingReader {
 public:
  static constexpr size_t kBlockSize = size_t{1} << 20;

  ListingReader() = default;
  ListingReader(const ListingReader&) = delete;
  ListingReader& operator=(const ListingReader&) = delete;
  ~ListingReader();

  bool Open(const std::string& fileName);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  // True when every byte of the file has been taken (also when no file is open). Never reads, so
  // the line last returned stays valid.
  bool AtEnd() const { return start_ == end_; }
  // The next line without its line feed (a carriage return before it stays); "" at the end. Every
  // byte taken, the line feed included, adds 1 to count. Valid until the next ReadLine or Close.
  std::string_view ReadLine(int64_t& count);

  // For tests: the size of a read (from the next Open on), and refills that move the unread bytes
  // to a new buffer and spoil the old one, so that a line used after its lifetime shows.
  void SetBlockSize(size_t bytes) { blockSize_ = bytes > 0 ? bytes : 1; }
  void SetMovingRefills(bool moving) { movingRefills_ = moving; }

 private:
  // Reads more of the file behind the bytes not yet taken; sets eof_ when nothing more came.
  void Fill();

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t start_ = 0, end_ = 0;  // the bytes not yet taken
  bool eof_ = false;
  size_t blockSize_ = kBlockSize;
  bool movingRefills_ = false;
};
