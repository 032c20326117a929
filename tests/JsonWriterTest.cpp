#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "base/JsonWriter.h"

using namespace relalg;

namespace {

// Whether bytes hold a well-formed UTF-8 sequence of length at pos: no overlong form, no
// surrogate, nothing past U+10FFFF. Written apart from the library's own test of UTF-8.
size_t sequenceAt(std::string_view bytes, size_t pos) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[pos + k]); };
  const unsigned lead = at(0);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0xC2 || lead > 0xF4 || pos + length > bytes.size()) return 0;
  unsigned low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (at(1) < low || at(1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((at(k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Reads one JSON string at pos, strictly (raw bytes must be UTF-8 and no control byte), and
// returns the bytes it stands for: \u0000-\u007f a byte each, \udc80-\udcff the bytes 0x80-0xFF
// that the writer escapes so. Nothing where the text is no JSON string of that kind.
std::optional<std::string> readString(std::string_view json, size_t& pos) {
  if (pos >= json.size() || json[pos++] != '"') return std::nullopt;
  std::string bytes;
  while (pos < json.size() && json[pos] != '"') {
    const auto c = static_cast<unsigned char>(json[pos]);
    if (c < 0x20) return std::nullopt;
    if (c != '\\') {
      const size_t length = sequenceAt(json, pos);
      if (length == 0) return std::nullopt;
      bytes.append(json.substr(pos, length));
      pos += length;
      continue;
    }
    if (pos + 1 >= json.size()) return std::nullopt;
    const char escaped = json[pos + 1];
    pos += 2;
    if (escaped == '"' || escaped == '\\' || escaped == '/') {
      bytes.push_back(escaped);
    } else if (escaped == 'n') {
      bytes.push_back('\n');
    } else if (escaped == 'u' && pos + 4 <= json.size()) {
      const unsigned code = std::stoul(std::string(json.substr(pos, 4)), nullptr, 16);
      pos += 4;
      if (code >= 0x80 && (code < 0xDC80 || code > 0xDCFF)) return std::nullopt;
      bytes.push_back(static_cast<char>(code & 0xFF));
    } else {
      return std::nullopt;
    }
  }
  if (pos++ >= json.size()) return std::nullopt;
  return bytes;
}

// The key and the value of the JSON text {"key":"value"}.
std::optional<std::pair<std::string, std::string>> readPair(std::string_view json) {
  size_t pos = 1;
  if (json.empty() || json.front() != '{') return std::nullopt;
  auto key = readString(json, pos);
  if (!key || pos >= json.size() || json[pos++] != ':') return std::nullopt;
  auto value = readString(json, pos);
  if (!value || json.substr(pos) != "}") return std::nullopt;
  return std::make_pair(*key, *value);
}

// Control bytes, DEL, quotes and backslashes, letters, UTF-8 letters and what comes close to
// them: an overlong form, a surrogate, a sequence cut short, a code point past U+10FFFF.
std::string randomBytes(std::mt19937& random) {
  static const std::string_view kPieces[] = {
      "a",  "\"",   "\\",   "\x7f", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
      "\xed\xa0\x80", "\xe0\x80\xaf", "\xc0\xaf", "\xe2\x82", "\xf4\x90\x80\x80", "\xed\x9f\xbf"};
  std::string bytes;
  for (size_t n = random() % 12; n > 0; --n) {
    switch (random() % 3) {
      case 0:
        bytes.push_back(static_cast<char>(random() % 0x20));
        break;
      case 1:
        bytes.push_back(static_cast<char>(random() % 0x100));
        break;
      default:
        bytes.append(kPieces[random() % std::size(kPieces)]);
    }
  }
  return bytes;
}

TEST(JsonWriter, EveryByteStringIsValidJsonThatGivesItsBytesBack) {
  std::mt19937 random(17);
  for (int k = 0; k < 5000; ++k) {
    // Every single byte first, then random strings.
    const std::string bytes = k < 256 ? std::string(1, static_cast<char>(k)) : randomBytes(random);
    const std::string json = JsonWriter().beginObject().key(bytes).text(bytes).endObject().str();
    const auto pair = readPair(json);
    ASSERT_TRUE(pair) << json;
    ASSERT_EQ(pair->first, bytes) << json;
    ASSERT_EQ(pair->second, bytes) << json;
  }
}

// Converted text is valid JSON in UTF-8 whatever the bytes.
TEST(JsonWriter, ConvertedTextIsValidJson) {
  std::mt19937 random(19);
  for (int k = 0; k < 2000; ++k) {
    const std::string bytes = randomBytes(random);
    for (auto encoding : {JsonWriter::kWindows1250, JsonWriter::kInputText}) {
      const std::string json =
          JsonWriter().beginObject().key("k").text(bytes, encoding).endObject().str();
      ASSERT_TRUE(readPair(json)) << json;
    }
  }
}

}  // namespace
