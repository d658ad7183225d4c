// The user's signing key and the keys they trust, for security envelopes (-hy).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace jar32 {

inline constexpr size_t kSignerNameMax = 127;

struct SigningKey {
  ~SigningKey();
  uint8_t secretKey[64] = {};  // libsodium's Ed25519 secret key (seed and public key)
  uint8_t publicKey[32] = {};
  std::string name;            // written into the envelope (at most kSignerNameMax bytes)
};

/// $XDG_CONFIG_HOME/tamber, or ~/.config/tamber without it.
std::string keyFolder();

/// Loads the signing key of `folder` (jar32-signing.key), making it on first use together with
/// jar32-signing.pub. Throws JarError(kFatal) when the key file is readable by others or does
/// not parse, kWriteError when it cannot be made. A name longer than kSignerNameMax is cut.
std::shared_ptr<const SigningKey> loadSigningKey(const std::string& folder, const std::string& name);

/// True for the folder's own public key and for every key listed in jar32-trusted-keys.
bool isTrustedKey(const std::string& folder, const uint8_t publicKey[32]);

/// Short fingerprint of a public key: five groups of four hex digits ("3F2A-9C1B-...").
std::string keyFingerprint(const uint8_t publicKey[32]);

/// Lower-case hex of bytes, and back (false for a wrong length or a non-hex digit).
std::string toHex(const uint8_t* data, size_t n);
bool fromHex(const std::string& text, uint8_t* out, size_t n);

}  // namespace jar32
