#include "MemberNames.h"

#include <algorithm>
#include <cstdint>

#include "Wildcard.h"

namespace jar32::cli {

namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// The listing's reader takes a line holding this for the totals.
constexpr std::string_view kTotalsMarker = "Total files listed";

bool isDriveLetter(std::string_view part) {
  return part.size() >= 2 && part[1] == ':' &&
         ((part[0] >= 'a' && part[0] <= 'z') || (part[0] >= 'A' && part[0] <= 'Z'));
}

std::vector<std::string_view> splitAny(std::string_view text, std::string_view seps) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t pos = text.find_first_of(seps, start);
    if (pos == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

}  // namespace

std::optional<std::string> hostComponentProblem(std::string_view component, bool isFolder) {
  for (unsigned char c : component) {
    if (isControl(c)) return std::string("it holds a control character");
    if (c == '\\') return std::string("it holds a backslash");
    if (c == '"' || c == '*' || c == '?')
      return std::string("it holds the character ") + static_cast<char>(c);
  }
  if (!component.empty() && component.front() == ' ') return std::string("it begins with a blank");
  if (!isFolder && !component.empty() && component.back() == ' ')
    return std::string("it ends with a blank");
  if (isFolder && component.find(kTotalsMarker) != std::string_view::npos)
    return "it holds \"" + std::string(kTotalsMarker) + "\"";
  return std::nullopt;
}

std::string normalizeMemberPattern(std::string_view pattern) {
  std::string out(pattern);
  for (char& c : out)
    if (c == '/') c = '\\';
  size_t lead = 0;
  while (lead < out.size() && out[lead] == '\\') ++lead;
  out.erase(0, lead);
  return out;
}

bool memberMatches(std::string_view pattern, std::string_view name, bool isFolder) {
  if (!pattern.empty() && pattern.back() == '\\') {
    if (!isFolder) return false;
    pattern.remove_suffix(1);
  }
  if (wildcardMatch(pattern, name)) return true;
  if (isFolder) {
    std::string withSlash(name);
    withSlash.push_back('\\');
    return wildcardMatch(pattern, withSlash);
  }
  return false;
}

bool memberMatchesAny(const std::vector<std::string>& patterns, std::string_view name,
                      bool isFolder) {
  if (patterns.empty()) return true;
  for (const std::string& p : patterns)
    if (memberMatches(p, name, isFolder)) return true;
  return false;
}

bool memberExcluded(const std::vector<std::string>& excludes, std::string_view name, bool isFolder) {
  for (const std::string& raw : excludes) {
    const std::string p = normalizeMemberPattern(raw);
    if (p.empty()) continue;
    if (memberMatches(p, name, isFolder)) return true;
    std::string_view core = p;
    if (core.back() == '\\') core.remove_suffix(1);
    const bool hasSep = core.find('\\') != std::string_view::npos;
    if (!hasSep && memberMatches(p, memberLeaf(name), isFolder)) return true;
  }
  return false;
}

SafePath safeRelativePath(std::string_view name) {
  SafePath result;
  if (name.empty()) {
    result.problem = "empty name";
    return result;
  }
  if (name[0] == '\\' || name[0] == '/') {
    result.problem = "absolute name";
    return result;
  }
  const auto parts = splitAny(name, "\\/");
  if (isDriveLetter(parts[0])) {
    result.problem = "name with a drive letter";
    return result;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    if (part.empty()) {
      // One trailing backslash marks a folder; other empty parts are not allowed.
      if (i + 1 == parts.size() && i > 0) break;
      result.problem = "empty part in the name";
      result.parts.clear();
      return result;
    }
    if (part == "..") {
      result.problem = "name with \"..\"";
      result.parts.clear();
      return result;
    }
    if (part == ".") {
      result.problem = "name with \".\"";
      result.parts.clear();
      return result;
    }
    result.parts.emplace_back(part);
  }
  return result;
}

std::optional<std::string> normalizeBaseFolder(std::string_view outputPath) {
  std::string base;
  for (std::string_view part : splitAny(outputPath, "\\/")) {
    if (part.empty()) continue;
    if (part == "." || part == ".." || hostComponentProblem(part, true)) return std::nullopt;
    base.append(part);
    base.push_back('\\');
  }
  return base;
}

bool linkTargetStaysInside(std::string_view memberName, std::string_view target) {
  if (target.empty() || target[0] == '/') return false;
  const SafePath link = safeRelativePath(memberName);
  if (!link.problem.empty()) return false;
  long depth = static_cast<long>(link.parts.size()) - 1;  // folders above the link
  bool descending = false;
  for (std::string_view part : splitAny(target, "/")) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (descending || --depth < 0) return false;
    } else {
      descending = true;
    }
  }
  return true;
}

std::string joinMemberName(const std::vector<std::string>& parts) {
  std::string name;
  for (const std::string& part : parts) {
    if (!name.empty()) name.push_back('\\');
    name += part;
  }
  return name;
}

namespace {

/// Length of the UTF-8 sequence of a printable character at text[i], or 0 when the byte there
/// starts a control character or no valid sequence.
size_t printableSequence(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return isControl(c) ? 0 : 1;
  size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  if (cp >= 0x80 && cp <= 0x9F) return 0;  // C1 controls (0x9B starts terminal commands)
  return n;
}

template <typename Replace>
std::string sanitized(std::string_view text, Replace replace) {
  // Most names are printable ASCII throughout: they come back as they are.
  if (std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x80 && !isControl(b);
      }))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (const size_t n = printableSequence(text, i)) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      replace(out, static_cast<unsigned char>(text[i]));
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string printable(std::string_view text) {
  return sanitized(text, [](std::string& out, unsigned char) { out.push_back('?'); });
}

std::string escaped(std::string_view text) {
  return sanitized(text, [](std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 15]);
  });
}

std::string_view memberFolder(std::string_view name) {
  const size_t pos = name.rfind('\\');
  return pos == std::string_view::npos ? std::string_view() : name.substr(0, pos + 1);
}

std::string_view memberLeaf(std::string_view name) {
  const size_t pos = name.rfind('\\');
  return pos == std::string_view::npos ? name : name.substr(pos + 1);
}

}  // namespace jar32::cli
