#include "base/JsonWriter.h"

#include <cassert>
#include <cmath>
#include <cstdio>

#include "base/Windows1250.h"

namespace relalg {

namespace {

void appendEscape(std::string& out, unsigned code) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", code);
  out += escape;
}

}  // namespace

JsonWriter& JsonWriter::open(char bracket) {
  separate();
  out_.push_back(bracket);
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
  assert(!first_.empty() && !afterKey_);
  first_.pop_back();
  out_.push_back(bracket);
  return *this;
}

void JsonWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) out_.push_back(',');
  first_.back() = false;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  separate();
  appendString(name);
  out_.push_back(':');
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::text(std::string_view bytes, Encoding encoding) {
  separate();
  const bool convert = encoding == kWindows1250 || (encoding == kInputText && !isUtf8(bytes));
  appendString(convert ? windows1250ToUtf8(bytes) : std::string(bytes));
  return *this;
}

JsonWriter& JsonWriter::number(int64_t value) {
  separate();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::fixed(double value, int decimals) {
  assert(std::isfinite(value) && decimals >= 0 && decimals <= 9);
  separate();
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  out_ += text;
  return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
  separate();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  separate();
  out_ += "null";
  return *this;
}

void JsonWriter::appendString(std::string_view bytes) {
  out_.push_back('"');
  while (!bytes.empty()) {
    const auto c = static_cast<unsigned char>(bytes.front());
    const size_t length = utf8SequenceLength(bytes);
    if (length == 0) {
      appendEscape(out_, 0xDC00 + c);
      bytes.remove_prefix(1);
      continue;
    }
    if (c == '"' || c == '\\') {
      out_.push_back('\\');
      out_.push_back(static_cast<char>(c));
    } else if (c == '\n') {
      out_ += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      appendEscape(out_, c);
    } else {
      out_.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  out_.push_back('"');
}

}  // namespace relalg
