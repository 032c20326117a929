#include "StringTokenizer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "AdbException.h"

namespace {

struct ClassTable {
  uint8_t classes[256] = {};
};

ClassTable defaultClasses() {
  ClassTable table;
  for (char c : kSeparators) table.classes[static_cast<unsigned char>(c)] |= 1;
  table.classes[static_cast<unsigned char>(kQuote)] |= 2;
  return table;
}

const ClassTable kDefaultClasses = defaultClasses();

}  // namespace

StringTokenizer::StringTokenizer(std::string_view text, std::string_view separators, char quote)
    : quote_(quote), classes_(kDefaultClasses.classes) {
  if (separators != kSeparators || quote != kQuote) {
    std::fill(std::begin(ownClasses_), std::end(ownClasses_), uint8_t{0});
    for (char c : separators) ownClasses_[static_cast<unsigned char>(c)] |= kSeparatorClass;
    ownClasses_[static_cast<unsigned char>(quote)] |= kQuoteClass;
    classes_ = ownClasses_;
  }
  rest_ = skipSeparators(text);
}

std::string_view StringTokenizer::skipSeparators(std::string_view text) const {
  size_t pos = 0;
  while (pos < text.size() && is_separator(text[pos])) ++pos;
  return text.substr(pos);
}

// A token ends at the first separator outside quotes; a quote carries it on to the next quote,
// or to the end of the text when none follows.
std::string_view StringTokenizer::nextView() {
  const char* const begin = rest_.data();
  const char* const end = begin + rest_.size();
  const char* pos = begin;
  while (pos < end) {
    const uint8_t byteClass = classes_[static_cast<unsigned char>(*pos)];
    if (byteClass == 0) {
      ++pos;
    } else if (byteClass & kSeparatorClass) {
      break;
    } else {
      ++pos;
      const void* close = std::memchr(pos, quote_, static_cast<size_t>(end - pos));
      pos = close != nullptr ? static_cast<const char*>(close) + 1 : end;
    }
  }
  std::string_view token(begin, static_cast<size_t>(pos - begin));
  rest_ = skipSeparators(rest_.substr(token.size()));
  return token;
}

void appendDecimal(std::string& out, int value) {
  char digits[16];
  char* end = digits + sizeof digits;
  char* begin = end;
  // Work on the magnitude as unsigned so that INT_MIN needs no special case.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    *--begin = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--begin = '-';
  out.append(begin, end);
}

std::string itos(int value) {
  std::string text;
  appendDecimal(text, value);
  return text;
}

int stoi(std::string_view text) {
  std::string_view digits = text;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
  bool negative = !digits.empty() && digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  // The magnitude may reach 2^31 for a negative value; anything beyond fails at once.
  const int64_t limit = negative ? int64_t{INT_MAX} + 1 : int64_t{INT_MAX};
  int64_t value = 0;
  for (char c : digits) {
    int digit = c - '0';
    if (digit < 0 || digit > 9) throw AdbException("Nem alakithato szamma: " + std::string(text));
    value = value * 10 + digit;
    if (value > limit) throw AdbException("Nem alakithato szamma: " + std::string(text));
  }
  return static_cast<int>(negative ? -value : value);
}
