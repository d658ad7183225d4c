// libFuzzer target: the argument-file parser (tokenizer, switches, invocation, jar.cfg).
// Any input must end in a parsed invocation or a UsageError, never a crash; and items written
// back in quotes must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Config.h"
#include "Invocation.h"
#include "MemberNames.h"
#include "Tokenizer.h"
#include "UsageError.h"
#include "Wildcard.h"

using namespace jar32::cli;

namespace {

void listFromInput(const std::string&, NameList& names) {
  names.push_back("a.txt");
  names.push_back("docs\\*");
}

void roundTrip(const std::vector<Token>& items) {
  std::string line;
  for (const Token& t : items) {
    if (t.text.find('"') != std::string::npos) std::abort();  // quotes never survive
    line += " \"" + t.text + "\"";
  }
  const std::vector<Token> again = tokenize(line);
  if (again.size() != items.size()) std::abort();
  for (size_t i = 0; i < items.size(); ++i)
    if (again[i].text != items[i].text || again[i].literalFrom != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const std::vector<Token> items = tokenize(text);
    roundTrip(items);
    if (leadingCommand(items)) {
      const Invocation inv = parseInvocation(items, Options{}, &listFromInput);
      for (const std::string name : inv.names.toVector()) {
        const std::string pattern = normalizeMemberPattern(name);
        (void)memberMatches(pattern, name, false);
        (void)safeRelativePath(name);
        if (!wildcardMatch("*", name)) std::abort();
      }
    }
  } catch (const UsageError&) {
  }
  try {
    (void)parseConfig(text);
  } catch (const UsageError&) {
  }
  // Wildcards: the first line is a pattern, the rest a name.
  const size_t cut = text.find('\n');
  if (cut != std::string::npos) {
    const std::string pattern = text.substr(0, cut), name = text.substr(cut + 1);
    (void)wildcardMatch(pattern, name, '/');
    (void)wildcardMatch(pattern, name);
    (void)linkTargetStaysInside(pattern, name);
  }
  return 0;
}
