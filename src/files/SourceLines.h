// SourceLines walks the lines of an input source from a given offset on, split as LineReader
// splits a text held in memory, but reading a window of the source at a time: only the window
// is held, and a line is a view that lasts until the next call. It also tells where each line
// begins and where the line after it begins, for readers that come back to a stretch of lines.
#ifndef RELALG_FILES_SOURCELINES_H
#define RELALG_FILES_SOURCELINES_H

#include <cstddef>
#include <string>
#include <string_view>

#include "files/InputSource.h"

namespace relalg {

class SourceLines {
 public:
  // Windows of this many bytes, or more for a longer line.
  static constexpr size_t kWindowBytes = size_t{1} << 18;

  SourceLines(const InputSource& source, size_t begin)
      : source_(source), windowBegin_(begin), lineBegin_(begin), position_(begin) {}

  // Sets line to the next line and returns true, or returns false at the end of the source.
  bool next(std::string_view& line);
  // Where the line last given begins.
  size_t lineBegin() const { return lineBegin_; }
  // Where the line after it begins: the offset of the bytes not yet read.
  size_t position() const { return position_; }

 private:
  const InputSource& source_;
  std::string buffer_;
  std::string_view window_;  // the bytes from windowBegin_ on
  size_t windowBegin_;
  size_t lineBegin_;
  size_t position_;
  bool windowReachesEnd_ = false;
};

}  // namespace relalg

#endif  // RELALG_FILES_SOURCELINES_H
