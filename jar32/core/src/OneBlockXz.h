// Decoding of the .xz streams jar32 writes (no check, one block of LZMA2 alone) with the LZMA
// SDK's decoder, which is faster than liblzma's and can decode straight into the caller's
// buffer, which is then its dictionary. Other .xz streams are liblzma's to decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Bytes.h"

namespace jar32 {

class OneBlockXz {
 public:
  /// The bytes of the stream's headers (stream header and block header) when head starts with
  /// a stream this decodes; 0 when it does not, or when head is too short to tell.
  static size_t headersOf(const uint8_t* head, size_t n);
  /// memoryLimit: most bytes the dictionary may take when the decoder keeps its own.
  /// faultAhead: a dictionary of its own is faulted in on another thread, ahead of the decoder
  /// (where no other thread of the decoding needs the second core).
  OneBlockXz(uint64_t memoryLimit, bool faultAhead);
  ~OneBlockXz();
  OneBlockXz(const OneBlockXz&) = delete;
  OneBlockXz& operator=(const OneBlockXz&) = delete;

  /// Before the first step: every step writes right after the previous one's output in window
  /// (size bytes), which the decoder reads back as its dictionary.
  void useWindow(uint8_t* window, size_t size);
  /// As Decoder::step.
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out, size_t outCap);
  bool finished() const { return phase_ == Phase::Done; }

 private:
  enum class Phase { Headers, Data, Trailer, Done };
  void begin(const uint8_t* headers, size_t n);
  size_t decode(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out, size_t outCap);
  void endData();

  struct Sdk;
  std::unique_ptr<Sdk> sdk_;
  uint64_t memoryLimit_;
  bool faultAhead_;
  Phase phase_ = Phase::Headers;
  Bytes headers_;          // gathered until whole
  size_t headerSize_ = 0;  // stream header and block header
  uint64_t declaredPacked_ = UINT64_MAX, declaredRaw_ = UINT64_MAX;
  uint64_t packed_ = 0, produced_ = 0;
  uint8_t* window_ = nullptr;
  size_t windowSize_ = 0;
  Bytes trailer_;  // what must follow the data: padding, index and stream footer
  size_t trailerPos_ = 0;
};

}  // namespace jar32
