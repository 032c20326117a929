// SourceLines walks the lines of an input source from a given offset on, split as LineReader
// splits a text held in memory, but reading a window of the source at a time: only the window
// is held, and a line is a view that lasts until the next call. It also tells where each line
// begins and where the line after it begins, for readers that come back to a stretch of lines.
// Given ReadHashes, it adds to them every byte of the lines it gives, line ends included, a window
// at a time, so that a later pass over the same bytes can tell whether they are still the same.
#ifndef RELALG_FILES_SOURCELINES_H
#define RELALG_FILES_SOURCELINES_H

#include <cstddef>
#include <string>
#include <string_view>

#include "files/InputSource.h"
#include "files/ReadHashes.h"

namespace relalg {

class SourceLines {
 public:
  // Windows of this many bytes, or more for a longer line.
  static constexpr size_t kWindowBytes = size_t{1} << 18;

  SourceLines(const InputSource& source, size_t begin, ReadHashes* hashes = nullptr)
      : source_(source),
        hashes_(hashes),
        windowBegin_(begin),
        lineBegin_(begin),
        position_(begin),
        hashedTo_(begin) {}

  // Sets line to the next line and returns true, or returns false at the end of the source.
  bool next(std::string_view& line);
  // Passes over the lines that follow as next() would give them, while they begin before offset
  // limit, are not empty and lie whole in the window at hand. Returns how many it passed over
  // and, in bytes, how many bytes they hold without their line ends. lineBegin() stays that of
  // the line that next() gave last.
  size_t skipLines(size_t limit, size_t& bytes);
  // Where the line last given begins.
  size_t lineBegin() const { return lineBegin_; }
  // Where the line after it begins: the offset of the bytes not yet read.
  size_t position() const { return position_; }
  // Ends a stretch of the hashes at offset end (at most position()), and returns its hash.
  uint64_t cutHash(size_t end);

 private:
  // Adds the bytes of the window up to offset end to the hashes.
  void hashTo(size_t end);

  const InputSource& source_;
  ReadHashes* hashes_;
  std::string buffer_;
  std::string_view window_;  // the bytes from windowBegin_ on
  size_t windowBegin_;
  size_t lineBegin_;
  size_t position_;
  size_t hashedTo_;  // the bytes before this offset are in the hashes
  bool windowReachesEnd_ = false;
};

}  // namespace relalg

#endif  // RELALG_FILES_SOURCELINES_H
