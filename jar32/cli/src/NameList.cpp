#include "NameList.h"

#include <limits>

#include "UsageError.h"

namespace jar32::cli {

void NameList::push_back(std::string_view name) {
  if (bytes_.size() + name.size() > std::numeric_limits<uint32_t>::max())
    throw UsageError("too many names given (more than 4 GiB of them)");
  bytes_.append(name);
  ends_.push_back(static_cast<uint32_t>(bytes_.size()));
}

std::vector<std::string> NameList::toVector() const {
  std::vector<std::string> out;
  out.reserve(size());
  for (std::string_view n : *this) out.emplace_back(n);
  return out;
}

}  // namespace jar32::cli
