#include "driver/RunDetails.h"

#include <cstdint>
#include <fstream>

#include "driver/TJarExecute.h"

namespace rundetails {
namespace {

constexpr std::string_view kMask = "***";

// The length of the password value at the switch starting at i ("-g" or "-jg"), 0 when none.
size_t ValueLength(std::string_view text, size_t valueStart) {
  if (valueStart >= text.size()) return 0;
  if (text[valueStart] == '"') {
    const size_t close = text.find('"', valueStart + 1);
    return close == std::string_view::npos ? text.size() - valueStart : close + 1 - valueStart;
  }
  if (text[valueStart] == '-' && (valueStart + 1 == text.size() || text[valueStart + 1] == ' ' ||
                                  text[valueStart + 1] == '\n' || text[valueStart + 1] == '\r'))
    return 0;  // "-g-": no password
  size_t end = valueStart;
  while (end < text.size() && text[end] != ' ' && text[end] != '\n' && text[end] != '\r') ++end;
  return end - valueStart;
}

bool StartsSwitch(std::string_view text, size_t i) { return i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n'; }

}  // namespace

std::string MaskPasswords(std::string_view text, const std::vector<std::string>& passwords) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t valueStart = std::string_view::npos;
    if (StartsSwitch(text, i) && text.substr(i, 2) == "-g")
      valueStart = i + 2;
    else if (StartsSwitch(text, i) && text.substr(i, 3) == "-jg")
      valueStart = i + 3;
    if (valueStart != std::string_view::npos) {
      const size_t length = ValueLength(text, valueStart);
      out.append(text.substr(i, valueStart - i));
      if (length > 0) {
        const bool quoted = text[valueStart] == '"';
        out += quoted ? "\"" + std::string(kMask) + "\"" : std::string(kMask);
      }
      i = valueStart + length;
      continue;
    }
    out += text[i++];
  }
  // A password that shows up anywhere else (an echo of the archiver, a name) goes too.
  for (const std::string& password : passwords) {
    if (password.empty()) continue;
    for (size_t at = out.find(password); at != std::string::npos; at = out.find(password, at + kMask.size()))
      out.replace(at, password.size(), kMask);
  }
  return out;
}

std::string ExitCodeMeaning(int exitCode) {
  switch (exitCode) {
    case 0: return "no error";
    case 1: return "warning: something was skipped";
    case 2: return "fatal error";
    case 3: return "CRC or authentication failure";
    case 5: return "disk full or write error";
    case 6: return "a file cannot be opened";
    case 7: return "bad parameters";
    case 8: return "out of memory";
    case 9: return "not a JAR archive";
    case 10: return "internal error of the archiver";
    case 11: return "interrupted";
    case 13: return "the run was terminated";
    case TJarExecute::kHandleError: return "a work file could not be opened or closed";
    case TJarExecute::kStartError: return "the archiver could not be started";
    default: return "unknown exit code";
  }
}

std::string TailOfFile(const std::string& path, size_t maxBytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return "";
  const std::streamoff size = in.tellg();
  if (size <= 0) return "";
  const bool cut = static_cast<uint64_t>(size) > maxBytes;
  const std::streamoff start = cut ? size - static_cast<std::streamoff>(maxBytes) : 0;
  std::string text(static_cast<size_t>(size - start), '\0');
  in.seekg(start);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (!cut) return text;
  // Start on a whole UTF-8 character.
  size_t first = 0;
  while (first < text.size() && (static_cast<unsigned char>(text[first]) & 0xC0) == 0x80) ++first;
  return "[...]\n" + text.substr(first);
}

std::string DetailsText(const std::string& command, const std::string& argumentLine, int exitCode,
                        const std::string& errorText, const std::string& outputText) {
  std::string details = "Command: " + command + "\n";
  if (!argumentLine.empty()) details += "Argument file: " + argumentLine + "\n";
  details += "Exit code: " + std::to_string(exitCode) + " (" + ExitCodeMeaning(exitCode) + ")\n";
  details += "\nError output:\n" + (errorText.empty() ? std::string("(none)\n") : errorText);
  if (details.back() != '\n') details += '\n';
  details += "\nOutput:\n" + (outputText.empty() ? std::string("(none)\n") : outputText);
  if (details.back() != '\n') details += '\n';
  return details;
}

}  // namespace rundetails
