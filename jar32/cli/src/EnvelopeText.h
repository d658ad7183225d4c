// What the commands say about a security envelope, and the signer's name.
#pragma once

#include <string>

#include "Options.h"
#include "jar32/Archive.h"
#include "jar32/Member.h"

namespace jar32::cli {

/// "<name>, key <fingerprint>, signed <local time>", and ", not one of your trusted keys" when
/// the key is neither the user's own nor listed as trusted.
std::string signatureText(const EnvelopeInfo& envelope);

bool signerTrusted(const EnvelopeInfo& envelope);

/// The jar.cfg name, else "<login>@<host>".
std::string signerNameOf(const Options& options);

OpenOptions openOptionsOf(const Options& options);

}  // namespace jar32::cli
