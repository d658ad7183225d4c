#include "mainwindow/ClipboardFiles.h"

#include <algorithm>
#include <cctype>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view head) {
  if (text.size() < head.size()) return false;
  for (size_t i = 0; i < head.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != head[i]) return false;
  return true;
}

std::string_view TrimmedLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

bool HasFormat(const platform::Clipboard& clipboard, const char* format) {
  const std::vector<std::string> formats = clipboard.formats();
  return std::find(formats.begin(), formats.end(), format) != formats.end();
}

}  // namespace

std::string LocalPathOfUri(std::string_view uri) {
  if (!StartsWithNoCase(uri, "file:")) return "";
  std::string_view rest = uri.substr(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return "";
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost"))) return "";
    rest.remove_prefix(slash);
  }
  if (rest.empty() || rest.front() != '/') return "";
  // A query or fragment has no place in a file's URI.
  if (rest.find_first_of("?#") != std::string_view::npos) return "";
  std::string path;
  path.reserve(rest.size());
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      path.push_back(rest[i]);
      continue;
    }
    if (i + 2 >= rest.size()) return "";
    const int high = HexValue(rest[i + 1]);
    const int low = HexValue(rest[i + 2]);
    if (high < 0 || low < 0) return "";
    const char byte = static_cast<char>(high * 16 + low);
    if (byte == '\0') return "";
    path.push_back(byte);
    i += 2;
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

DroppedFiles ParseUriList(std::string_view text, bool gnomeHeader) {
  DroppedFiles files;
  bool first = true;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = TrimmedLine(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const bool header = first && gnomeHeader && (line == "copy" || line == "cut");
    first = false;
    if (header || line.empty() || line.front() == '#') continue;
    std::string path = LocalPathOfUri(line);
    if (path.empty())
      files.refused.emplace_back(line);
    else
      files.paths.push_back(std::move(path));
  }
  return files;
}

bool ClipboardFiles(const platform::Clipboard& clipboard, std::vector<std::string>& list, int& count) {
  // GNOME's list first: where both are offered they name the same files.
  DroppedFiles files;
  if (HasFormat(clipboard, kGnomeFilesFormat))
    files = ParseUriList(clipboard.data(kGnomeFilesFormat), true);
  else if (HasFormat(clipboard, kUriListFormat))
    files = ParseUriList(clipboard.data(kUriListFormat));
  else
    return false;
  if (files.paths.empty() || !files.refused.empty()) return false;
  list = std::move(files.paths);
  count = static_cast<int>(list.size());
  return true;
}
