// AdbException is the one error type of the system. Every failure is thrown as an AdbException
// carrying the complete message that the user will read (built from the message table); only
// the run sequence catches it. A failure found in a line of the input below the expression also
// carries its place there, and one found at a part of a selection condition the number of that
// node in the parsed expression line, for tools that point at it.
#ifndef RELALG_BASE_ADBEXCEPTION_H
#define RELALG_BASE_ADBEXCEPTION_H

#include <cstddef>
#include <exception>
#include <string>
#include <utility>

namespace relalg {

// Bytes of one line of the input: line and column count from 1, the length is at least 1. A
// line of 0 is no place.
struct InputPlace {
  size_t line = 0;
  size_t column = 0;
  size_t length = 0;
};

class AdbException : public std::exception {
 public:
  explicit AdbException(std::string message, InputPlace place = {})
      : message_(std::move(message)), place_(place) {}
  AdbException(std::string message, int node) : message_(std::move(message)), node_(node) {}

  // The message as built by the thrower: Windows-1250 bytes, carried unchanged.
  std::string getMessage() const { return message_; }
  // The same message, for code that handles any std::exception.
  const char* what() const noexcept override { return message_.c_str(); }

  const InputPlace& place() const { return place_; }
  // Sets the line of a place whose column the thrower knew.
  void setLine(size_t line) { place_.line = line; }
  // The number of the node of the expression line's tree at which the failure was found, or -1.
  int node() const { return node_; }

 private:
  std::string message_;
  InputPlace place_;
  int node_ = -1;
};

}  // namespace relalg

#endif  // RELALG_BASE_ADBEXCEPTION_H
