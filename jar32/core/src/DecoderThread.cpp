#include "DecoderThread.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr size_t kChunk = 128 * 1024;
// At most twice the backlog of input (what the thread decodes, and what waits) and the ready
// output are held besides the decoder's state: 3.2 MiB.
constexpr size_t kMaxBacklog = 1u << 20;  // input waiting for the thread
constexpr size_t kMaxReady = 1u << 20;    // output waiting for the reader

}  // namespace

DecoderThread::DecoderThread(std::unique_ptr<Decoder> inner)
    : inner_(std::move(inner)), thread_([this] { run(); }) {}

DecoderThread::~DecoderThread() {
  {
    std::lock_guard lk(m_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void DecoderThread::run() {
  Bytes in, chunk;
  size_t pos = 0;
  try {
    for (;;) {
      chunk.resize(kChunk);
      const size_t before = pos;
      const size_t got = inner_->step(in.data(), in.size(), pos, chunk.data(), kChunk);
      if (got) {
        chunk.resize(got);
        std::unique_lock lk(m_);
        cv_.wait(lk, [&] { return stop_ || readyBytes_ < kMaxReady; });
        if (stop_) return;
        readyBytes_ += got;
        ready_.push_back(std::move(chunk));
        chunk = Bytes();
        cv_.notify_all();
        continue;
      }
      if (pos < in.size()) {
        if (pos == before) throw JarError(kCrcError, "Damaged archive: compressed data does not decode");
        continue;
      }
      // All it holds is decoded: wait for more input (after the end, only to refuse it).
      std::unique_lock lk(m_);
      starving_ = true;
      cv_.notify_all();
      cv_.wait(lk, [&] { return stop_ || !input_.empty(); });
      if (stop_) return;
      starving_ = false;
      in.swap(input_);
      input_.clear();
      pos = 0;
    }
  } catch (...) {
    std::lock_guard lk(m_);
    error_ = std::current_exception();
    cv_.notify_all();
  }
}

size_t DecoderThread::step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                           size_t outCap) {
  size_t produced = 0;
  std::unique_lock lk(m_);
  auto give = [&] {
    const size_t n = std::min(inSize - inPos, kMaxBacklog - std::min(kMaxBacklog, input_.size()));
    if (n == 0) return false;
    input_.insert(input_.end(), in + inPos, in + inPos + n);
    inPos += n;
    cv_.notify_all();
    return true;
  };
  give();
  while (produced < outCap) {
    if (!ready_.empty()) {
      Bytes& front = ready_.front();
      const size_t n = std::min(front.size() - frontPos_, outCap - produced);
      std::memcpy(out + produced, front.data() + frontPos_, n);
      produced += n;
      frontPos_ += n;
      if (frontPos_ == front.size()) {
        readyBytes_ -= front.size();
        ready_.pop_front();
        frontPos_ = 0;
        cv_.notify_all();
      }
      continue;
    }
    if (error_) {
      if (produced) break;
      std::rethrow_exception(error_);
    }
    if (produced) break;
    if (starving_ && input_.empty() && !give()) break;  // the caller has to give more input
    if (!starving_ || !input_.empty()) cv_.wait(lk);
  }
  return produced;
}

bool DecoderThread::finished() const {
  std::lock_guard lk(m_);
  return !error_ && starving_ && input_.empty() && ready_.empty() && inner_->finished();
}

}  // namespace jar32
