// LineReader walks the lines of a text held in memory, the way the input file is read: a line
// feed ends a line and is not part of it, one carriage return before it belongs to the line end
// too, and a last line without a line feed still counts. The lines are views into the text.
#ifndef RELALG_FILES_LINEREADER_H
#define RELALG_FILES_LINEREADER_H

#include <cstddef>
#include <string_view>

namespace relalg {

class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {}

  // Sets line to the next line and returns true, or returns false at the end of the text.
  bool next(std::string_view& line);
  // A run of lines: how many, their bytes without their ends, and the text that holds them.
  struct Extent {
    size_t lines;
    size_t bytes;
    size_t span;
  };

 private:
  std::string_view rest_;
};

}  // namespace relalg

#endif  // RELALG_FILES_LINEREADER_H
