// Fuzz target for the tokenizer and the integer conversions. The bytes are one line: it is cut
// into tokens with the separators and quote character that every line of the system is read
// with, and each token, as well as the whole line, is read as an integer field.
//
// Besides the sanitizers, it checks:
//  - tokens are never empty, come in the order of the text, and together with the separator runs
//    between them make up the whole text; a separator stands in a token only between apostrophes;
//  - stoi accepts exactly the texts of the form blanks, an optional minus sign, decimal digits,
//    blanks, whose value fits in 32 bits, and returns that value; it fails with the message
//    "Nem alakithato szamma: " and the whole text otherwise; itos gives back the value's text.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/AdbException.h"
#include "language/StringTokenizer.h"

using namespace relalg;

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

// The value that an integer field denotes, worked out the plain way; none when it is rejected.
std::optional<int64_t> expectedValue(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return 0;
  size_t end = text.find_last_not_of(' ') + 1;
  std::string_view digits = text.substr(begin, end - begin);
  bool negative = digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{INT_MAX} + 1) return std::nullopt;
  }
  value = negative ? -value : value;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return value;
}

std::string canonical(int64_t value) { return std::to_string(value); }

void checkStoi(std::string_view text) {
  const std::optional<int64_t> expected = expectedValue(text);
  try {
    const int value = relalg::stoi(text);
    require(expected.has_value() && *expected == value);
    require(itos(value) == canonical(value));
    require(relalg::stoi(itos(value)) == value);
  } catch (const AdbException& error) {
    require(!expected.has_value());
    require(error.getMessage() == "Nem alakithato szamma: " + std::string(text));
  }
}

void checkTokens(std::string_view text) {
  StringTokenizer tokens(text);
  size_t pos = 0;
  while (tokens.hasMoreTokens()) {
    const std::string_view token = tokens.nextToken();
    require(!token.empty());
    // Only separators lie between the previous token and this one.
    while (pos < text.size() && tokens.is_separator(text[pos])) ++pos;
    require(text.substr(pos, token.size()) == token);
    bool inQuotes = false;
    for (char c : token) {
      require(inQuotes || !tokens.is_separator(c));
      if (c == kQuote) inQuotes = !inQuotes;
    }
    pos += token.size();
    // A token ends at a separator outside apostrophes, or at the end of the text.
    require(pos == text.size() || (!inQuotes && tokens.is_separator(text[pos])));
    checkStoi(token);
  }
  while (pos < text.size() && tokens.is_separator(text[pos])) ++pos;
  require(pos == text.size());
  require(tokens.nextToken().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkTokens(text);
  checkStoi(text);
  if (size >= sizeof(int)) {
    int value;
    __builtin_memcpy(&value, data, sizeof value);
    require(itos(value) == canonical(value));
    require(relalg::stoi(itos(value)) == value);
  }
  return 0;
}
