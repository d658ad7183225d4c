#include "config/AssociationFiles.h"

#include <vector>

namespace association {
namespace {

constexpr std::string_view kDefaultGroup = "[Default Applications]";

// One line of a file with its own line break ("\n", "\r\n", or none on the last line).
struct Line {
  std::string_view text;   // without the line break
  std::string_view whole;  // with it
};

std::vector<Line> SplitLines(std::string_view file) {
  std::vector<Line> lines;
  while (!file.empty()) {
    const size_t end = file.find('\n');
    std::string_view whole = end == std::string_view::npos ? file : file.substr(0, end + 1);
    std::string_view text = whole;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({text, whole});
    file.remove_prefix(whole.size());
  }
  return lines;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsGroupHeader(std::string_view text) { return !text.empty() && text.front() == '['; }

// The key of a "key=value" line, or "" for anything else (comments, blank lines).
std::string_view KeyOf(std::string_view text) {
  if (text.empty() || text.front() == '#') return {};
  const size_t equals = text.find('=');
  return equals == std::string_view::npos ? std::string_view() : Trimmed(text.substr(0, equals));
}

std::string_view ValueOf(std::string_view text) {
  std::string_view value = text.substr(text.find('=') + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  return value;
}

// The line break the file uses, so that lines we add match their neighbours.
std::string_view LineBreakOf(std::string_view file) {
  const size_t end = file.find('\n');
  return end != std::string_view::npos && end > 0 && file[end - 1] == '\r' ? "\r\n" : "\n";
}

// Quotes one argument of an Exec line where the desktop entry rules require it.
std::string QuotedExecArgument(std::string_view argument) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#`()";
  std::string result;
  const bool quote = argument.find_first_of(kReserved) != std::string_view::npos;
  if (quote) result += '"';
  for (char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) result += '\\';
    if (c == '%') result += '%';  // a literal percent sign is doubled
    result += c;
  }
  if (quote) result += '"';
  return result;
}

// The string escapes of desktop entry values.
std::string EscapedValue(std::string_view text) {
  std::string result;
  for (char c : text) {
    if (c == '\\') result += '\\';
    result += c;
  }
  return result;
}

}  // namespace

std::string MimePackageText() {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
             "  <mime-type type=\"") +
         kMimeType +
         "\">\n"
         "    <comment>" +
         kTypeComment +
         "</comment>\n"
         "    <generic-icon name=\"package-x-generic\"/>\n"
         "    <magic priority=\"60\">\n"
         "      <match type=\"string\" offset=\"14\" value=\"\\x1aJar\\x1b\\x00\"/>\n"
         "    </magic>\n"
         "    <glob pattern=\"*.j\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

bool IsUsableProgramPath(std::string_view programPath) {
  if (programPath.empty() || programPath.front() != '/') return false;
  size_t i = 0;
  while (i < programPath.size()) {
    const auto c = static_cast<unsigned char>(programPath[i]);
    if (c < 0x20 || c == 0x7F) return false;
    size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || (length == 2 && c < 0xC2) || i + length > programPath.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(programPath[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

std::string DesktopExecValue(std::string_view programPath) {
  return EscapedValue(QuotedExecArgument(programPath) + " %f");
}

std::string DesktopEntryText(std::string_view programPath) {
  return std::string(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=Tamber\n"
             "GenericName=Archive Manager\n"
             "Comment=Open, make and change Jar archives\n"
             "Exec=") +
         DesktopExecValue(programPath) +
         "\n"
         "Icon=" +
         kIconName +
         "\n"
         "Terminal=false\n"
         "MimeType=" +
         kMimeType +
         ";\n"
         "Categories=Qt;Utility;Archiving;Compression;\n";
}

std::optional<std::string> DesktopEntryValue(std::string_view entryText, std::string_view key) {
  bool inEntry = false;
  for (const Line& line : SplitLines(entryText)) {
    if (IsGroupHeader(line.text)) {
      inEntry = line.text == "[Desktop Entry]";
      continue;
    }
    if (inEntry && KeyOf(line.text) == key) return std::string(ValueOf(line.text));
  }
  return std::nullopt;
}

std::optional<std::string> DefaultApplication(std::string_view listText, std::string_view mimeType) {
  bool inDefaults = false;
  for (const Line& line : SplitLines(listText)) {
    if (IsGroupHeader(line.text)) {
      inDefaults = Trimmed(line.text) == kDefaultGroup;
      continue;
    }
    if (!inDefaults || KeyOf(line.text) != mimeType) continue;
    std::string_view apps = ValueOf(line.text);
    while (!apps.empty()) {
      const size_t semicolon = apps.find(';');
      std::string_view app = Trimmed(apps.substr(0, semicolon));
      if (!app.empty()) return std::string(app);
      apps = semicolon == std::string_view::npos ? std::string_view() : apps.substr(semicolon + 1);
    }
    return std::nullopt;
  }
  return std::nullopt;
}

std::string WithDefaultApplication(std::string_view listText, std::string_view mimeType,
                                   std::string_view desktopId) {
  const std::string_view lineBreak = LineBreakOf(listText);
  const std::string entry = std::string(mimeType) + "=" + std::string(desktopId);
  const std::vector<Line> lines = SplitLines(listText);

  // The type's first line in a defaults group is rewritten; without one, the entry goes after the
  // last entry of the first defaults group (or its header), before any blank lines.
  size_t typeLine = lines.size(), insertAfter = lines.size();
  bool inDefaults = false, firstGroupSeen = false, inFirstGroup = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view text = lines[i].text;
    if (IsGroupHeader(text)) {
      inDefaults = Trimmed(text) == kDefaultGroup;
      inFirstGroup = inDefaults && !firstGroupSeen;
      if (inFirstGroup) insertAfter = i;
      firstGroupSeen = firstGroupSeen || inDefaults;
    } else if (inDefaults && typeLine == lines.size() && KeyOf(text) == mimeType) {
      typeLine = i;
    } else if (inFirstGroup && !Trimmed(text).empty()) {
      insertAfter = i;
    }
  }

  std::string result;
  inDefaults = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (IsGroupHeader(line.text)) inDefaults = Trimmed(line.text) == kDefaultGroup;
    if (i == typeLine) {
      result += entry;
      result += line.whole.substr(line.text.size());  // the line keeps its own line break
      continue;
    }
    // A second line for the type would contradict the first.
    if (inDefaults && !IsGroupHeader(line.text) && KeyOf(line.text) == mimeType) continue;
    result += line.whole;
    if (i == insertAfter && typeLine == lines.size()) {
      if (result.back() != '\n') result += lineBreak;
      result += entry;
      result += lineBreak;
    }
  }
  if (typeLine < lines.size() || insertAfter < lines.size()) return result;
  if (!result.empty() && result.back() != '\n') result += lineBreak;
  if (!result.empty()) result += lineBreak;
  result += std::string(kDefaultGroup) + std::string(lineBreak) + entry + std::string(lineBreak);
  return result;
}

std::string WithoutDefaultApplication(std::string_view listText, std::string_view mimeType) {
  std::string result;
  bool inDefaults = false;
  for (const Line& line : SplitLines(listText)) {
    if (IsGroupHeader(line.text))
      inDefaults = Trimmed(line.text) == kDefaultGroup;
    else if (inDefaults && KeyOf(line.text) == mimeType)
      continue;
    result += line.whole;
  }
  return result;
}

}  // namespace association
