#include "evaluation/TableOperators.h"

#include <climits>
#include <cstdint>
#include <span>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "evaluation/RecordOrder.h"
#include "evaluation/TableOrdering.h"
#include "language/StringTokenizer.h"
#include "storage/ColumnIndex.h"

namespace relalg {

namespace {

// Long merges look every this many steps whether their result is still wanted.
constexpr uint32_t kStepsBetweenChecks = uint32_t{1} << 16;

}  // namespace

// Walks both tables once, in step. Records that the walk meets as an equal pair are taken once,
// from the left; every other record of either table is taken. Nothing is sorted.
std::unique_ptr<Table> make_union(const Table& left, const Table& right) {
  const uint32_t p = static_cast<uint32_t>(left.recordCount());
  const uint32_t q = static_cast<uint32_t>(right.recordCount());
  if (q > 0 && !left.sameSchema(right)) {
    if (p > 0) checkComparable(left, right);
    throw AdbException(
        message(MessageId::kCopySchemaMismatch, {right.getName(), resultTableName()}));
  }
  auto result = left.emptyLike(resultTableName());
  if (q == 0) {
    result->gatherRows(left, allRows(p));
    return result;
  }
  // Room for every record of both, at most what the result takes, instead of growing the
  // columns run by run.
  const auto& leftColumns = left.columns();
  const auto& rightColumns = right.columns();
  for (size_t k = 0; k < leftColumns.size(); ++k) {
    result->columns()[k]->reserve(size_t{p} + q,
                                  leftColumns[k]->valueBytes() + rightColumns[k]->valueBytes());
  }
  RecordOrder order(columnHandles(leftColumns), columnHandles(rightColumns));
  std::vector<uint32_t> run;
  bool runFromRight = false;
  auto take = [&](bool fromRight, uint32_t row) {
    if (fromRight != runFromRight && !run.empty()) {
      result->gatherRows(runFromRight ? right : left, run);
      run.clear();
    }
    runFromRight = fromRight;
    run.push_back(row);
  };
  uint32_t j = 0, i = 0;
  for (uint32_t steps = 0; j < p || i < q; ++steps) {
    if (steps % kStepsBetweenChecks == 0) throwIfCancelled();
    int s = i == q ? -1 : j == p ? 1 : order.compareRecord(j, i);
    if (s > 0) {
      take(true, i++);
    } else {
      take(false, j++);
      if (s == 0) ++i;
    }
  }
  result->gatherRows(runFromRight ? right : left, run);
  return result;
}

// Walks both tables once, in step: a right record cancels the left record that the walk meets
// as its equal. The result keeps the left table's order.
std::unique_ptr<Table> make_minus(const Table& left, const Table& right) {
  const uint32_t p = static_cast<uint32_t>(left.recordCount());
  const uint32_t q = static_cast<uint32_t>(right.recordCount());
  auto result = left.emptyLike(resultTableName());
  if (p == 0 || q == 0) {
    result->gatherRows(left, allRows(p));
    return result;
  }
  checkComparable(left, right);
  RecordOrder order(columnHandles(left.columns()), columnHandles(right.columns()));
  std::vector<uint32_t> kept;
  kept.reserve(p);
  uint32_t j = 0, i = 0;
  for (uint32_t steps = 0; j < p; ++steps) {
    if (steps % kStepsBetweenChecks == 0) throwIfCancelled();
    int s = i == q ? -1 : order.compareRecord(j, i);
    if (s > 0) {
      ++i;
    } else {
      if (s < 0) kept.push_back(j);
      if (s == 0) ++i;
      ++j;
    }
  }
  result->gatherRows(left, kept);
  return result;
}

namespace {

// Whether rows is 0, 1, 2, ...: the order a table already has.
bool inTableOrder(std::span<const uint32_t> rows) {
  for (size_t k = 0; k < rows.size(); ++k) {
    if (rows[k] != k) return false;
  }
  return true;
}

// An empty copy of column with room for copies of each of its values.
std::unique_ptr<Column> roomFor(const Column& column, size_t records, size_t copies) {
  std::unique_ptr<Column> room = column.cloneEmpty();
  const uint64_t bytes = uint64_t{column.valueBytes()} * copies;
  if (bytes <= SIZE_MAX) room->reserve(records, static_cast<size_t>(bytes));
  return room;
}

// Appends to columns the columns of table, each holding the table's one record count times.
void appendRepeated(std::vector<std::unique_ptr<Column>>& columns, const Table& table,
                    size_t count) {
  const std::vector<uint32_t> firstRow(count, 0);
  for (const auto& column : table.columns()) {
    columns.push_back(roomFor(*column, count, count));
    columns.back()->gather(*column, firstRow);
  }
}

void appendTaken(std::vector<std::unique_ptr<Column>>& columns, Table& table) {
  for (auto& column : table.takeColumns()) columns.push_back(std::move(column));
}

// The sorted product is the pairing of the sorted operands: for each run of equal left records,
// every right record in order, each paired with every left record of the run. The result is
// gathered a run at a time. Where one operand has a single record, the other's records appear
// once each in their sorted order, so that a spent operand already in that order gives its
// columns as they are: a product nested to any depth over one-record tables then copies no
// column of the nesting again.
// spentLeft and spentRight, where not null, are left and right themselves.
std::unique_ptr<Table> productOf(const Table& left, const Table& right, Table* spentLeft,
                                 Table* spentRight) {
  const size_t p = static_cast<size_t>(left.recordCount());
  const size_t q = static_cast<size_t>(right.recordCount());
  // In 64 bits: where size_t has 32 (WebAssembly), p * q could wrap below the limit.
  if (static_cast<uint64_t>(p) * q > INT_MAX) {
    throw AdbException(message(MessageId::kProductTooLarge,
                               {itos(static_cast<int>(p)), itos(static_cast<int>(q))}));
  }
  const auto& leftColumns = left.columns();
  const auto& rightColumns = right.columns();
  const RecordOrder::SortedRuns leftRuns = RecordOrder(columnHandles(leftColumns)).sortedRuns(p);
  const std::vector<uint32_t> rightSorted = RecordOrder(columnHandles(rightColumns)).sortedRows(q);
  std::vector<std::unique_ptr<Column>> columns;
  columns.reserve(leftColumns.size() + rightColumns.size());
  if (p == 1 && spentRight != nullptr && inTableOrder(rightSorted)) {
    appendRepeated(columns, left, q);
    appendTaken(columns, *spentRight);
    return std::make_unique<Table>(resultTableName(), std::move(columns));
  }
  if (q == 1 && spentLeft != nullptr && inTableOrder(leftRuns.rows)) {
    appendTaken(columns, *spentLeft);
    appendRepeated(columns, right, p);
    return std::make_unique<Table>(resultTableName(), std::move(columns));
  }
  // Every left value appears q times in the result and every right value p times: room for
  // all of them is made at once instead of growing the columns run by run.
  for (const auto& column : leftColumns) columns.push_back(roomFor(*column, p * q, q));
  for (const auto& column : rightColumns) columns.push_back(roomFor(*column, p * q, p));
  std::vector<uint32_t> leftRows, rightRows;
  for (size_t run = 0; run < leftRuns.starts.size(); ++run) {
    throwIfCancelled();
    const auto runBegin = leftRuns.rows.begin() + static_cast<ptrdiff_t>(leftRuns.starts[run]);
    const auto runEnd =
        run + 1 < leftRuns.starts.size()
            ? leftRuns.rows.begin() + static_cast<ptrdiff_t>(leftRuns.starts[run + 1])
            : leftRuns.rows.end();
    leftRows.clear();
    rightRows.clear();
    for (uint32_t rightRow : rightSorted) {
      leftRows.insert(leftRows.end(), runBegin, runEnd);
      rightRows.insert(rightRows.end(), static_cast<size_t>(runEnd - runBegin), rightRow);
    }
    for (size_t k = 0; k < leftColumns.size(); ++k) columns[k]->gather(*leftColumns[k], leftRows);
    for (size_t k = 0; k < rightColumns.size(); ++k) {
      columns[leftColumns.size() + k]->gather(*rightColumns[k], rightRows);
    }
  }
  return std::make_unique<Table>(resultTableName(), std::move(columns));
}

}  // namespace

std::unique_ptr<Table> make_product(const Table& left, const Table& right) {
  return productOf(left, right, nullptr, nullptr);
}

std::unique_ptr<Table> make_product(Table& left, Table& right, bool leftSpent, bool rightSpent) {
  return productOf(left, right, leftSpent ? &left : nullptr, rightSpent ? &right : nullptr);
}

std::unique_ptr<Table> make_project(const Table& table, std::string_view list) {
  std::vector<const Column*> chosen;
  const ColumnIndex index(table);
  for (StringTokenizer tokens(list); tokens.hasMoreTokens();) {
    const Column* column = index.getColumnByName(tokens.nextToken());
    if (column == nullptr) throw AdbException(message(MessageId::kBadProjection, {list}));
    chosen.push_back(column);
  }
  RecordOrder order(chosen);
  const std::vector<uint32_t> rows = order.sortedDistinctRows(table.recordCount());
  std::vector<std::unique_ptr<Column>> columns;
  for (const Column* column : chosen) {
    columns.push_back(column->cloneEmpty());
    columns.back()->gather(*column, rows);
  }
  return std::make_unique<Table>(resultTableName(), std::move(columns));
}

Table& make_rename(Table& table, std::string_view list) {
  StringTokenizer tokens(list);
  if (!tokens.hasMoreTokens()) {
    throw AdbException(message(MessageId::kRenameImpossible, {list}));
  }
  table.setName(std::string(tokens.nextToken()));
  for (const auto& column : table.columns()) {
    if (!tokens.hasMoreTokens()) {
      throw AdbException(message(MessageId::kTooFewNames));
    }
    column->setName(std::string(tokens.nextToken()));
  }
  if (tokens.hasMoreTokens()) {
    throw AdbException(message(MessageId::kTooManyNames));
  }
  return table;
}

}  // namespace relalg
