#include "base/Windows1250.h"

#include <algorithm>

namespace relalg {

namespace {

// The code points of the bytes 0x80 to 0xFF.
constexpr char16_t kHighHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

}  // namespace

void appendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | codePoint >> 6));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | codePoint >> 12));
    out.push_back(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | codePoint >> 18));
    out.push_back(static_cast<char>(0x80 | (codePoint >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

std::string windows1250ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    appendUtf8(text, byte < 0x80 ? char32_t{byte} : char32_t{kHighHalf[byte - 0x80]});
  }
  return text;
}

std::optional<std::string> utf8ToWindows1250(std::string_view text) {
  std::string bytes;
  while (!text.empty()) {
    const size_t length = utf8SequenceLength(text);
    if (length == 0) return std::nullopt;
    char32_t value = static_cast<unsigned char>(text[0]);
    if (length > 1) {
      value &= 0x7F >> length;
      for (size_t k = 1; k < length; ++k) value = value << 6 | (text[k] & 0x3F);
    }
    text.remove_prefix(length);
    if (value < 0x80) {
      bytes.push_back(static_cast<char>(value));
      continue;
    }
    const auto found = std::find(std::begin(kHighHalf), std::end(kHighHalf), value);
    if (found == std::end(kHighHalf)) return std::nullopt;
    bytes.push_back(static_cast<char>(0x80 + (found - std::begin(kHighHalf))));
  }
  return bytes;
}

size_t utf8SequenceLength(std::string_view bytes) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(0);
  size_t length;
  char32_t value;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(k) & 0x3F);
  }
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  return overlong || surrogate || value > 0x10FFFF ? 0 : length;
}

size_t letterCount(std::string_view bytes, bool utf8) {
  if (!utf8) return bytes.size();
  size_t letters = 0;
  while (!bytes.empty()) {
    bytes.remove_prefix(std::max<size_t>(utf8SequenceLength(bytes), 1));
    ++letters;
  }
  return letters;
}

std::string_view cutOnCharacter(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  // Only a sequence that starts at most three bytes before the limit can straddle it.
  for (size_t start = limit; start > 0 && start + 4 > limit; --start) {
    const size_t lead = start - 1;
    const size_t length = utf8SequenceLength(text.substr(lead));
    if (length > 1 && lead + length > limit) return text.substr(0, lead);
    if (length > 1 || (static_cast<unsigned char>(text[lead]) & 0xC0) != 0x80) break;
  }
  return text.substr(0, limit);
}

bool isUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t length = utf8SequenceLength(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

}  // namespace relalg
