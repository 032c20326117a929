#include "StringTokenizer.h"

#include <climits>

#include "AdbException.h"

StringTokenizer::StringTokenizer(std::string_view text, std::string_view separators, char quote)
    : quote_(quote) {
  for (char c : separators) {
    auto byte = static_cast<unsigned char>(c);
    separatorMask_[byte >> 6] |= uint64_t{1} << (byte & 63);
  }
  rest_ = skipSeparators(text);
}

std::string_view StringTokenizer::skipSeparators(std::string_view text) const {
  size_t pos = 0;
  while (pos < text.size() && is_separator(text[pos])) ++pos;
  return text.substr(pos);
}

std::string_view StringTokenizer::nextView() {
  bool inQuotes = false;
  size_t pos = 0;
  while (pos < rest_.size()) {
    char c = rest_[pos];
    if (!inQuotes && is_separator(c)) break;
    ++pos;
    if (c == quote_) inQuotes = !inQuotes;
  }
  std::string_view token = rest_.substr(0, pos);
  rest_ = skipSeparators(rest_.substr(pos));
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
