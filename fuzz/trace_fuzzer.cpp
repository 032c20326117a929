// Fuzz target for relalgtrace's JSON form: the bytes are an input file, traced in memory. Besides
// the sanitizers, it checks that the JSON is well-formed (parsed here by a strict reader of the
// JSON grammar), that every string in it is valid UTF-8, and that every position it gives, of a
// diagnostic or of a node, lies inside its line of the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "files/LineReader.h"
#include "forms/TraceJson.h"

using namespace relalg;

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

// The lines of the input as the reader splits them, the byte order mark left in the first.
std::vector<std::string_view> linesOf(std::string_view input) {
  std::vector<std::string_view> lines;
  LineReader reader(input);
  for (std::string_view line; reader.next(line);) lines.push_back(line);
  return lines;
}

// A strict reader of JSON that checks the positions of objects holding line, column and length.
class Checker {
 public:
  Checker(std::string_view json, const std::vector<std::string_view>& lines)
      : json_(json), lines_(lines) {}

  void checkDocument() {
    value(0);
    skipBlanks();
    require(pos_ == json_.size());
  }

 private:
  void skipBlanks() {
    while (pos_ < json_.size() &&
           std::string_view(" \t\r\n").find(json_[pos_]) != std::string_view::npos) {
      ++pos_;
    }
  }
  char peek() {
    skipBlanks();
    require(pos_ < json_.size());
    return json_[pos_];
  }
  void expect(char c) {
    require(peek() == c);
    ++pos_;
  }
  // Returns the number, for numbers.
  int64_t value(int depth) {
    require(depth < 1000);
    const char c = peek();
    if (c == '{') return object(depth), 0;
    if (c == '[') {
      ++pos_;
      if (peek() == ']') return ++pos_, 0;
      for (;;) {
        value(depth + 1);
        if (peek() == ']') return ++pos_, 0;
        expect(',');
      }
    }
    if (c == '"') return string(), 0;
    for (std::string_view word : {"true", "false", "null"}) {
      if (json_.substr(pos_, word.size()) == word) return pos_ += word.size(), 0;
    }
    return number();
  }
  int64_t number() {
    const size_t start = pos_;
    if (json_[pos_] == '-') ++pos_;
    require(pos_ < json_.size() && json_[pos_] >= '0' && json_[pos_] <= '9');
    require(json_[pos_] != '0' || pos_ + 1 >= json_.size() || json_[pos_ + 1] < '0' ||
            json_[pos_ + 1] > '9');
    int64_t result = 0;
    while (pos_ < json_.size() && json_[pos_] >= '0' && json_[pos_] <= '9') {
      result = result * 10 + (json_[pos_++] - '0');
      require(result < (int64_t{1} << 50));
    }
    return json_[start] == '-' ? -result : result;
  }
  std::string string() {
    expect('"');
    std::string text;
    for (;;) {
      require(pos_ < json_.size());
      const auto c = static_cast<unsigned char>(json_[pos_++]);
      if (c == '"') return text;
      require(c >= 0x20);
      if (c == '\\') {
        require(pos_ < json_.size());
        const char escape = json_[pos_++];
        if (escape == 'u') {
          require(pos_ + 4 <= json_.size());
          for (int k = 0; k < 4; ++k)
            require(std::isxdigit(static_cast<unsigned char>(json_[pos_++])));
        } else {
          require(std::string_view("\"\\/bfnrt").find(escape) != std::string_view::npos);
        }
        continue;
      }
      if (c >= 0x80) {  // a UTF-8 sequence: a lead byte and its continuation bytes
        const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
        require(c >= 0xC2 && c <= 0xF4);
        for (int k = 0; k < more; ++k) {
          require(pos_ < json_.size() &&
                  (static_cast<unsigned char>(json_[pos_++]) & 0xC0) == 0x80);
        }
      }
      text.push_back(static_cast<char>(c));
    }
  }
  void object(int depth) {
    expect('{');
    int64_t line = -1, column = -1, length = -1;
    if (peek() != '}') {
      for (;;) {
        const std::string key = string();
        expect(':');
        const int64_t number = value(depth + 1);
        if (key == "line") line = number;
        if (key == "column") column = number;
        if (key == "length") length = number;
        if (peek() == '}') break;
        expect(',');
      }
    }
    ++pos_;
    if (line == -1) return;
    require(line >= 1 && column >= 1 && length >= 1);
    const size_t lineSize =
        static_cast<size_t>(line) <= lines_.size() ? lines_[line - 1].size() : 0;
    require(static_cast<size_t>(line) <= std::max<size_t>(lines_.size(), 1));
    require(static_cast<size_t>(column + length - 1) <= lineSize + 1);
  }

  std::string_view json_;
  const std::vector<std::string_view>& lines_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // Products of many lines ask, rightly, for more memory than the fuzzer allows.
  if (input.substr(0, input.find('\n')).find("product") != std::string::npos && size > 512)
    return 0;
  const std::string json = traceJson([&] { return input; }, 3);
  const std::vector<std::string_view> lines = linesOf(input);
  Checker(json, lines).checkDocument();
  return 0;
}
