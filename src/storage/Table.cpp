#include "storage/Table.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <new>
#include <ostream>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "language/StringTokenizer.h"
#include "storage/HeaderLine.h"

namespace relalg {

namespace {

// Records formatted per thread and round of writing: their text stays a few hundred kilobytes.
constexpr size_t kRowsPerPiece = size_t{1} << 14;

// Copies value to out and returns where it ends.
char* writeValue(char* out, std::string_view value) {
  copyValueBytes(out, value.data(), value.size());
  return out + value.size();
}

[[noreturn]] void throwTooManyRecords(const std::string& name) {
  throw AdbException(message(MessageId::kTooManyRecords, {name}));
}

}  // namespace

std::string resultTableName() { return "result"; }

Table::Table(std::string headerLine) {
  const HeaderLine header(headerLine);
  if (!header.named()) throw AdbException(message(MessageId::kNamelessTable));
  name_ = header.name;
  for (const HeaderLine::Column& column : header.columns) {
    if (column.integer) {
      columns_.push_back(std::make_unique<IntColumn>(std::string(column.name)));
    } else {
      columns_.push_back(
          std::make_unique<StrColumn>(std::string(column.name), std::string(column.width)));
    }
  }
}

Table::Table(std::string name, std::vector<std::unique_ptr<Column>> columns)
    : name_(std::move(name)), columns_(std::move(columns)) {
  assert(columnsEven());
}

Table::Table(const Table& other) : name_(other.name_) {
  for (const auto& column : other.columns_) columns_.push_back(column->clone());
}

Table::~Table() = default;

bool Table::columnsEven() const {
  for (const auto& column : columns_) {
    if (column->getSize() != recordCount()) return false;
  }
  return true;
}

Column* Table::getColumnByName(std::string_view name) const {
  for (const auto& column : columns_) {
    if (column->getName() == name) return column.get();
  }
  return nullptr;
}

std::string Table::getval_s(std::string name, int index) {
  Column* column = getColumnByName(name);
  if (column == nullptr || column->getType() != Column::STRING) {
    throw AdbException(message(MessageId::kNoSuchColumn, {name}));
  }
  return asStrings(*column).getVal(index);
}

int Table::getval_i(std::string name, int index) {
  Column* column = getColumnByName(name);
  if (column == nullptr || column->getType() != Column::INTEGER) {
    throw AdbException(message(MessageId::kNoSuchColumn, {name}));
  }
  return asInts(*column).getVal(index);
}

void Table::add_column(std::string name, Column::attr_type type, std::string width) {
  if (recordCount() > 0) throw AdbException(message(MessageId::kColumnAddedToFilledTable, {name_}));
  if (type == Column::INTEGER) {
    columns_.push_back(std::make_unique<IntColumn>(std::move(name)));
  } else {
    columns_.push_back(std::make_unique<StrColumn>(std::move(name), std::move(width)));
  }
}

// A failure carries its place in the line: the value at fault, or the end of a line that has
// too few values; the reader of the line adds the line's number.
int Table::addRecord(std::string_view line) {
  const int count = recordCount();
  if (!columns_.empty() && count == INT_MAX) {
    throw AdbException(message(MessageId::kTooManyRecords, {name_}), {0, 1, line.size()});
  }
  StringTokenizer tokens(line);
  std::string_view token;  // the value at work
  try {
    for (const auto& column : columns_) {
      if (!tokens.hasMoreTokens()) {
        throw AdbException(message(MessageId::kTooFewValues), {0, line.size() + 1, 1});
      }
      token = tokens.nextToken();
      if (column->getType() == Column::STRING) {
        asStrings(*column).addVal(token);
      } else {
        asInts(*column).addVal(relalg::stoi(token));
      }
    }
    if (tokens.hasMoreTokens()) {
      const size_t at = static_cast<size_t>(tokens.nextToken().data() - line.data());
      throw AdbException(message(MessageId::kTooManyValues), {0, at + 1, line.size() - at});
    }
  } catch (const AdbException& error) {
    dropValuesFrom(count);
    if (error.place().column != 0) throw;
    const size_t at = static_cast<size_t>(token.data() - line.data());
    throw AdbException(error.getMessage(), {0, at + 1, token.size()});
  } catch (...) {
    dropValuesFrom(count);
    throw;
  }
  assert(columnsEven());
  return 1;
}

void Table::dropValuesFrom(int count) {
  for (const auto& column : columns_) {
    if (column->getSize() > count) column->truncate(static_cast<size_t>(count));
  }
}

void Table::reserveRecords(size_t records, size_t bytes) {
  for (const auto& column : columns_) column->reserve(records, bytes);
}

void Table::checkIndex(int index) const {
  if (columns_.empty()) return;  // no value is read from a table without columns
  if (static_cast<unsigned>(index) >= static_cast<unsigned>(recordCount())) {
    Column::throwIndexError(columns_.front()->getType());
  }
}

std::string Table::getRecord(int index) const {
  if (columns_.empty()) return {};
  checkIndex(index);
  // Every column is checked, so that a column shortened through its handle fails here rather
  // than being read past its end.
  for (const auto& column : columns_) {
    if (index >= column->getSize()) Column::throwIndexError(column->getType());
  }
  std::string text;
  getRecord(static_cast<size_t>(index), text);
  return text;
}

void Table::getRecord(size_t row, std::string& out) const {
  assert(row < static_cast<size_t>(recordCount()));
  bool first = true;
  for (const auto& column : columns_) {
    if (!first) out.push_back(',');
    first = false;
    if (column->getType() == Column::STRING) {
      out.append(asStrings(*column).getVal(row));
    } else {
      appendDecimal(out, asInts(*column).getVal(row));
    }
  }
}

// The text is written straight into room made for the most it can take: the bytes of the string
// values, kMostDecimalChars per integer, a separator or line feed per value.
void Table::appendRecordLines(RawVector<char>& out, size_t begin, size_t end) const {
  assert(begin <= end && end <= static_cast<size_t>(recordCount()));
  if (columns_.empty()) {
    out.insert(out.end(), end - begin, '\n');
    return;
  }
  std::vector<const StrColumn*> strings(columns_.size(), nullptr);
  size_t most = 0;
  for (size_t k = 0; k < columns_.size(); ++k) {
    if (columns_[k]->getType() == Column::STRING) {
      strings[k] = &asStrings(*columns_[k]);
      most += strings[k]->bytesAtMost(begin, end);
    } else {
      most += kMostDecimalChars * (end - begin);
    }
  }
  most += columns_.size() * (end - begin);
  const size_t start = out.size();
  out.resize(start + most);
  char* at = out.data() + start;
  for (size_t row = begin; row < end; ++row) {
    for (size_t k = 0; k < columns_.size(); ++k) {
      at = strings[k] != nullptr ? writeValue(at, strings[k]->getVal(row))
                                 : writeDecimal(at, asInts(*columns_[k]).getVal(row));
      *at++ = ',';
    }
    at[-1] = '\n';
  }
  assert(static_cast<size_t>(at - out.data()) <= out.size());
  out.resize(static_cast<size_t>(at - out.data()));
}

std::string Table::fingerPrint() const {
  if (columns_.empty()) return name_;
  std::string text = "(";
  for (const auto& column : columns_) {
    if (text.size() > 1) text += ", ";
    text += column->getName();
    text += ' ';
    text += columnTypeText(*column);
  }
  return text + ")";
}

std::string Table::toString() const {
  if (columns_.empty()) return name_;
  std::string text = name_ + fingerPrint() + "\n";
  const size_t count = static_cast<size_t>(recordCount());
  for (size_t row = 0; row < count; ++row) {
    getRecord(row, text);
    text.push_back('\n');
  }
  return text;
}

void Table::toString(std::ostream& out) const {
  if (columns_.empty()) {
    out << name_;
    return;
  }
  const std::string header = name_ + fingerPrint() + "\n";
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  const size_t count = static_cast<size_t>(recordCount());
  size_t pieces = std::clamp<size_t>(count / kRowsPerPiece, 1, threadCount());
  std::vector<RawVector<char>> texts(pieces);
  // A round formats up to pieces * kRowsPerPiece records, a piece per thread, then writes them
  // in order; the buffers are reused from round to round. A round that runs out of memory on
  // several threads is formatted again, and so are the rounds after it, on one.
  for (size_t first = 0; first < count; first += pieces * kRowsPerPiece) {
    const size_t rows = std::min(count - first, pieces * kRowsPerPiece);
    const size_t used = std::min(pieces, (rows + kRowsPerPiece - 1) / kRowsPerPiece);
    const EvenCut cut{rows, used};
    auto format = [&](size_t piece) {
      RawVector<char>& text = texts[piece];
      text.clear();
      appendRecordLines(text, first + cut.begin(piece), first + cut.begin(piece + 1));
    };
    try {
      runPieces(used, format);
    } catch (const std::bad_alloc&) {
      if (used == 1) throw;
      pieces = 1;
      texts.assign(1, RawVector<char>());
      first -= kRowsPerPiece;  // this round again
      continue;
    }
    for (size_t piece = 0; piece < used; ++piece) {
      out.write(texts[piece].data(), static_cast<std::streamsize>(texts[piece].size()));
    }
  }
}

bool Table::sameSchema(const Table& other) const {
  if (columns_.size() != other.columns_.size() || fingerPrint() != other.fingerPrint()) {
    return false;
  }
  for (size_t k = 0; k < columns_.size(); ++k) {
    if (columns_[k]->getType() != other.columns_[k]->getType()) return false;
  }
  return true;
}

std::unique_ptr<Table> Table::emptyLike(std::string name) const {
  std::vector<std::unique_ptr<Column>> columns;
  for (const auto& column : columns_) columns.push_back(column->cloneEmpty());
  return std::make_unique<Table>(std::move(name), std::move(columns));
}

void Table::gatherRows(const Table& source, std::span<const uint32_t> rows) {
  assert(columns_.size() == source.columns_.size());
  if (!columns_.empty() && static_cast<size_t>(recordCount()) + rows.size() > INT_MAX) {
    throwTooManyRecords(name_);
  }
  for (size_t k = 0; k < columns_.size(); ++k) columns_[k]->gather(*source.columns_[k], rows);
  assert(columnsEven());
}

void Table::appendRecords(const Table& source) {
  assert(columns_.size() == source.columns_.size());
  if (!columns_.empty() && recordCount() > INT_MAX - source.recordCount()) {
    throwTooManyRecords(name_);
  }
  for (size_t k = 0; k < columns_.size(); ++k) columns_[k]->append(*source.columns_[k]);
  assert(columnsEven());
}

void Table::keepRows(std::span<const uint32_t> rows) {
  for (const auto& column : columns_) column->keepRows(rows);
  assert(columnsEven());
}

void Table::clearRecords() {
  for (const auto& column : columns_) column->truncate(0);
}

std::vector<std::string> recordValues(const Table& table, size_t row) {
  std::vector<std::string> values;
  values.reserve(table.columns().size());
  for (const auto& column : table.columns()) {
    if (column->getType() == Column::INTEGER) {
      values.push_back(itos(asInts(*column).getVal(row)));
    } else {
      values.emplace_back(asStrings(*column).getVal(row));
    }
  }
  return values;
}

std::string columnTypeText(const Column& column) {
  return column.getType() == Column::INTEGER ? "int"
                                             : "char(" + asStrings(column).getMaxWidth() + ")";
}

}  // namespace relalg
