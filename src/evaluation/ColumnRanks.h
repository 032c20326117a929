// Ranks of the values of a column: numbers such that equal values share a rank and ranks order
// records the way their values do (integers by signed value, strings byte by byte as unsigned
// bytes, a proper prefix first). Sorting by ranks needs no comparison of values afterwards.
#ifndef RELALG_EVALUATION_COLUMNRANKS_H
#define RELALG_EVALUATION_COLUMNRANKS_H

#include <cstdint>
#include <vector>

#include "storage/Column.h"

namespace relalg {

using Ranks = std::vector<uint32_t>;

// The ranks of the first count values of column.
Ranks columnRanks(const Column& column, size_t count);

}  // namespace relalg

#endif  // RELALG_EVALUATION_COLUMNRANKS_H
