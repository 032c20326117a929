// StringTokenizer cuts one line of text into tokens. Any run of separator characters is one
// boundary, and a stretch between two quote characters stays in one token, quotes included.
// The tokenizer only views its text: the caller keeps the text alive while tokens are taken.
//
// Also here: itos and stoi, the system's own integer conversions.
#ifndef RELALG_STRINGTOKENIZER_H
#define RELALG_STRINGTOKENIZER_H

#include <cstdint>
#include <string>
#include <string_view>

// The separators and quote character that every line and list of the system is read with.
inline constexpr std::string_view kSeparators = " ,()";
inline constexpr char kQuote = '\'';

class StringTokenizer {
 public:
  StringTokenizer(std::string_view text, std::string_view separators = kSeparators,
                  char quote = kQuote);

  bool is_separator(char c) const {
    return (classes_[static_cast<unsigned char>(c)] & kSeparatorClass) != 0;
  }
  bool hasMoreTokens() const { return !rest_.empty(); }

  // Returns the next token, or the empty string when none is left.
  std::string nextToken() { return std::string(nextView()); }
  // The same as nextToken, as a view into the tokenized text.
  std::string_view nextView();

 private:
  static constexpr uint8_t kSeparatorClass = 1;
  static constexpr uint8_t kQuoteClass = 2;

  std::string_view skipSeparators(std::string_view text) const;

  std::string_view rest_;  // empty or starting with a non-separator
  char quote_;
  // The class of every byte: separator, quote or ordinary. Points to a shared table for the
  // usual separators and quote, or to ownClasses_ for others.
  const uint8_t* classes_;
  uint8_t ownClasses_[256];
};

// The decimal text of value: no leading zeros, a minus sign for negative values.
std::string itos(int value);
// Appends the decimal text of value to out.
void appendDecimal(std::string& out, int value);

// Reads an integer field: blanks around it are ignored, an empty field is 0, an optional minus
// sign, then decimal digits. Throws AdbException for any other character and for values outside
// the 32-bit signed range.
int stoi(std::string_view text);

#endif  // RELALG_STRINGTOKENIZER_H
