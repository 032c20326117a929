#include "files/SourceLines.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "base/ByteChunk.h"

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

// The window is looked at 16 bytes at a time for line feeds and carriage returns: a chunk in
// which no line is empty (no line feed, or carriage return and line feed, right where a line
// starts), followed by more bytes before the limit and the window's end, is passed over by
// counting its line feeds. The line that the chunks leave unfinished, and every line from the first
// chunk that does not pass, are taken one by one.
size_t SourceLines::skipLines(size_t limit, size_t& bytes) {
  const char* const window = window_.data();
  const char* const end = window + window_.size();
  const char* const start = window + (position_ - windowBegin_);
  const char* const chunksEnd =
      window + std::min(window_.size(), std::max(limit, windowBegin_) - windowBegin_);
  size_t lines = 0;
  size_t returns = 0;         // carriage returns that end lines
  const char* next = start;   // where the line after the last line feed counted begins
  uint32_t startsLine = 1;    // whether the chunk's first byte begins a line
  uint32_t returnBefore = 0;  // whether the byte before the chunk is a carriage return
  for (const char* at = start; chunksEnd - at > ByteChunk::kSize; at += ByteChunk::kSize) {
    const ByteChunk chunk(at);
    const uint32_t feeds = chunk.anyOf<'\n'>();
    const uint32_t crs = chunk.anyOf<'\r'>();
    const uint32_t starts = ((feeds << 1) | startsLine) & 0xFFFF;
    // A line feed, or a carriage return before a line feed (or before the chunk's end, which is
    // not known here), where a line starts: an empty line.
    if ((starts & (feeds | (crs & ((feeds >> 1) | 0x8000)))) != 0) break;
    if (feeds != 0) {
      lines += static_cast<size_t>(ByteChunk::count(feeds));
      returns +=
          static_cast<size_t>(ByteChunk::count(crs & (feeds >> 1))) + (returnBefore & feeds & 1u);
      next = at + (31 - std::countl_zero(feeds)) + 1;
    }
    startsLine = feeds >> 15;
    returnBefore = crs >> 15;
  }
  for (;;) {
    const size_t offset = windowBegin_ + static_cast<size_t>(next - window);
    if (offset >= limit) break;
    if (next == end || *next == '\n' || (*next == '\r' && (next + 1 == end || next[1] == '\n'))) {
      break;
    }
    const auto* feed =
        static_cast<const char*>(std::memchr(next, '\n', static_cast<size_t>(end - next)));
    if (feed == nullptr) break;
    ++lines;
    returns += feed[-1] == '\r';
    next = feed + 1;
  }
  bytes = static_cast<size_t>(next - start) - lines - returns;
  position_ = windowBegin_ + static_cast<size_t>(next - window);
  return lines;
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
