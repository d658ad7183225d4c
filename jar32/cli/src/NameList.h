// Many names held in one buffer: a file list of millions of names costs little more than the
// file itself (the bytes and one offset per name).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace jar32::cli {

class NameList {
 public:
  NameList() = default;
  NameList(std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) push_back(n);
  }

  /// Throws UsageError when the names together pass 4 GiB.
  void push_back(std::string_view name);
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t i) const {
    const uint32_t begin = i ? ends_[i - 1] : 0;
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  std::vector<std::string> toVector() const;

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;
    const_iterator(const NameList* list, size_t i) : list_(list), i_(i) {}
    std::string_view operator*() const { return (*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const const_iterator& o) const { return i_ == o.i_; }

   private:
    const NameList* list_;
    size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

 private:
  std::string bytes_;
  std::vector<uint32_t> ends_;
};

}  // namespace jar32::cli
