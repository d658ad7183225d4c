// The members that names given for deleting, extracting or listing select. Names without
// wildcards are looked up (fast for the long file lists the front-end writes); wildcard
// patterns are matched one by one.
#pragma once

#include <string_view>
#include <vector>

#include "NameList.h"

namespace jar32::cli {

class MemberSelection {
 public:
  /// From names as given (see normalizeMemberPattern); none selects every member.
  explicit MemberSelection(const NameList& names);
  bool selectsAll() const { return exact_.empty() && wildcards_.empty(); }
  /// The same as memberMatchesAny() with the normalized names.
  bool matches(std::string_view memberName, bool isFolder) const;

 private:
  bool hasExact(std::string_view name) const;
  NameList patterns_;                 // normalized
  std::vector<uint32_t> exact_;       // indices of names without wildcards, sorted by text
  std::vector<uint32_t> wildcards_;   // indices of the others
};

}  // namespace jar32::cli
