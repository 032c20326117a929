// Record order and repeats: the members of Table on which union, minus, product and project are
// built.
#include "base/AdbException.h"
#include "base/Messages.h"
#include "evaluation/RecordOrder.h"
#include "storage/Table.h"

namespace relalg {

void Table::checkComparable(const Table& right) const {
  if (!sameSchema(right)) {
    throw AdbException(message(MessageId::kCompareSchemaMismatch, {name_, right.name_}));
  }
}

int Table::compareRecord(int i, const Table* other, int j) const {
  checkComparable(*other);
  checkIndex(i);
  other->checkIndex(j);
  RecordOrder order(columnHandles(columns_), columnHandles(other->columns_));
  return order.compare(static_cast<size_t>(i), static_cast<size_t>(j));
}

int Table::copyRecord(int i, Table* destination) const {
  if (!destination->sameSchema(*this)) {
    throw AdbException(message(MessageId::kCopySchemaMismatch, {name_, destination->name_}));
  }
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

}  // namespace relalg
