// CRC32 for headers and chunks (ISA-L), XXH3-64 for member contents (xxHash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace jar32 {

uint32_t crc32(const void* data, size_t size, uint32_t seed = 0);

/// Streaming XXH3-64 of a member's data.
class ContentHash {
 public:
  ContentHash();
  ~ContentHash();
  ContentHash(const ContentHash&) = delete;
  ContentHash& operator=(const ContentHash&) = delete;
  void reset();
  void update(const void* data, size_t size);
  uint64_t digest() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace jar32
