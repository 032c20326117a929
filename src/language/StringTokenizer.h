// StringTokenizer cuts one line of text into tokens. Any run of separator characters is one
// boundary, and a stretch between two quote characters stays in one token, quotes included.
// The tokenizer only views its text: the caller keeps the text alive while tokens are taken
// (also while a copy of the tokenizer takes them).
//
// Also here: itos and stoi, the system's own integer conversions.
#ifndef RELALG_LANGUAGE_STRINGTOKENIZER_H
#define RELALG_LANGUAGE_STRINGTOKENIZER_H

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace relalg {

// The separators and quote character that every line and list of the system is read with.
inline constexpr std::string_view kSeparators = " ,()";
inline constexpr char kQuote = '\'';

// The class of a byte, as a tokenizer reads it: a separator, the quote, or ordinary (0).
inline constexpr uint8_t kSeparatorClass = 1;
inline constexpr uint8_t kQuoteClass = 2;
// The byte classes of kSeparators and kQuote, as StringTokenizer uses them.
extern const std::array<uint8_t, 256> kDefaultByteClasses;

inline bool isUsualSeparator(char c) {
  return (kDefaultByteClasses[static_cast<unsigned char>(c)] & kSeparatorClass) != 0;
}

// The end of the token that starts at pos, under the given byte classes and quote: the first
// separator outside a quoted stretch, or end. A quote without a partner quotes the rest.
inline const char* tokenEnd(const uint8_t* classes, char quote, const char* pos, const char* end) {
  while (pos < end) {
    const uint8_t byteClass = classes[static_cast<unsigned char>(*pos)];
    if (byteClass == 0) {
      ++pos;
    } else if (byteClass & kSeparatorClass) {
      break;
    } else {
      const void* close = std::memchr(pos + 1, quote, static_cast<size_t>(end - pos - 1));
      pos = close != nullptr ? static_cast<const char*>(close) + 1 : end;
    }
  }
  return pos;
}

class StringTokenizer {
 public:
  // A tokenizer of text with the usual separators and quote.
  explicit StringTokenizer(std::string_view text)
      : quote_(kQuote), classes_(kDefaultByteClasses.data()) {
    rest_ = skipSeparators(text);
  }
  StringTokenizer(std::string_view text, std::string_view separators, char quote);
  // A copy takes the same tokens as the original, from where the original stands.
  StringTokenizer(const StringTokenizer& other) { *this = other; }
  StringTokenizer& operator=(const StringTokenizer& other);

  bool is_separator(char c) const {
    return (classes_[static_cast<unsigned char>(c)] & kSeparatorClass) != 0;
  }
  bool hasMoreTokens() const { return !rest_.empty(); }

  // Returns the next token, as a view into the tokenized text, or the empty string when none is
  // left.
  std::string_view nextToken() {
    const char* const begin = rest_.data();
    const char* const end = begin + rest_.size();
    const char* pos = classes_ == kDefaultByteClasses.data() ? skipOrdinary(begin, end) : begin;
    pos = tokenEnd(classes_, quote_, pos, end);
    std::string_view token(begin, static_cast<size_t>(pos - begin));
    rest_ = skipSeparators(rest_.substr(token.size()));
    return token;
  }

 private:
  std::string_view skipSeparators(std::string_view text) const {
    size_t pos = 0;
    while (pos < text.size() && is_separator(text[pos])) ++pos;
    return text.substr(pos);
  }
  // The first position from pos on that holds a usual separator or quote, or the last few
  // bytes before end; eight bytes are looked at in each step.
  static const char* skipOrdinary(const char* pos, const char* end) {
    if constexpr (std::endian::native == std::endian::little) {
      for (; end - pos >= 8; pos += 8) {
        uint64_t bytes;
        std::memcpy(&bytes, pos, 8);
        if (uint64_t special = specialBytes(bytes)) return pos + std::countr_zero(special) / 8;
      }
    }
    return pos;
  }
  // A mask with the high bit set in the lowest byte of word that is a usual separator or quote
  // (bits above it may be set too).
  static uint64_t specialBytes(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    auto zeroIn = [](uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    return zeroIn(word ^ (kOnes * ' ')) | zeroIn(word ^ (kOnes * ',')) |
           zeroIn(word ^ (kOnes * '(')) | zeroIn(word ^ (kOnes * ')')) |
           zeroIn(word ^ (kOnes * '\''));
  }

  std::string_view rest_;  // empty or starting with a non-separator
  char quote_;
  bool hasOwnClasses() const { return classes_ != kDefaultByteClasses.data(); }

  // The class of every byte: separator, quote or ordinary. Points to a shared table for the
  // usual separators and quote, or to ownClasses_ (of this very object) for others.
  const uint8_t* classes_;
  uint8_t ownClasses_[256];
};

// The decimal text of value: no leading zeros, a minus sign for negative values.
std::string itos(int value);
// Appends the decimal text of value to out.
void appendDecimal(std::string& out, int value);
// Writes the same digits at out, which has room for kMostDecimalChars, and returns their end.
inline constexpr size_t kMostDecimalChars = 11;
char* writeDecimal(char* out, int value);

// Reads an integer field: blanks around it are ignored, an empty field is 0, an optional minus
// sign, then decimal digits. Throws AdbException for any other character and for values outside
// the 32-bit signed range.
int stoi(std::string_view text);
// Without this overload, an unqualified stoi(s) with a std::string s would find std::stoi through
// argument-dependent lookup and prefer it, silently accepting "+5" or "12abc". With it, such a
// call is ambiguous and does not compile: write relalg::stoi(s).
int stoi(const std::string& text);
int stoi(const char* text);

// The value that C's atoi reads from text: leading white space, an optional sign, decimal digits
// up to the first other character, 0 without digits. Exact for every text that names a 32-bit
// value; far beyond that range it saturates instead of wrapping.
int64_t atoiValue(std::string_view text);

}  // namespace relalg

#endif  // RELALG_LANGUAGE_STRINGTOKENIZER_H
