// Ranks of the values of a column: numbers such that equal values share a rank and ranks order
// records the way their values do (integers by signed value, strings byte by byte as unsigned
// bytes, a proper prefix first). Sorting by ranks needs no comparison of values afterwards.
// Where a column has few distinct values, DenseRanks gives them without a rank per record.
#ifndef RELALG_EVALUATION_COLUMNRANKS_H
#define RELALG_EVALUATION_COLUMNRANKS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "storage/Column.h"

namespace relalg {

using Ranks = std::vector<uint32_t>;

// The ranks of the first count values of column.
Ranks columnRanks(const Column& column, size_t count);

// The rows 0 .. count-1 of a column in the order of their values (equal values in any order),
// and a mark (1) where each group of equal values starts, the first row's included.
struct ValueOrder {
  std::vector<uint32_t> rows;
  std::vector<uint8_t> startsGroup;
};
// Nothing for a column that columnRanks ranks faster than it sorts: an integer column, or a
// string column of few distinct values.
std::optional<ValueOrder> manyValueOrder(const Column& column, size_t count);

// The ranks of a column with few distinct values as a function of each value, with no rank
// stored per record: a coded string column (a rank per code), or an integer column whose first
// count values span a narrow range (the distance from the smallest). Ranks are 0 .. range()-1.
class DenseRanks {
 public:
  // Nothing where the column's ranks would span more than mostRange.
  static std::optional<DenseRanks> of(const Column& column, size_t count, uint32_t mostRange);

  uint32_t range() const { return range_; }
  uint32_t rankOf(size_t row) const {
    return ints_ != nullptr ? static_cast<uint32_t>(int64_t{ints_->getVal(row)} - smallest_)
                            : rankOfCode_[strings_->code(row)];
  }

 private:
  const IntColumn* ints_ = nullptr;
  int64_t smallest_ = 0;
  const StrColumn* strings_ = nullptr;
  uint32_t rankOfCode_[ValueCodes::kMostValues] = {};
  uint32_t range_ = 0;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_COLUMNRANKS_H
