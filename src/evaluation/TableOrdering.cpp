#include "evaluation/TableOrdering.h"

#include <cstdint>
#include <span>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "evaluation/RecordOrder.h"

namespace relalg {

void checkComparable(const Table& left, const Table& right) {
  if (!left.sameSchema(right)) {
    throw AdbException(
        message(MessageId::kCompareSchemaMismatch, {left.getName(), right.getName()}));
  }
}

int compareRecord(const Table& table, int i, const Table& other, int j) {
  checkComparable(table, other);
  table.checkIndex(i);
  other.checkIndex(j);
  RecordOrder order(columnHandles(table.columns()), columnHandles(other.columns()));
  return order.compareRecord(static_cast<size_t>(i), static_cast<size_t>(j));
}

int copyRecord(const Table& table, int i, Table& destination) {
  if (!destination.sameSchema(table)) {
    throw AdbException(
        message(MessageId::kCopySchemaMismatch, {table.getName(), destination.getName()}));
  }
  if (table.columns().empty()) return 1;
  table.checkIndex(i);
  const uint32_t row = static_cast<uint32_t>(i);
  destination.gatherRows(table, std::span<const uint32_t>(&row, 1));
  return 1;
}

std::unique_ptr<Table> sortRecords(const Table& table) {
  auto result = table.emptyLike(resultTableName());
  result->gatherRows(table,
                     RecordOrder(columnHandles(table.columns())).sortedRows(table.recordCount()));
  return result;
}

std::unique_ptr<Table> deleteDuplicates(const Table& table) {
  auto result = table.emptyLike(table.getName());
  result->gatherRows(
      table,
      RecordOrder(columnHandles(table.columns())).distinctRows(allRows(table.recordCount())));
  return result;
}

}  // namespace relalg
