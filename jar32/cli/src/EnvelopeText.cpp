#include "EnvelopeText.h"

#include <pwd.h>
#include <unistd.h>

#include "MemberNames.h"
#include "Output.h"
#include "jar32/Envelope.h"

namespace jar32::cli {

bool signerTrusted(const EnvelopeInfo& e) { return isTrustedKey(keyFolder(), e.publicKey); }

std::string signatureText(const EnvelopeInfo& e) {
  std::string text = printable(e.signerName.empty() ? std::string("(no name)") : e.signerName);
  text += ", key " + keyFingerprint(e.publicKey) + ", signed " + localTimeText(e.signedAt);
  if (!signerTrusted(e)) text += ", not one of your trusted keys";
  return text;
}

std::string signerNameOf(const Options& o) {
  if (!o.signerName.empty()) return o.signerName;
  std::string name;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) name = pw->pw_name;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0 && host[0]) name += std::string("@") + host;
  return name.empty() ? std::string("jar32.exe user") : name.substr(0, kSignerNameMax);
}

OpenOptions openOptionsOf(const Options& o) {
  OpenOptions options;
  options.testEnvelope = !o.skipEnvelopeTest;
  return options;
}

}  // namespace jar32::cli
