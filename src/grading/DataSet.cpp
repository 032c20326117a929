#include "grading/DataSet.h"

#include <map>
#include <utility>

#include "base/Windows1250.h"
#include "evaluation/TableOrdering.h"
#include "evaluation/TableSet.h"
#include "files/InputSource.h"
#include "files/SourceLines.h"
#include "storage/Column.h"
#include "storage/Table.h"

namespace relalg {

namespace {

TableData tableData(const Table& table, const std::string& name) {
  TableData data{name, name + table.fingerPrint(), {}, {}};
  for (const auto& column : table.columns()) {
    data.integer.push_back(column->getType() == Column::INTEGER);
  }
  data.records.resize(static_cast<size_t>(table.recordCount()));
  for (size_t row = 0; row < data.records.size(); ++row) {
    for (const auto& column : table.columns()) {
      if (column->getType() == Column::STRING) {
        data.records[row].emplace_back(asStrings(*column).getVal(row));
      } else {
        data.records[row].push_back(std::to_string(asInts(*column).getVal(row)));
      }
    }
  }
  return data;
}

bool ascendsStrictly(const Table& table) {
  for (int row = 1; row < table.recordCount(); ++row) {
    if (compareRecord(table, row - 1, table, row) >= 0) return false;
  }
  return true;
}

}  // namespace

DataSet DataSet::read(std::string name, std::string_view input) {
  const TextInput source = TextInput::viewing(input);
  SourceLines lines(source, byteOrderMarkLength(input));
  std::string_view expression;
  lines.next(expression);
  const size_t begin = lines.position();
  const TableSet catalogue(source, begin);
  DataSet data;
  data.name_ = std::move(name);
  data.sorted_ = true;
  for (const std::string* key : catalogue.tableNamesAsRead()) {
    const Table& table = *catalogue.getTableByName(*key);
    data.tables_.push_back(tableData(table, *key));
    data.sorted_ = data.sorted_ && ascendsStrictly(table);
  }
  data.text_ = std::string(input.substr(begin));
  return data;
}

DataSet::DataSet(std::string name, std::vector<TableData> tables)
    : name_(std::move(name)), tables_(std::move(tables)) {
  for (const TableData& table : tables_) {
    text_ += '\n' + table.header + '\n';
    for (const std::vector<std::string>& record : table.records) {
      for (size_t k = 0; k < record.size(); ++k) {
        if (k > 0) text_ += ", ";
        text_ += record[k];
      }
      text_ += '\n';
    }
  }
}

DataSet DataSet::sorted() const {
  const TableSet catalogue(text_);
  std::vector<TableData> tables;
  for (const TableData& table : tables_) {
    tables.push_back(tableData(
        *deleteDuplicates(*sortRecords(*catalogue.getTableByName(table.name))), table.name));
  }
  DataSet data(name_, std::move(tables));
  data.sorted_ = true;
  return data;
}

size_t DataSet::recordCount() const {
  size_t count = 0;
  for (const TableData& table : tables_) count += table.records.size();
  return count;
}

std::string firstLine(std::string_view input) {
  const TextInput source = TextInput::viewing(input);
  SourceLines lines(source, byteOrderMarkLength(input));
  std::string_view line;
  return lines.next(line) ? std::string(line) : std::string();
}

std::string tableDifference(const DataSet& exercise, const DataSet& other) {
  std::map<std::string_view, std::string_view> headers;
  for (const TableData& table : other.tables()) headers.emplace(table.name, table.header);
  for (const TableData& table : exercise.tables()) {
    const auto found = headers.find(table.name);
    if (found == headers.end()) return "it has no table " + table.name;
    if (found->second != table.header) {
      return "it has " + std::string(found->second) + " where the exercise has " + table.header;
    }
    headers.erase(found);
  }
  if (!headers.empty()) {
    return "it has a table that the exercise lacks: " + std::string(headers.begin()->second);
  }
  return {};
}

}  // namespace relalg
