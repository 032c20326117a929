// AdbException is the one error type of the system. Every failure is thrown as an AdbException
// carrying the complete message that the user will read (built from the message table); only
// the run sequence catches it.
#ifndef RELALG_BASE_ADBEXCEPTION_H
#define RELALG_BASE_ADBEXCEPTION_H

#include <exception>
#include <string>
#include <utility>

namespace relalg {

class AdbException : public std::exception {
 public:
  explicit AdbException(std::string message) : message_(std::move(message)) {}

  // The message as built by the thrower: Windows-1250 bytes, carried unchanged.
  std::string getMessage() const { return message_; }
  // The same message, for code that handles any std::exception.
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace relalg

#endif  // RELALG_BASE_ADBEXCEPTION_H
