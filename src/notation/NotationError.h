// NotationError is what the notation front end throws when a program cannot be lowered exactly:
// a finished message (from the message table) and the bytes of the file it points at, the first
// letter of the offending name or operator first. relalgtrace shows it as a compiler shows its
// errors, at the line and letter column of those bytes.
#ifndef RELALG_NOTATION_NOTATIONERROR_H
#define RELALG_NOTATION_NOTATIONERROR_H

#include <cstddef>
#include <stdexcept>
#include <string>

namespace relalg {

class NotationError : public std::runtime_error {
 public:
  NotationError(size_t begin, size_t end, const std::string& message)
      : std::runtime_error(message), begin_(begin), end_(end > begin ? end : begin + 1) {}

  // The bytes of the notation file the error points at (at least one).
  size_t begin() const { return begin_; }
  size_t end() const { return end_; }

 private:
  size_t begin_;
  size_t end_;
};

}  // namespace relalg

#endif  // RELALG_NOTATION_NOTATIONERROR_H
