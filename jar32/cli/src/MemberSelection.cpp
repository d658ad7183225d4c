#include "MemberSelection.h"

#include <algorithm>
#include <string>

#include "MemberNames.h"

namespace jar32::cli {

MemberSelection::MemberSelection(const NameList& names) {
  for (std::string_view n : names) {
    const uint32_t index = static_cast<uint32_t>(patterns_.size());
    patterns_.push_back(normalizeMemberPattern(n));
    if (patterns_[index].find_first_of("*?") == std::string_view::npos) exact_.push_back(index);
    else wildcards_.push_back(index);
  }
  std::sort(exact_.begin(), exact_.end(),
            [this](uint32_t a, uint32_t b) { return patterns_[a] < patterns_[b]; });
}

bool MemberSelection::hasExact(std::string_view name) const {
  const auto it = std::lower_bound(exact_.begin(), exact_.end(), name,
                                   [this](uint32_t i, std::string_view n) { return patterns_[i] < n; });
  return it != exact_.end() && patterns_[*it] == name;
}

bool MemberSelection::matches(std::string_view memberName, bool isFolder) const {
  if (selectsAll()) return true;
  // A name names a file, link or folder; a name ending in a backslash names a folder only.
  if (hasExact(memberName)) return true;
  if (isFolder && !exact_.empty() && hasExact(std::string(memberName) + '\\')) return true;
  for (uint32_t i : wildcards_)
    if (memberMatches(patterns_[i], memberName, isFolder)) return true;
  return false;
}

}  // namespace jar32::cli
