#include "files/SourceLines.h"

#include <algorithm>
#include <cassert>

namespace relalg {

// A line is taken from the window once its line feed is in it, or once the window reaches the
// end of the source; otherwise the window is read again from the line's start, twice as long
// when the line fills it.
bool SourceLines::next(std::string_view& line) {
  for (;;) {
    assert(position_ >= windowBegin_ && position_ - windowBegin_ <= window_.size());
    const std::string_view rest = window_.substr(position_ - windowBegin_);
    const size_t feed = rest.find('\n');
    if (!rest.empty() && (feed != std::string_view::npos || windowReachesEnd_)) {
      line = rest.substr(0, feed);  // to the end of the source when there is no line feed
      lineBegin_ = position_;
      position_ += feed == std::string_view::npos ? rest.size() : feed + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // as LineReader does
      return true;
    }
    if (windowReachesEnd_) return false;
    hashTo(position_);
    const size_t length = std::max(kWindowBytes, 2 * rest.size());
    window_ = source_.read(position_, length, buffer_);
    windowBegin_ = position_;
    windowReachesEnd_ = window_.size() < length;
  }
}

void SourceLines::hashTo(size_t end) {
  if (hashes_ == nullptr || end <= hashedTo_) return;
  assert(hashedTo_ >= windowBegin_ && end - windowBegin_ <= window_.size());
  hashes_->add(window_.substr(hashedTo_ - windowBegin_, end - hashedTo_));
  hashedTo_ = end;
}

uint64_t SourceLines::cutHash(size_t end) {
  assert(end <= position_);
  hashTo(end);
  return hashes_->cut(end);
}

}  // namespace relalg
