// gzip trailers left out of the stored data and rebuilt on reading. A gzip file ends in the CRC32
// and size of its inflated data: 8 bytes that nothing before them predicts, so the compressor
// cannot shrink them. The writer drops them from every gzip file that ends right after its one
// deflate stream and whose trailer is right; the reader inflates each such stream again as its
// bytes pass and writes the trailer back after it.
//
// The map says where those files are in the stripped stream: pairs of varints (bytes that pass
// as they are, then how many stripped gzip files follow back to back); what follows the last
// pair passes as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bytes.h"
#include "LargeBuffers.h"

typedef struct z_stream_s z_stream;

namespace jar32::gzip {

/// The inflating a stripped stream may ask for: at most this many bytes per byte of the stream
/// up to the file being inflated, plus kInflateAllowance.
inline constexpr uint64_t kInflatePerByte = 16;
inline constexpr uint64_t kInflateAllowance = 4ull << 20;
/// The largest map a reader accepts.
inline constexpr uint64_t kMaxMapBytes = 4ull << 20;

struct Stripped {
  LargeBytes data;  // the input without the trailers
  Bytes map;
  size_t files = 0;  // gzip files whose trailer was left out
};

/// Leaves out the trailers of the gzip files among the files of data[0..n), which begin at
/// `starts` (ascending; empty: all of it is one file).
Stripped strip(const uint8_t* data, size_t n, const std::vector<uint64_t>& starts);

/// A gzip header read a byte at a time: the fixed part, then the optional parts its flags name.
class HeaderParser {
 public:
  enum Result { kMore, kDone, kBad };
  Result feed(uint8_t b);

 private:
  enum Part { kFixed, kExtraLength, kExtraBytes, kNameBytes, kCommentBytes, kHeaderCrcBytes, kEnd };
  Result next(int done);  // moves past `done` to the next part the flags name
  int part_ = kFixed;
  uint32_t left_ = 10, extra_ = 0;
  uint8_t fixed_[10] = {};
  uint8_t flags_ = 0;
};

/// Rebuilds the original bytes from a stripped stream and its map, fed in pieces.
class Restorer {
 public:
  Restorer(const uint8_t* map, size_t mapSize);
  ~Restorer();
  Restorer(const Restorer&) = delete;
  Restorer& operator=(const Restorer&) = delete;

  /// Takes stripped bytes from in[inPos..inSize) and writes original bytes to out (at most
  /// outCap), advancing inPos; returns the bytes written. Damage throws JarError(kCrcError).
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out, size_t outCap);
  /// After the stripped stream's end: throws unless it ended where a file may end and every
  /// file of the map was seen.
  void checkEnd() const;
  /// True when no trailer bytes wait to be written.
  bool idle() const { return pendingPos_ == pendingLen_; }

 private:
  enum class State { Gap, Header, Deflate, Rest };
  void nextPair();
  void startFile();
  size_t header(const uint8_t* in, size_t n);  // returns the bytes of the header taken
  size_t inflate(const uint8_t* in, size_t n);  // returns the bytes taken; may end the file

  ByteReader map_;
  State state_ = State::Gap;
  uint64_t gapLeft_ = 0, runLeft_ = 0;
  HeaderParser header_;
  z_stream* z_ = nullptr;
  uint32_t crc_ = 0;
  uint64_t inflated_ = 0;       // of the current file
  uint64_t inflatedTotal_ = 0;  // of all files so far
  uint64_t consumed_ = 0;       // stripped bytes taken so far
  Bytes scratch_;
  uint8_t pending_[8] = {};
  unsigned pendingPos_ = 0, pendingLen_ = 0;
};

}  // namespace jar32::gzip
