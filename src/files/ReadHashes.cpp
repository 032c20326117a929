#include "files/ReadHashes.h"

#include <algorithm>

namespace relalg {

uint64_t ReadHashes::cut(size_t end) {
  const uint64_t hash = current_.digest();
  if (end == begin_) return hash;
  ends_.push_back(end);
  hashes_.push_back(hash);
  begin_ = end;
  current_ = StreamHash();
  return hash;
}

bool ReadHashes::Check::add(std::string_view bytes) {
  while (same_ && !bytes.empty()) {
    if (next_ == expected_.ends_.size()) {
      same_ = false;  // bytes beyond what the first pass read
      break;
    }
    const size_t taken = std::min(bytes.size(), expected_.ends_[next_] - at_);
    current_.update(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    at_ += taken;
    pending_ += taken;
    if (at_ == expected_.ends_[next_]) {
      same_ = current_.digest() == expected_.hashes_[next_];
      current_ = StreamHash();
      pending_ = 0;
      ++next_;
    }
  }
  return same_;
}

}  // namespace relalg
