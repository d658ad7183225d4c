#include "platform/Paths.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

bool IsDelimiter(char c, PathStyle style) {
  return style == PathStyle::Windows ? (c == '\\' || c == ':') : c == '/';
}

// Position just after the last folder delimiter, 0 when there is none.
size_t NameStart(std::string_view path, PathStyle style) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsDelimiter(path[i - 1], style)) return i;
  return 0;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

char Separator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

std::string RootPart(std::string_view path, PathStyle style) {
  if (style == PathStyle::Posix) return path.starts_with('/') ? "/" : "";
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
    return std::string(path.substr(0, 2));
  if (path.starts_with("\\\\")) {
    // \\server\share: up to the separator after the share name.
    size_t server_end = path.find('\\', 2);
    if (server_end == std::string_view::npos) return std::string(path);
    size_t share_end = path.find('\\', server_end + 1);
    return std::string(path.substr(0, share_end));
  }
  return "";
}

std::string FolderPart(std::string_view path, PathStyle style) {
  return std::string(path.substr(0, NameStart(path, style)));
}

std::string FileNamePart(std::string_view path, PathStyle style) {
  return std::string(path.substr(NameStart(path, style)));
}

std::string ExtensionPart(std::string_view path, PathStyle style) {
  std::string_view name = path.substr(NameStart(path, style));
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? "" : std::string(name.substr(dot));
}

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
  std::string result(folder);
  if (!result.empty() && !IsDelimiter(result.back(), style)) result += Separator(style);
  result += name;
  return result;
}

std::string WithoutTrailingSeparator(std::string_view path, PathStyle style) {
  std::string result(path);
  if (result.empty() || result.back() != Separator(style)) return result;
  // A root folder keeps its separator: "C:\", "/", "\".
  std::string root = RootPart(result, style);
  if (style == PathStyle::Windows && !root.empty()) root += '\\';
  if (result.size() > std::max<size_t>(root.size(), 1)) result.pop_back();
  return result;
}

std::string NormalizeFolder(std::string_view text, PathStyle style) {
  if (text.empty()) return "";
  std::string folder(text);
  if (folder.back() == '"') folder.pop_back();
  // The shortest folder worth keeping is a root folder: "C:\" under Windows, "/" under POSIX.
  const size_t shortest = style == PathStyle::Windows ? 3 : 1;
  if (folder.size() < shortest) return "";
  if (folder.front() == '"') folder.erase(0, 1);
  if (folder.empty()) return "";
  if (folder.back() != Separator(style)) folder += Separator(style);
  return folder;
}

std::string StripQuotes(std::string_view text) {
  std::string result(text);
  if (!result.empty() && result.back() == '"') result.pop_back();
  if (!result.empty() && result.front() == '"') result.erase(0, 1);
  return result;
}

std::string JoinFolderAndName(std::string_view folder, std::string_view name, PathStyle style) {
  return NormalizeFolder(folder, style) + FileNamePart(name, style);
}

std::string MakeAbsoluteName(std::string_view base, std::string_view name, PathStyle style) {
  if (RootPart(base, style).empty()) return std::string(name);
  if (FileNamePart(name, style).empty()) return "";
  const char sep = Separator(style);
  std::string folder = FolderPart(name, style);
  if (RootPart(name, style).empty() && (folder.empty() || folder.front() != sep)) {
    std::string result(base);
    if (result.back() != sep) result += sep;
    return result + std::string(name);
  }
  return std::string(name);
}

std::string MakeRelativeName(std::string_view base, std::string_view name, PathStyle style) {
  if (name.size() < base.size()) return std::string(name);
  std::string_view head = name.substr(0, base.size());
  bool same = style == PathStyle::Windows ? EqualNoCase(head, base) : head == base;
  return same ? std::string(name.substr(base.size())) : std::string(name);
}

}  // namespace platform
