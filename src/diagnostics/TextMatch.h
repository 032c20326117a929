// Small tests of texts that the checks of relalgtrace share.
#ifndef RELALG_DIAGNOSTICS_TEXTMATCH_H
#define RELALG_DIAGNOSTICS_TEXTMATCH_H

#include <algorithm>
#include <cctype>
#include <string_view>

namespace relalg {

inline bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// An optional minus sign and at least one decimal digit, nothing else.
inline bool isPlainInteger(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_TEXTMATCH_H
