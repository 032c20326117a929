// UniqueFd owns one file descriptor of the operating system and closes it when it goes, so that
// no descriptor outlives its owner however a function is left. Moving hands the descriptor on.
#ifndef RELALG_BASE_UNIQUEFD_H
#define RELALG_BASE_UNIQUEFD_H

#include <unistd.h>

#include <utility>

namespace relalg {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int descriptor) : descriptor_(descriptor) {}
  UniqueFd(UniqueFd&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.descriptor_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return descriptor_; }
  explicit operator bool() const { return descriptor_ >= 0; }

  // Closes the descriptor held, if any, and holds descriptor instead. Returns whether closing
  // succeeded (a failed close may mean that written bytes were lost).
  bool reset(int descriptor = -1) {
    const int old = std::exchange(descriptor_, descriptor);
    return old < 0 || ::close(old) == 0;
  }

 private:
  int descriptor_ = -1;
};

}  // namespace relalg

#endif  // RELALG_BASE_UNIQUEFD_H
