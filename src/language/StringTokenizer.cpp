#include "language/StringTokenizer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "base/AdbException.h"
#include "base/Messages.h"

namespace relalg {

namespace {

constexpr std::array<uint8_t, 256> defaultClasses() {
  std::array<uint8_t, 256> classes{};
  for (char c : kSeparators) classes[static_cast<unsigned char>(c)] |= kSeparatorClass;
  classes[static_cast<unsigned char>(kQuote)] |= kQuoteClass;
  return classes;
}

}  // namespace

const std::array<uint8_t, 256> kDefaultByteClasses = defaultClasses();

StringTokenizer::StringTokenizer(std::string_view text, std::string_view separators, char quote)
    : quote_(quote), classes_(kDefaultByteClasses.data()) {
  if (separators != kSeparators || quote != kQuote) {
    std::fill(std::begin(ownClasses_), std::end(ownClasses_), uint8_t{0});
    for (char c : separators) ownClasses_[static_cast<unsigned char>(c)] |= kSeparatorClass;
    ownClasses_[static_cast<unsigned char>(quote)] |= kQuoteClass;
    classes_ = ownClasses_;
  }
  rest_ = skipSeparators(text);
}

StringTokenizer& StringTokenizer::operator=(const StringTokenizer& other) {
  if (this == &other) return *this;
  rest_ = other.rest_;
  quote_ = other.quote_;
  if (other.hasOwnClasses()) {
    std::memcpy(ownClasses_, other.ownClasses_, sizeof ownClasses_);
    classes_ = ownClasses_;
  } else {
    classes_ = other.classes_;
  }
  return *this;
}

namespace {

// The two digits of 0 .. 99, in order.
constexpr std::array<char, 200> digitPairs() {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[2 * k] = static_cast<char>('0' + k / 10);
    pairs[2 * k + 1] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}
constexpr std::array<char, 200> kDigitPairs = digitPairs();

}  // namespace

// The digits are written from the last one back, two at a time, once their count is known.
char* writeDecimal(char* out, int value) {
  // Work on the magnitude as unsigned so that INT_MIN needs no special case.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  if (value < 0) *out++ = '-';
  int count = 1;
  for (unsigned long long power = 10; count < 10 && magnitude >= power; power *= 10) ++count;
  char* const end = out + count;
  char* at = end;
  for (; magnitude >= 100; magnitude /= 100) {
    at -= 2;
    std::memcpy(at, &kDigitPairs[2 * (magnitude % 100)], 2);
  }
  if (magnitude >= 10) {
    std::memcpy(at - 2, &kDigitPairs[2 * magnitude], 2);
  } else {
    at[-1] = static_cast<char>('0' + magnitude);
  }
  return end;
}

void appendDecimal(std::string& out, int value) {
  char digits[kMostDecimalChars];
  out.append(digits, writeDecimal(digits, value));
}

std::string itos(int value) {
  std::string text;
  appendDecimal(text, value);
  return text;
}

int stoi(std::string_view text) {
  const char* pos = text.data();
  const char* end = pos + text.size();
  while (pos < end && *pos == ' ') ++pos;
  while (end > pos && end[-1] == ' ') --end;
  const bool negative = pos < end && *pos == '-';
  pos += negative;
  // The magnitude may reach 2^31 for a negative value; anything beyond fails at once.
  const uint64_t limit = negative ? uint64_t{INT_MAX} + 1 : uint64_t{INT_MAX};
  uint64_t value = 0;
  for (; pos < end; ++pos) {
    const unsigned digit = static_cast<unsigned char>(*pos) - unsigned{'0'};
    value = value * 10 + digit;
    if (digit > 9 || value > limit) throw AdbException(message(MessageId::kNotANumber, {text}));
  }
  return static_cast<int>(negative ? 0 - value : value);
}

int stoi(const std::string& text) { return stoi(std::string_view(text)); }

int stoi(const char* text) { return stoi(std::string_view(text)); }

int64_t atoiValue(std::string_view text) {
  size_t pos = 0;
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  constexpr int64_t kSaturation = int64_t{1} << 40;
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = std::min(value * 10 + (text[pos] - '0'), kSaturation);
  }
  return negative ? -value : value;
}

}  // namespace relalg
