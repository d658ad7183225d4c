#pragma once
// Reads the archiver's output file once, in large blocks, one line at a time.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class ListingReader {
 public:
  ListingReader() = default;
  ListingReader(const ListingReader&) = delete;
  ListingReader& operator=(const ListingReader&) = delete;
  ~ListingReader();

  bool Open(const std::string& fileName);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  // True when every byte of the file has been taken (also when no file is open).
  bool AtEnd();
  // The next line without its line feed (a carriage return before it stays); "" at the end. Every
  // byte taken, the line feed included, adds 1 to count. Valid until the next call.
  std::string_view ReadLine(int64_t& count);

 private:
  // Reads more of the file behind the bytes not yet taken; false when nothing more came.
  bool Fill();

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t start_ = 0, end_ = 0;  // the bytes not yet taken
  bool eof_ = false;
};
