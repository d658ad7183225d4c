#include "mainwindow/RecentArchives.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/Utf8.h"

namespace {

constexpr size_t kShortLength = 30;
constexpr int kMaxCuts = 35;

size_t Length(std::string_view text) { return platform::Utf8Length(text); }

std::string WithoutTrailing(std::string folder, char separator) {
  if (!folder.empty() && folder.back() == separator) folder.pop_back();
  return folder;
}

}  // namespace

bool RecentArchives::Same(std::string_view a, std::string_view b) const {
  if (style_ == platform::PathStyle::Posix) return a == b;
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool RecentArchives::Add(const std::string& path) {
  if (path.empty()) return false;
  if (std::any_of(entries_.begin(), entries_.end(), [&](const std::string& e) { return Same(e, path); }))
    return false;
  entries_.insert(entries_.begin(), path);
  if (entries_.size() > kLimit) entries_.pop_back();
  return true;
}

const std::string* RecentArchives::EntryOfCaption(std::string_view caption) const {
  const size_t amp = caption.find('&');
  if (amp == std::string_view::npos) return nullptr;
  const char* begin = caption.data() + amp + 1;
  const char* end = caption.data() + caption.size();
  const char* stop = begin;
  while (stop < end && *stop >= '0' && *stop <= '9') ++stop;
  size_t number = 0;
  if (stop == begin || std::from_chars(begin, stop, number).ec != std::errc()) return nullptr;
  if (number < 1 || number > entries_.size()) return nullptr;
  return &entries_[number - 1];
}

// The root is the first characters of the path: three under Windows ("C:\"), one under POSIX ("/").
std::string ShortenPath(std::string_view path, platform::PathStyle style) {
  if (Length(path) <= kShortLength) return std::string(path);
  const char separator = platform::Separator(style);
  const size_t rootLength = style == platform::PathStyle::Windows ? 3 : 1;
  const std::string root(path.substr(0, std::min(rootLength, path.size())));
  const std::string ellipsis = std::string("...") + separator;
  const std::string name = platform::FileNamePart(path, style);
  const std::string shortened = root + ellipsis + name;
  if (Length(name) >= kShortLength) return shortened;

  std::string folder = platform::FolderPart(path, style);
  if (folder.size() <= rootLength) return shortened;
  folder = platform::FolderPart(WithoutTrailing(folder.substr(rootLength), separator), style);
  std::string candidate = root + folder + ellipsis + name;
  int cuts = 0;
  for (; cuts < kMaxCuts && Length(candidate) >= kShortLength && !folder.empty(); ++cuts) {
    folder = platform::FolderPart(WithoutTrailing(folder, separator), style);
    candidate = root + folder + ellipsis + name;
  }
  if (cuts == kMaxCuts || folder.empty()) return shortened;
  return candidate;
}

std::string RecentCaption(size_t index, std::string_view path, platform::PathStyle style) {
  return "&" + std::to_string(index + 1) + " " + ShortenPath(path, style);
}
