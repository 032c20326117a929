// JsonWriter builds one JSON text in memory, compactly, with commas and nesting handled for the
// caller. Strings are given as bytes in one of three encodings and always come out as valid JSON
// in UTF-8: Windows-1250 text (the messages) is converted letter for letter; UTF-8 bytes are
// taken as they are, and each byte that is not part of valid UTF-8 is written as the escape
// \udcXX (XX its value), so the bytes can be recovered exactly; text of the input is taken as
// UTF-8 where it is valid UTF-8 and converted from Windows-1250 where it is not.
#ifndef RELALG_BASE_JSONWRITER_H
#define RELALG_BASE_JSONWRITER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relalg {

class JsonWriter {
 public:
  enum Encoding { kUtf8Bytes, kWindows1250, kInputText };

  JsonWriter& beginObject() { return open('{'); }
  JsonWriter& endObject() { return close('}'); }
  JsonWriter& beginArray() { return open('['); }
  JsonWriter& endArray() { return close(']'); }
  // The key of the next value of the object being written.
  JsonWriter& key(std::string_view name);
  JsonWriter& text(std::string_view bytes, Encoding encoding = kUtf8Bytes);
  JsonWriter& number(int64_t value);
  // A finite number written with that many decimals.
  JsonWriter& fixed(double value, int decimals);
  JsonWriter& boolean(bool value);
  JsonWriter& null();

  // The JSON text; complete once every object and array is closed.
  const std::string& str() const { return out_; }

 private:
  JsonWriter& open(char bracket);
  JsonWriter& close(char bracket);
  // Writes the comma before a value or key where one is due.
  void separate();
  void appendString(std::string_view utf8OrBytes);

  std::string out_;
  std::vector<bool> first_;  // per open object or array: whether nothing is in it yet
  bool afterKey_ = false;
};

}  // namespace relalg

#endif  // RELALG_BASE_JSONWRITER_H
