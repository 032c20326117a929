// TextList keeps a list of texts end to end in one block, with the offset where each ends: many
// short texts (the column names of a wide table, the values of a record) then take four bytes
// each besides their own bytes, where a std::string each would take thirty-two and often a block
// of its own. The texts are read back as views, valid until the next push_back.
#ifndef RELALG_BASE_TEXTLIST_H
#define RELALG_BASE_TEXTLIST_H

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace relalg {

class TextList {
 public:
  // Appends text; throws std::length_error when the texts would outgrow 4 GiB in all.
  void push_back(std::string_view text) {
    if (text.size() > UINT32_MAX - bytes_.size()) throw std::length_error("TextList");
    bytes_.append(text);
    ends_.push_back(static_cast<uint32_t>(bytes_.size()));
  }
  // Makes room for count more texts of bytes bytes in all.
  void reserve(size_t count, size_t bytes) {
    ends_.reserve(ends_.size() + count);
    bytes_.reserve(bytes_.size() + bytes);
  }
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t k) const {
    assert(k < ends_.size());
    const size_t begin = k == 0 ? 0 : ends_[k - 1];
    return std::string_view(bytes_).substr(begin, ends_[k] - begin);
  }

 private:
  std::string bytes_;
  std::vector<uint32_t> ends_;  // text k spans [ends_[k - 1], ends_[k]), the first from 0
};

}  // namespace relalg

#endif  // RELALG_BASE_TEXTLIST_H
