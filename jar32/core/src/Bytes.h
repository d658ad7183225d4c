// Little-endian encoding helpers with bounds checks for untrusted input.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "jar32/Errors.h"

namespace jar32 {

using Bytes = std::vector<uint8_t>;

inline void putU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void putU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void putU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint16_t getU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t getU32(const uint8_t* p) {
  uint32_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline uint64_t getU64(const uint8_t* p) {
  uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

/// Appends values to a byte vector (varints: LEB128; signed ones zigzag-encoded).
class ByteWriter {
 public:
  explicit ByteWriter(Bytes& out) : out_(out) {}
  void u8(uint8_t v) { out_.push_back(v); }
  void u64(uint64_t v) {
    uint8_t b[8];
    putU64(b, v);
    raw(b, 8);
  }
  void var(uint64_t v) {
    while (v >= 0x80) {
      out_.push_back(uint8_t(v | 0x80));
      v >>= 7;
    }
    out_.push_back(uint8_t(v));
  }
  void svar(int64_t v) { var((uint64_t(v) << 1) ^ uint64_t(v >> 63)); }
  void str(std::string_view s) {
    var(s.size());
    raw(s.data(), s.size());
  }
  void raw(const void* p, size_t n) {
    auto b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }

 private:
  Bytes& out_;
};

/// Reads values from untrusted bytes; any overrun or malformed value throws JarError(kCrcError)
/// with the given context in the message.
class ByteReader {
 public:
  ByteReader() : ByteReader(nullptr, 0, "data") {}
  ByteReader(const uint8_t* p, size_t n, const char* what) : p_(p), end_(p + n), what_(what) {}
  size_t remaining() const { return size_t(end_ - p_); }
  const uint8_t* position() const { return p_; }
  void skip(size_t n) {
    need(n);
    p_ += n;
  }
  bool atEnd() const { return p_ == end_; }
  uint8_t u8() {
    need(1);
    return *p_++;
  }
  uint64_t u64() {
    need(8);
    uint64_t v = getU64(p_);
    p_ += 8;
    return v;
  }
  uint64_t var() {
    if (p_ != end_ && *p_ < 0x80) return *p_++;  // most values take one byte
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      uint8_t b = u8();
      v |= uint64_t(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    fail();
  }
  /// A varint that must not exceed limit.
  uint64_t var(uint64_t limit) {
    uint64_t v = var();
    if (v > limit) fail();
    return v;
  }
  int64_t svar() {
    uint64_t v = var();
    return int64_t(v >> 1) ^ -int64_t(v & 1);
  }
  std::string str(size_t limit) {
    uint64_t n = var();
    if (n > limit || n > remaining()) fail();
    std::string s(reinterpret_cast<const char*>(p_), size_t(n));
    p_ += n;
    return s;
  }
  /// Checks and passes over what str(limit) would return.
  void skipStr(size_t limit) {
    uint64_t n = var();
    if (n > limit || n > remaining()) fail();
    p_ += n;
  }
  void raw(void* out, size_t n) {
    need(n);
    std::memcpy(out, p_, n);
    p_ += n;
  }
  [[noreturn]] void fail() const {
    throw JarError(kCrcError, std::string("Damaged archive: bad ") + what_);
  }

 private:
  void need(size_t n) const {
    if (remaining() < n) fail();
  }
  const uint8_t* p_;
  const uint8_t* end_;
  const char* what_;
};

}  // namespace jar32
