#include "GzipTrailers.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "Checksum.h"
#include "jar32/Errors.h"

namespace jar32::gzip {
namespace {

[[noreturn]] void damaged(const char* what) {
  throw JarError(kCrcError, std::string("Damaged archive: ") + what);
}

constexpr size_t kScratch = 64 * 1024;
// Header flags; FTEXT (1) is a hint that passes as it is.
constexpr uint8_t kHeaderCrc = 2, kExtra = 4, kName = 8, kComment = 16;
constexpr size_t kTrailer = 8;


z_stream* newInflater() {
  auto* z = new z_stream{};
  if (inflateInit2(z, -15) != Z_OK) {
    delete z;
    throw std::bad_alloc();
  }
  return z;
}

void freeInflater(z_stream* z) {
  if (!z) return;
  inflateEnd(z);
  delete z;
}

// Inflates one file's deflate stream (all of in[0..n)) within `budget` inflated bytes; true when
// the stream ends exactly at n. crc and size: of the inflated data.
bool inflateWhole(z_stream* z, const uint8_t* in, size_t n, uint64_t budget, uint8_t* scratch,
                  uint32_t& crc, uint64_t& size) {
  if (inflateReset(z) != Z_OK) return false;
  crc = 0;
  size = 0;
  z->next_in = const_cast<uint8_t*>(in);
  uint64_t left = n;
  for (;;) {
    z->avail_in = uInt(std::min<uint64_t>(left, 1u << 30));
    const uInt given = z->avail_in;
    z->next_out = scratch;
    z->avail_out = kScratch;
    const int r = ::inflate(z, Z_NO_FLUSH);
    left -= given - z->avail_in;
    const size_t got = kScratch - z->avail_out;
    crc = crc32(scratch, got, crc);
    size += got;
    if (size > budget) return false;
    if (r == Z_STREAM_END) return left == 0 && z->avail_in == 0;
    if (r != Z_OK) return false;  // damaged, or cut short
  }
}

struct Pair {
  uint64_t gap = 0, run = 0;
};

}  // namespace

HeaderParser::Result HeaderParser::feed(uint8_t b) {
  switch (part_) {
    case kFixed:
      fixed_[10 - left_] = b;
      if (--left_) return kMore;
      if (fixed_[0] != 0x1F || fixed_[1] != 0x8B || fixed_[2] != 8 || (fixed_[3] & 0xE0))
        return kBad;
      flags_ = fixed_[3];
      return next(kFixed);
    case kExtraLength:
      extra_ |= uint32_t(b) << (8 * (2 - left_));
      if (--left_) return kMore;
      if (extra_) {
        part_ = kExtraBytes;
        left_ = extra_;
        return kMore;
      }
      return next(kExtraBytes);
    case kExtraBytes:
    case kHeaderCrcBytes: return --left_ ? kMore : next(part_);
    case kNameBytes:
    case kCommentBytes: return b ? kMore : next(part_);
    default: return kBad;
  }
}

HeaderParser::Result HeaderParser::next(int done) {
  for (int p = done + 1; p < kEnd; ++p) {
    if ((p == kExtraLength && (flags_ & kExtra)) || (p == kNameBytes && (flags_ & kName)) ||
        (p == kCommentBytes && (flags_ & kComment)) ||
        (p == kHeaderCrcBytes && (flags_ & kHeaderCrc))) {
      part_ = p;
      left_ = p == kExtraLength || p == kHeaderCrcBytes ? 2 : 0;
      return kMore;
    }
  }
  part_ = kEnd;
  return kDone;
}

Stripped strip(const uint8_t* data, size_t n, const std::vector<uint64_t>& starts) {
  Stripped s;
  s.data.reserve(n);
  std::vector<uint64_t> bounds{0};
  for (uint64_t b : starts)
    if (b > bounds.back() && b < n) bounds.push_back(b);
  bounds.push_back(n);

  z_stream* z = nullptr;
  Bytes scratch;
  std::vector<Pair> pairs;
  uint64_t gap = 0, inflatedTotal = 0;
  try {
    for (size_t k = 0; k + 1 < bounds.size(); ++k) {
      const uint8_t* file = data + bounds[k];
      const size_t len = size_t(bounds[k + 1] - bounds[k]);
      bool stripped = false;
      if (len >= 10 + 2 + kTrailer && file[0] == 0x1F && file[1] == 0x8B) {
        HeaderParser header;
        size_t h = 0;
        HeaderParser::Result r = HeaderParser::kMore;
        while (r == HeaderParser::kMore && h < len - kTrailer) r = header.feed(file[h++]);
        const uint64_t budget = kInflatePerByte * s.data.size() + kInflateAllowance;
        if (r == HeaderParser::kDone && inflatedTotal < budget) {
          if (!z) {
            z = newInflater();
            scratch.resize(kScratch);
          }
          uint32_t crc;
          uint64_t size;
          const uint8_t* trailer = file + len - kTrailer;
          if (inflateWhole(z, file + h, len - kTrailer - h, budget - inflatedTotal, scratch.data(),
                           crc, size) &&
              getU32(trailer) == crc && getU32(trailer + 4) == uint32_t(size)) {
            stripped = true;
            inflatedTotal += size;
          }
        }
      }
      if (!stripped) {
        s.data.insert(s.data.end(), file, file + len);
        gap += len;
        continue;
      }
      s.data.insert(s.data.end(), file, file + len - kTrailer);
      if (pairs.empty() || gap) pairs.push_back({gap, 0});
      ++pairs.back().run;
      ++s.files;
      gap = 0;
    }
  } catch (...) {
    freeInflater(z);
    throw;
  }
  freeInflater(z);
  ByteWriter w(s.map);
  for (const Pair& p : pairs) {
    w.var(p.gap);
    w.var(p.run);
  }
  return s;
}

Restorer::Restorer(const uint8_t* map, size_t mapSize) : map_(map, mapSize, "gzip map") {
  nextPair();
}

Restorer::~Restorer() { freeInflater(z_); }

void Restorer::nextPair() {
  if (map_.atEnd()) {
    state_ = State::Rest;
    return;
  }
  gapLeft_ = map_.var();
  runLeft_ = map_.var();
  if (runLeft_ == 0) map_.fail();
  state_ = State::Gap;
  if (gapLeft_ == 0) startFile();
}

void Restorer::startFile() {
  state_ = State::Header;
  header_ = HeaderParser{};
}

size_t Restorer::header(const uint8_t* in, size_t n) {
  size_t i = 0;
  while (i < n) {
    const HeaderParser::Result r = header_.feed(in[i++]);
    if (r == HeaderParser::kBad) damaged("bad gzip header");
    if (r == HeaderParser::kDone) {
      if (!z_) {
        z_ = newInflater();
        scratch_.resize(kScratch);
      } else if (inflateReset(z_) != Z_OK) {
        damaged("gzip data does not inflate");
      }
      crc_ = 0;
      inflated_ = 0;
      state_ = State::Deflate;
      break;
    }
  }
  return i;
}

size_t Restorer::inflate(const uint8_t* in, size_t n) {
  z_->next_in = const_cast<uint8_t*>(in);
  z_->avail_in = uInt(n);
  for (;;) {
    z_->next_out = scratch_.data();
    z_->avail_out = kScratch;
    const int r = ::inflate(z_, Z_NO_FLUSH);
    const size_t got = kScratch - z_->avail_out;
    const size_t taken = n - z_->avail_in;
    crc_ = crc32(scratch_.data(), got, crc_);
    inflated_ += got;
    inflatedTotal_ += got;
    if (inflatedTotal_ > kInflatePerByte * (consumed_ + taken) + kInflateAllowance)
      damaged("gzip data inflates too far");
    if (r == Z_STREAM_END) {
      putU32(pending_, crc_);
      putU32(pending_ + 4, uint32_t(inflated_));
      pendingPos_ = 0;
      pendingLen_ = kTrailer;
      state_ = State::Gap;
      if (--runLeft_ == 0) nextPair();
      else startFile();
      return taken;
    }
    if (r == Z_MEM_ERROR) throw std::bad_alloc();
    if (r != Z_OK && r != Z_BUF_ERROR) damaged("gzip data does not inflate");
    if (z_->avail_in == 0 && z_->avail_out != 0) return taken;
    if (r == Z_BUF_ERROR) damaged("gzip data does not inflate");
  }
}

size_t Restorer::step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                      size_t outCap) {
  size_t produced = 0;
  while (produced < outCap) {
    if (pendingPos_ < pendingLen_) {
      const size_t k = std::min<size_t>(pendingLen_ - pendingPos_, outCap - produced);
      std::memcpy(out + produced, pending_ + pendingPos_, k);
      pendingPos_ += unsigned(k);
      produced += k;
      continue;
    }
    if (inPos == inSize) break;
    const size_t room = std::min(inSize - inPos, outCap - produced);
    size_t taken = 0;
    switch (state_) {
      case State::Gap:
        taken = size_t(std::min<uint64_t>(room, gapLeft_));
        gapLeft_ -= taken;
        if (gapLeft_ == 0) startFile();
        break;
      case State::Header: taken = header(in + inPos, room); break;
      case State::Deflate: taken = inflate(in + inPos, room); break;
      case State::Rest: taken = room; break;
    }
    // Every byte of the stripped stream passes as it is; the trailers come from pending_.
    std::memcpy(out + produced, in + inPos, taken);
    inPos += taken;
    produced += taken;
    consumed_ += taken;
  }
  return produced;
}

void Restorer::checkEnd() const {
  if (state_ == State::Header || state_ == State::Deflate) damaged("gzip file cut short");
  if (state_ != State::Rest) damaged("gzip map longer than its data");
}

}  // namespace jar32::gzip
