// RecordOrder compares records column by column, the first column most significant: integers by
// signed value, strings byte by byte as unsigned bytes, a proper prefix first. The left and right
// records may come from two tables whose columns agree in kind position by position.
#ifndef RELALG_EVALUATION_RECORDORDER_H
#define RELALG_EVALUATION_RECORDORDER_H

#include <cstdint>
#include <optional>
#include <vector>

#include "evaluation/ColumnRanks.h"
#include "storage/Column.h"

namespace relalg {

class RecordOrder {
 public:
  RecordOrder(const std::vector<const Column*>& left, const std::vector<const Column*>& right);
  // Orders the records of one list of columns among themselves.
  explicit RecordOrder(const std::vector<const Column*>& columns) : RecordOrder(columns, columns) {}

  // Negative, zero or positive as left record i sorts before, with or after right record j.
  int compareRecord(size_t i, size_t j) const;

  // The indexes 0 .. count-1 in ascending record order; equal records keep their index order.
  std::vector<uint32_t> sortedRows(size_t count) const;
  // The indexes in ascending record order, and the position in rows where each run of equal
  // records starts (the first run starts at 0).
  struct SortedRuns {
    std::vector<uint32_t> rows;
    std::vector<size_t> starts;
  };
  SortedRuns sortedRuns(size_t count) const;
  // The sorted indexes without repeats: the first index of each run of equal records.
  std::vector<uint32_t> sortedDistinctRows(size_t count) const;
  // Of rows in any order, each row that differs from the row before it.
  std::vector<uint32_t> distinctRows(const std::vector<uint32_t>& rows) const;

 private:
  struct Key {
    const IntColumn* leftInts;
    const IntColumn* rightInts;
    const StrColumn* leftStrings;
    const StrColumn* rightStrings;
  };
  static int compareKey(const Key& key, size_t i, size_t j);
  static const Column& keyColumn(const Key& key) {
    return key.leftInts != nullptr ? static_cast<const Column&>(*key.leftInts) : *key.leftStrings;
  }
  // Rows in ascending record order, and a mark (1) where each run of equal records starts;
  // without markRuns the marks may be left out (empty).
  struct Sorted {
    std::vector<uint32_t> rows;
    std::vector<uint8_t> startsRun;
  };
  Sorted sortWithRuns(size_t count, bool markRuns) const;
  Sorted sortGroups(ValueOrder first) const;
  std::optional<std::vector<uint32_t>> denseDistinctRows(size_t count) const;

  std::vector<Key> keys_;
};

// The record indexes 0 .. count-1.
std::vector<uint32_t> allRows(size_t count);

// The columns of a table as plain handles, in order.
template <class Columns>
std::vector<const Column*> columnHandles(const Columns& columns) {
  std::vector<const Column*> handles;
  handles.reserve(columns.size());
  for (const auto& column : columns) handles.push_back(&*column);
  return handles;
}

}  // namespace relalg

#endif  // RELALG_EVALUATION_RECORDORDER_H
