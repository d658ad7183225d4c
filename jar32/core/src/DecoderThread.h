// A decoder run on a thread of its own, ahead of its reader: what the reader does with the
// output (rebuilding gzip trailers, hashing) overlaps with decoding.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "Bytes.h"
#include "Codec.h"

namespace jar32 {

class DecoderThread final : public Decoder {
 public:
  explicit DecoderThread(std::unique_ptr<Decoder> inner);
  ~DecoderThread() override;
  /// Takes what input there is room for (a few MiB wait at most) and returns the output decoded
  /// so far, waiting for some unless the decoder needs more input. Damage found ahead is thrown
  /// once the output before it has been returned.
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
              size_t outCap) override;
  bool finished() const override;

 private:
  void run();

  std::unique_ptr<Decoder> inner_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  Bytes input_;              // given, not yet taken by the thread
  std::deque<Bytes> ready_;  // decoded, not yet returned
  size_t readyBytes_ = 0, frontPos_ = 0;
  bool starving_ = false;  // the thread waits for input
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace jar32
