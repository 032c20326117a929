#include "forms/TableJson.h"

#include <algorithm>

#include "base/JsonWriter.h"
#include "base/Windows1250.h"

namespace relalg {

std::string tableJson(const Table& table, size_t limit) {
  const size_t count = static_cast<size_t>(table.recordCount());
  const size_t shown = std::min(count, limit);
  std::vector<std::vector<std::string>> records;
  records.reserve(shown);
  bool utf8 = isUtf8(table.getName());
  for (const auto& column : table.columns()) utf8 = utf8 && isUtf8(column->getName());
  for (size_t row = 0; row < shown; ++row) {
    records.push_back(recordValues(table, row));
    for (const std::string& value : records.back()) utf8 = utf8 && isUtf8(value);
  }
  const JsonWriter::Encoding encoding = utf8 ? JsonWriter::kUtf8Bytes : JsonWriter::kWindows1250;
  JsonWriter json;
  json.beginObject();
  json.key("name").text(table.getName(), encoding);
  json.key("columns").beginArray();
  for (const auto& column : table.columns()) {
    json.beginObject().key("name").text(column->getName(), encoding);
    json.key("type").text(columnTypeText(*column), encoding).endObject();
  }
  json.endArray();
  json.key("count").number(static_cast<int64_t>(count));
  json.key("records").beginArray();
  for (const std::vector<std::string>& values : records) {
    json.beginArray();
    for (const std::string& value : values) json.text(value, encoding);
    json.endArray();
  }
  json.endArray();
  json.endObject();
  return json.str();
}

}  // namespace relalg
