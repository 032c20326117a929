// The messages are Windows-1250 text. These helpers show such bytes as the letters they are, in
// UTF-8, for the places that need Unicode text: the documentation and machine-readable reports.
#ifndef RELALG_BASE_WINDOWS1250_H
#define RELALG_BASE_WINDOWS1250_H

#include <optional>
#include <string>
#include <string_view>

namespace relalg {

// The UTF-8 byte order mark. At the very start of an input it is no part of the expression line.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The bytes of a byte order mark at the start of bytes: its length, or 0 without one. Every
// reader of an input skips it with this.
inline size_t byteOrderMarkLength(std::string_view bytes) {
  return bytes.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

// The UTF-8 text of Windows-1250 bytes. ASCII stays as it is; the five bytes that the code page
// leaves unassigned become the control characters U+0081 and so on of the same number.
std::string windows1250ToUtf8(std::string_view bytes);

// The Windows-1250 bytes of UTF-8 text, or nothing when the text is no UTF-8 or holds a letter
// that the code page has not.
std::optional<std::string> utf8ToWindows1250(std::string_view text);

// The length of the valid UTF-8 sequence at the start of bytes (which must not be empty), or 0
// when it starts with none: no overlong forms, no surrogates, nothing beyond U+10FFFF.
size_t utf8SequenceLength(std::string_view bytes);
bool isUtf8(std::string_view bytes);

// The number of letters in bytes: UTF-8 sequences when utf8 is set (a byte that starts none counts
// as one letter), else bytes (Windows-1250 has one byte per letter).
size_t letterCount(std::string_view bytes, bool utf8);

// The first bytes of text, at most limit of them, that end on a whole character: a UTF-8 sequence
// that the limit would cut is left out whole (in Windows-1250 text every byte is a character).
std::string_view cutOnCharacter(std::string_view text, size_t limit);

// Appends the UTF-8 encoding of one code point.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace relalg

#endif  // RELALG_BASE_WINDOWS1250_H
