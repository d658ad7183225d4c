// The security envelope: an Ed25519 signature over every byte of the archive before it,
// kept in the last 256 bytes of the archive.
#pragma once

#include <cstdint>
#include <string>

#include "FileIo.h"
#include "jar32/Envelope.h"
#include "jar32/Member.h"

namespace jar32 {

inline constexpr size_t kEnvelopeSize = 256;

struct EnvelopeFields {
  uint64_t covered = 0;   // archive bytes before the envelope
  int64_t signedAt = 0;
  uint8_t publicKey[32] = {};
  std::string name;
  uint8_t signature[64] = {};
};

/// True when the bytes begin with the envelope's magic.
bool hasEnvelopeMagic(const uint8_t* bytes);
void encodeEnvelopeFields(const EnvelopeFields& f, uint8_t* out);
/// False when a field is out of its range (the signature is not checked here).
bool decodeEnvelopeFields(const uint8_t* in, EnvelopeFields& out);

/// Signs the archive file at `path` (complete but for the envelope) and appends the envelope.
void appendEnvelope(const std::string& path, const SigningKey& key, int64_t signedAt);

/// The reader's first step: an envelope at the end of `file` is verified (unless `test` is
/// false) and left out of what the file shows from then on. A broken envelope throws
/// JarError(kCrcError) naming it.
EnvelopeInfo openEnvelope(File& file, bool test);

}  // namespace jar32
