#include "Table.h"

#include <climits>
#include <numeric>
#include <ostream>

#include "AdbException.h"
#include "Condition.h"
#include "RecordOrder.h"
#include "StringTokenizer.h"

namespace {

constexpr size_t kWriteBlock = size_t{1} << 20;

[[noreturn]] void throwTooManyRecords(const std::string& name) {
  throw AdbException("Tul sok rekord a tablaban: " + name);
}

[[noreturn]] void throwCopyMismatch(const std::string& source, const std::string& destination) {
  throw AdbException("Nem azonos semaju tablak kozti masolas: " + source + " \xE9s " + destination);
}

// The record indexes 0 .. count-1.
std::vector<uint32_t> allRows(size_t count) {
  std::vector<uint32_t> rows(count);
  std::iota(rows.begin(), rows.end(), 0u);
  return rows;
}

}  // namespace

std::string resultTableName() { return "result"; }

Table::Table(std::string headerLine) {
  StringTokenizer tokens(headerLine);
  if (!tokens.hasMoreTokens()) throw AdbException("Nev nelkuli tabla nem hozhato letre!");
  name_ = tokens.nextToken();
  while (tokens.hasMoreTokens()) {
    std::string columnName = tokens.nextToken();
    if (tokens.nextView() == "int") {
      columns_.push_back(std::make_unique<IntColumn>(std::move(columnName)));
    } else {
      columns_.push_back(std::make_unique<StrColumn>(std::move(columnName), tokens.nextToken()));
    }
  }
}

Table::Table(std::string name, std::vector<std::unique_ptr<Column>> columns)
    : name_(std::move(name)), columns_(std::move(columns)) {}

Table::Table(const Table& other) : name_(other.name_) {
  for (const auto& column : other.columns_) columns_.push_back(column->clone());
}

Table::~Table() = default;

Column* Table::getColumnByName(std::string_view name) const {
  for (const auto& column : columns_) {
    if (column->name() == name) return column.get();
  }
  return nullptr;
}

ColumnIndex::ColumnIndex(const Table& table) : table_(table) {
  constexpr size_t kNarrow = 16;
  if (table.columns().size() <= kNarrow) return;
  for (const auto& column : table.columns()) firstByName_.try_emplace(column->name(), column.get());
}

const Column* ColumnIndex::find(std::string_view name) const {
  if (firstByName_.empty()) return table_.getColumnByName(name);
  auto found = firstByName_.find(name);
  return found == firstByName_.end() ? nullptr : found->second;
}

std::string Table::getval_s(std::string name, int index) {
  Column* column = getColumnByName(name);
  if (column == nullptr || column->getType() != Column::STRING) {
    throw AdbException("Nincs " + name + " nevu oszlop.");
  }
  return static_cast<StrColumn*>(column)->getVal(index);
}

int Table::getval_i(std::string name, int index) {
  Column* column = getColumnByName(name);
  if (column == nullptr || column->getType() != Column::INTEGER) {
    throw AdbException("Nincs " + name + " nevu oszlop.");
  }
  return static_cast<IntColumn*>(column)->getVal(index);
}

void Table::add_column(std::string name, Column::attr_type type, std::string width) {
  if (type == Column::INTEGER) {
    columns_.push_back(std::make_unique<IntColumn>(std::move(name)));
  } else {
    columns_.push_back(std::make_unique<StrColumn>(std::move(name), std::move(width)));
  }
}

int Table::appendRecord(std::string_view line) {
  if (!columns_.empty() && recordCount() == INT_MAX) throwTooManyRecords(name_);
  StringTokenizer tokens(line);
  for (const auto& column : columns_) {
    if (!tokens.hasMoreTokens()) {
      throw AdbException("Kevesebb adat a rekordban, mint ahany oszlop van.");
    }
    std::string_view token = tokens.nextView();
    if (column->getType() == Column::STRING) {
      static_cast<StrColumn&>(*column).append(token);
    } else {
      static_cast<IntColumn&>(*column).addVal(::stoi(token));
    }
  }
  if (tokens.hasMoreTokens()) throw AdbException("Tobb adat mint a tabla oszlopainak szama!");
  return 1;
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
  std::string text;
  appendRecordText(text, static_cast<size_t>(index));
  return text;
}

void Table::appendRecordText(std::string& out, size_t index) const {
  bool first = true;
  for (const auto& column : columns_) {
    if (!first) out.push_back(',');
    first = false;
    if (column->getType() == Column::STRING) {
      out.append(static_cast<const StrColumn&>(*column).view(index));
    } else {
      appendDecimal(out, static_cast<const IntColumn&>(*column).value(index));
    }
  }
}

std::string Table::fingerPrint() const {
  if (columns_.empty()) return name_;
  std::string text = "(";
  for (const auto& column : columns_) {
    if (text.size() > 1) text += ", ";
    text += column->name();
    if (column->getType() == Column::INTEGER) {
      text += " int";
    } else {
      text += " char(" + static_cast<const StrColumn&>(*column).maxWidth() + ")";
    }
  }
  return text + ")";
}

std::string Table::toString() const {
  if (columns_.empty()) return name_;
  std::string text = name_ + fingerPrint() + "\n";
  const size_t count = static_cast<size_t>(recordCount());
  for (size_t row = 0; row < count; ++row) {
    appendRecordText(text, row);
    text.push_back('\n');
  }
  return text;
}

void Table::writeText(std::ostream& out) const {
  if (columns_.empty()) {
    out << name_;
    return;
  }
  std::string block = name_ + fingerPrint() + "\n";
  const size_t count = static_cast<size_t>(recordCount());
  for (size_t row = 0; row < count; ++row) {
    appendRecordText(block, row);
    block.push_back('\n');
    if (block.size() >= kWriteBlock) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

// Two tables share a schema when their schema texts are equal and their columns agree in kind
// position by position; apostrophes in names can make different schemas print the same text.
bool Table::sameSchema(const Table& other) const {
  if (columns_.size() != other.columns_.size() || fingerPrint() != other.fingerPrint()) {
    return false;
  }
  for (size_t k = 0; k < columns_.size(); ++k) {
    if (columns_[k]->getType() != other.columns_[k]->getType()) return false;
  }
  return true;
}

void Table::checkComparable(const Table& right) const {
  if (!sameSchema(right)) {
    throw AdbException("Nem azonos semaju tablak osszehasonlitasa: " + name_ + " es " +
                       right.name_);
  }
}

std::unique_ptr<Table> Table::emptyLike(std::string name) const {
  std::vector<std::unique_ptr<Column>> columns;
  for (const auto& column : columns_) columns.push_back(column->cloneEmpty());
  return std::make_unique<Table>(std::move(name), std::move(columns));
}

void Table::gatherRows(const Table& source, std::span<const uint32_t> rows) {
  if (!columns_.empty() && static_cast<size_t>(recordCount()) + rows.size() > INT_MAX) {
    throwTooManyRecords(name_);
  }
  for (size_t k = 0; k < columns_.size(); ++k) columns_[k]->gather(*source.columns_[k], rows);
}

int Table::compareRecord(int i, const Table* other, int j) const {
  checkComparable(*other);
  checkIndex(i);
  other->checkIndex(j);
  RecordOrder order(columnHandles(columns_), columnHandles(other->columns_));
  return order.compare(static_cast<size_t>(i), static_cast<size_t>(j));
}

int Table::copyRecord(int i, Table* destination) const {
  if (!destination->sameSchema(*this)) throwCopyMismatch(name_, destination->name_);
  if (columns_.empty()) return 1;
  checkIndex(i);
  const uint32_t row = static_cast<uint32_t>(i);
  destination->gatherRows(*this, std::span<const uint32_t>(&row, 1));
  return 1;
}

std::unique_ptr<Table> Table::sortRecords() const {
  auto result = emptyLike(resultTableName());
  result->gatherRows(*this, RecordOrder(columnHandles(columns_)).sortedRows(recordCount()));
  return result;
}

std::unique_ptr<Table> Table::deleteDuplicates() const {
  auto result = emptyLike(name_);
  result->gatherRows(*this,
                     RecordOrder(columnHandles(columns_)).distinctRows(allRows(recordCount())));
  return result;
}

// Walks both tables once, in step. Records that the walk meets as an equal pair are taken once,
// from the left; every other record of either table is taken. Nothing is sorted.
std::unique_ptr<Table> Table::make_union(const Table* right) const {
  const uint32_t p = static_cast<uint32_t>(recordCount());
  const uint32_t q = static_cast<uint32_t>(right->recordCount());
  if (q > 0 && !sameSchema(*right)) {
    if (p > 0) checkComparable(*right);
    throwCopyMismatch(right->name_, resultTableName());
  }
  auto result = emptyLike(resultTableName());
  if (q == 0) {
    result->gatherRows(*this, allRows(p));
    return result;
  }
  RecordOrder order(columnHandles(columns_), columnHandles(right->columns_));
  std::vector<uint32_t> run;
  bool runFromRight = false;
  auto take = [&](bool fromRight, uint32_t row) {
    if (fromRight != runFromRight && !run.empty()) {
      result->gatherRows(runFromRight ? *right : *this, run);
      run.clear();
    }
    runFromRight = fromRight;
    run.push_back(row);
  };
  uint32_t j = 0, i = 0;
  while (j < p || i < q) {
    int s = i == q ? -1 : j == p ? 1 : order.compare(j, i);
    if (s > 0) {
      take(true, i++);
    } else {
      take(false, j++);
      if (s == 0) ++i;
    }
  }
  result->gatherRows(runFromRight ? *right : *this, run);
  return result;
}

// Walks both tables once, in step: a right record cancels the left record that the walk meets
// as its equal. The result keeps the left table's order.
std::unique_ptr<Table> Table::make_minus(const Table* right) const {
  const uint32_t p = static_cast<uint32_t>(recordCount());
  const uint32_t q = static_cast<uint32_t>(right->recordCount());
  auto result = emptyLike(resultTableName());
  if (p == 0 || q == 0) {
    result->gatherRows(*this, allRows(p));
    return result;
  }
  checkComparable(*right);
  RecordOrder order(columnHandles(columns_), columnHandles(right->columns_));
  std::vector<uint32_t> kept;
  uint32_t j = 0, i = 0;
  while (j < p) {
    int s = i == q ? -1 : order.compare(j, i);
    if (s > 0) {
      ++i;
    } else {
      if (s < 0) kept.push_back(j);
      if (s == 0) ++i;
      ++j;
    }
  }
  result->gatherRows(*this, kept);
  return result;
}

// The sorted product is the pairing of the sorted operands: for each run of equal left records,
// every right record in order, each paired with every left record of the run. The result is
// gathered a run at a time.
std::unique_ptr<Table> Table::make_product(const Table* right) const {
  const size_t p = static_cast<size_t>(recordCount());
  const size_t q = static_cast<size_t>(right->recordCount());
  if (p * q > INT_MAX) {
    throw AdbException("A szorzat tul sok rekordot adna: " + itos(static_cast<int>(p)) + " * " +
                       itos(static_cast<int>(q)));
  }
  const RecordOrder::SortedRuns left = RecordOrder(columnHandles(columns_)).sortedRuns(p);
  const std::vector<uint32_t> rightSorted =
      RecordOrder(columnHandles(right->columns_)).sortedRows(q);
  std::vector<std::unique_ptr<Column>> columns;
  for (const auto& column : columns_) columns.push_back(column->cloneEmpty());
  for (const auto& column : right->columns_) columns.push_back(column->cloneEmpty());
  std::vector<uint32_t> leftRows, rightRows;
  for (size_t run = 0; run < left.starts.size(); ++run) {
    const auto runBegin = left.rows.begin() + static_cast<ptrdiff_t>(left.starts[run]);
    const auto runEnd = run + 1 < left.starts.size()
                            ? left.rows.begin() + static_cast<ptrdiff_t>(left.starts[run + 1])
                            : left.rows.end();
    leftRows.clear();
    rightRows.clear();
    for (uint32_t rightRow : rightSorted) {
      leftRows.insert(leftRows.end(), runBegin, runEnd);
      rightRows.insert(rightRows.end(), static_cast<size_t>(runEnd - runBegin), rightRow);
    }
    for (size_t k = 0; k < columns_.size(); ++k) columns[k]->gather(*columns_[k], leftRows);
    for (size_t k = 0; k < right->columns_.size(); ++k) {
      columns[columns_.size() + k]->gather(*right->columns_[k], rightRows);
    }
  }
  return std::make_unique<Table>(resultTableName(), std::move(columns));
}

std::unique_ptr<Table> Table::make_project(std::string list) const {
  std::vector<const Column*> chosen;
  const ColumnIndex index(*this);
  for (StringTokenizer tokens(list); tokens.hasMoreTokens();) {
    const Column* column = index.find(tokens.nextView());
    if (column == nullptr) throw AdbException("Hibas projektalas: " + list);
    chosen.push_back(column);
  }
  RecordOrder order(chosen);
  const std::vector<uint32_t> rows = order.sortedDistinctRows(recordCount());
  std::vector<std::unique_ptr<Column>> columns;
  for (const Column* column : chosen) {
    columns.push_back(column->cloneEmpty());
    columns.back()->gather(*column, rows);
  }
  return std::make_unique<Table>(resultTableName(), std::move(columns));
}

Table* Table::make_rename(std::string list) {
  StringTokenizer tokens(list);
  if (!tokens.hasMoreTokens()) {
    throw AdbException("Az atnevez\xE9s nem lehetseges erre: " + list);
  }
  name_ = tokens.nextToken();
  for (const auto& column : columns_) {
    if (!tokens.hasMoreTokens()) {
      throw AdbException("Nincs annyi nev az atnevezeshez, mint ahany oszlop van.");
    }
    column->setName(tokens.nextToken());
  }
  if (tokens.hasMoreTokens()) {
    throw AdbException("Tobb nev az atnevezeshez, mint a tabla oszlopainak szama!");
  }
  return this;
}

std::unique_ptr<Table> Table::make_select(std::string condition) const {
  return make_select(ExprSource(std::move(condition)));
}

// The result keeps this table's name and columns and the chosen records in their order.
std::unique_ptr<Table> Table::make_select(const ExprSource& condition) const {
  Condition test(*this, condition);
  std::vector<uint32_t> rows;
  const size_t count = static_cast<size_t>(recordCount());
  for (size_t row = 0; row < count; ++row) {
    if (test.holds(row)) rows.push_back(static_cast<uint32_t>(row));
  }
  auto result = emptyLike(name_);
  result->gatherRows(*this, rows);
  return result;
}

bool Table::l_eval(int i, std::string condition) const {
  return Condition(*this, ExprSource(std::move(condition))).holds(static_cast<size_t>(i));
}

bool Table::lt(int i, std::string a, std::string b) const {
  return Condition::lessThan(*this, static_cast<size_t>(i), a, b);
}
