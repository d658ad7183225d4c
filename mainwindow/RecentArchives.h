#pragma once
// The recently opened archives, newest first, and the short menu captions made of their paths.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Paths.h"

class RecentArchives {
 public:
  static constexpr size_t kLimit = 4;  // entries kept
  static constexpr int kMenuItems = 10;  // Recent0 .. Recent9, in the menus and in the settings

  explicit RecentArchives(platform::PathStyle style = platform::kHostPathStyle) : style_(style) {}

  // An empty path changes nothing, nor does one already in the list (it is not moved); any other
  // goes to the front and the oldest beyond the limit is dropped. Paths compare as the file system
  // does: ignoring case under Windows, exactly under POSIX. True when the list changed.
  bool Add(const std::string& path);
  void Clear() { entries_.clear(); }

  const std::vector<std::string>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  // The entry a recent-menu caption names ("&1 ..." is the first); nullptr when there is none.
  const std::string* EntryOfCaption(std::string_view caption) const;

 private:
  bool Same(std::string_view a, std::string_view b) const;

  platform::PathStyle style_;
  std::vector<std::string> entries_;
};

// A path shortened for a menu to about 30 characters: the root, as many leading folders as fit,
// "..." and the file name ("C:\Program Files\...\file.j", "/Program Files/.../file.j").
std::string ShortenPath(std::string_view path, platform::PathStyle style = platform::kHostPathStyle);

// "&" + (index + 1) + " " + the shortened path.
std::string RecentCaption(size_t index, std::string_view path, platform::PathStyle style = platform::kHostPathStyle);
