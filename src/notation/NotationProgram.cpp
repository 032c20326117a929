#include "notation/NotationProgram.h"

#include <algorithm>

namespace relalg {

NotationProgram::NotationProgram(std::string_view text, size_t end) : text_(text) {
  lineStarts_.push_back(0);
  for (size_t k = 0; k < end; ++k) {
    if (text[k] == '\n') lineStarts_.push_back(k + 1);
  }
}

size_t NotationProgram::lineOf(size_t offset) const {
  return static_cast<size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                             lineStarts_.begin());
}

}  // namespace relalg
