#include "Checksum.h"

#include <isa-l/crc.h>
// The dispatching variants keep XXH3 fast after ISA-L has used AVX registers.
#include <xxh_x86dispatch.h>
#include <xxhash.h>

namespace jar32 {

uint32_t crc32(const void* data, size_t size, uint32_t seed) {
  // ISA-L's length argument is 64-bit; no chunking needed.
  return crc32_gzip_refl(seed, static_cast<const unsigned char*>(data), size);
}

struct ContentHash::State {
  XXH3_state_t* s = XXH3_createState();
  ~State() { XXH3_freeState(s); }
};

ContentHash::ContentHash() : state_(std::make_unique<State>()) {
  if (!state_->s) throw std::bad_alloc();
  reset();
}
ContentHash::~ContentHash() = default;
void ContentHash::reset() { XXH3_64bits_reset(state_->s); }
void ContentHash::update(const void* data, size_t size) {
  if (size) XXH3_64bits_update_dispatch(state_->s, data, size);
}
uint64_t ContentHash::digest() const { return XXH3_64bits_digest(state_->s); }

}  // namespace jar32
