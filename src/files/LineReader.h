// LineReader walks the lines of a text held in memory, the way the input file is read: a line
// feed ends a line and is not part of it, one carriage return before it belongs to the line end
// too, and a last line without a line feed still counts. The lines are views into the text.
#ifndef RELALG_FILES_LINEREADER_H
#define RELALG_FILES_LINEREADER_H

#include <cstddef>
#include <string_view>

class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {}

  // Sets line to the next line and returns true, or returns false at the end of the text.
  bool next(std::string_view& line);
  // The text not yet read.
  std::string_view rest() const { return rest_; }
  struct Extent {
    size_t lines;
    size_t bytes;  // the bytes of the lines, without their ends
    size_t span;   // the text that holds them, with their ends
  };
  // The lines from here up to the next empty line or the end of the text, and their bytes.
  Extent blockExtent() const;
  // Steps over the first bytes of the text not yet read (a span of whole lines).
  void skip(size_t bytes) { rest_.remove_prefix(bytes); }

 private:
  std::string_view rest_;
};

#endif  // RELALG_FILES_LINEREADER_H
