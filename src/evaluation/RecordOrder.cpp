#include "evaluation/RecordOrder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <numeric>

#include "base/Threads.h"
#include "evaluation/ColumnRanks.h"

namespace relalg {

namespace {

constexpr size_t kRowsBetweenChecks = size_t{1} << 16;

// Whether two rows agree in every column's rank.
bool sameRanks(const std::vector<Ranks>& ranks, uint32_t a, uint32_t b) {
  for (const Ranks& column : ranks) {
    if (column[a] != column[b]) return false;
  }
  return true;
}

// Reorders rows stably by their ranks: a counting sort on each 16-bit half that is not zero
// for every row, or a merge sort where there are too few rows to fill the counters.
void stableSortByRank(std::vector<uint32_t>& rows, const Ranks& ranks) {
  constexpr size_t kCounters = size_t{1} << 16;
  if (rows.size() < kCounters / 16) {
    std::stable_sort(rows.begin(), rows.end(),
                     [&ranks](uint32_t a, uint32_t b) { return ranks[a] < ranks[b]; });
    return;
  }
  uint32_t all = 0;
  for (uint32_t rank : ranks) all |= rank;
  std::vector<uint32_t> sorted(rows.size());
  std::vector<size_t> starts(kCounters);
  for (int shift : {0, 16}) {
    if (shift == 16 && (all >> 16) == 0) break;
    std::fill(starts.begin(), starts.end(), 0);
    for (uint32_t row : rows) ++starts[ranks[row] >> shift & 0xFFFF];
    std::exclusive_scan(starts.begin(), starts.end(), starts.begin(), size_t{0});
    for (uint32_t row : rows) sorted[starts[ranks[row] >> shift & 0xFFFF]++] = row;
    rows.swap(sorted);
  }
}

}  // namespace

std::vector<uint32_t> allRows(size_t count) {
  std::vector<uint32_t> rows(count);
  std::iota(rows.begin(), rows.end(), 0u);
  return rows;
}

RecordOrder::RecordOrder(const std::vector<const Column*>& left,
                         const std::vector<const Column*>& right) {
  keys_.reserve(left.size());
  for (size_t k = 0; k < left.size(); ++k) {
    if (left[k]->getType() == Column::INTEGER) {
      keys_.push_back({&asInts(*left[k]), &asInts(*right[k]), nullptr, nullptr});
    } else {
      keys_.push_back({nullptr, nullptr, &asStrings(*left[k]), &asStrings(*right[k])});
    }
  }
}

int RecordOrder::compareKey(const Key& key, size_t i, size_t j) {
  if (key.leftInts != nullptr) {
    int a = key.leftInts->getVal(i);
    int b = key.rightInts->getVal(j);
    return (a > b) - (a < b);
  }
  int order = key.leftStrings->getVal(i).compare(key.rightStrings->getVal(j));
  return (order > 0) - (order < 0);
}

int RecordOrder::compareRecord(size_t i, size_t j) const {
  for (const Key& key : keys_) {
    int order = compareKey(key, i, j);
    if (order != 0) return order;
  }
  return 0;
}

// Sorts by the last column first, then stably by each column before it, so that the first
// column decides and records equal in every column keep their index order. Where the first
// column is a string column of many distinct values, its values are sorted instead, and only
// the rows of each group of equal values are sorted by the other columns.
RecordOrder::Sorted RecordOrder::sortWithRuns(size_t count, bool markRuns) const {
  if (count < 2) {  // sorted as it stands: no rank of any column is needed
    return {allRows(count), std::vector<uint8_t>(markRuns ? count : 0, 1)};
  }
  if (!keys_.empty()) {
    if (std::optional<ValueOrder> first = manyValueOrder(keyColumn(keys_.front()), count)) {
      return sortGroups(std::move(*first));
    }
  }
  std::vector<Ranks> ranks;
  Sorted sorted{allRows(count), {}};
  for (auto key = keys_.rbegin(); key != keys_.rend(); ++key) {
    throwIfCancelled();
    ranks.push_back(columnRanks(keyColumn(*key), count));
    stableSortByRank(sorted.rows, ranks.back());
  }
  if (!markRuns) return sorted;
  sorted.startsRun.resize(count);
  for (size_t k = 0; k < count; ++k) {
    sorted.startsRun[k] = k == 0 || !sameRanks(ranks, sorted.rows[k - 1], sorted.rows[k]);
  }
  return sorted;
}

// The rows of each group of equal first values are sorted by the ranks of the other columns,
// then by row, and split into runs where those ranks differ.
RecordOrder::Sorted RecordOrder::sortGroups(ValueOrder first) const {
  const size_t count = first.rows.size();
  std::vector<Ranks> rest;
  for (size_t k = 1; k < keys_.size(); ++k) rest.push_back(columnRanks(keyColumn(keys_[k]), count));
  Sorted sorted{std::move(first.rows), std::move(first.startsGroup)};
  auto before = [&rest](uint32_t a, uint32_t b) {
    for (const Ranks& column : rest) {
      if (column[a] != column[b]) return column[a] < column[b];
    }
    return a < b;
  };
  for (size_t begin = 0, checked = 0; begin < count;) {
    size_t end = begin + 1;
    while (end < count && !sorted.startsRun[end]) ++end;
    if (end - begin > 1) {
      std::sort(sorted.rows.begin() + static_cast<ptrdiff_t>(begin),
                sorted.rows.begin() + static_cast<ptrdiff_t>(end), before);
      for (size_t k = begin + 1; k < end; ++k) {
        sorted.startsRun[k] = !sameRanks(rest, sorted.rows[k - 1], sorted.rows[k]);
      }
    }
    if (end - checked >= kRowsBetweenChecks) {
      throwIfCancelled();
      checked = end;
    }
    begin = end;
  }
  return sorted;
}

std::vector<uint32_t> RecordOrder::sortedRows(size_t count) const {
  return sortWithRuns(count, false).rows;
}

RecordOrder::SortedRuns RecordOrder::sortedRuns(size_t count) const {
  Sorted sorted = sortWithRuns(count, true);
  SortedRuns runs{std::move(sorted.rows), {}};
  runs.starts.reserve(count);  // room for the most; pages never written are never mapped
  for (size_t k = 0; k < count; ++k) {
    if (sorted.startsRun[k]) runs.starts.push_back(k);
  }
  return runs;
}

// Where every column has few distinct values and their combinations are fewer than the rows,
// each record's combination is a number (the first column most significant) and a table
// indexed by it keeps the first row of each: no row is sorted and nothing is kept per row.
std::optional<std::vector<uint32_t>> RecordOrder::denseDistinctRows(size_t count) const {
  constexpr uint64_t kFewCombinations = 4096;
  const uint64_t most = std::max<uint64_t>(count, kFewCombinations);
  std::vector<DenseRanks> dense;
  uint64_t combinations = 1;
  for (const Key& key : keys_) {
    std::optional<DenseRanks> ranks = DenseRanks::of(
        keyColumn(key), count, static_cast<uint32_t>(std::min<uint64_t>(most, UINT32_MAX)));
    if (!ranks) return std::nullopt;
    combinations *= std::max<uint32_t>(ranks->range(), 1);
    if (combinations > most) return std::nullopt;
    dense.push_back(*ranks);
  }
  constexpr uint32_t kUnseen = UINT32_MAX;
  std::vector<uint32_t> firstRow(static_cast<size_t>(combinations), kUnseen);
  for (size_t row = 0; row < count; ++row) {
    if (row % kRowsBetweenChecks == 0) throwIfCancelled();
    uint64_t combination = 0;
    for (const DenseRanks& column : dense) {
      combination = combination * column.range() + column.rankOf(row);
    }
    if (firstRow[combination] == kUnseen) firstRow[combination] = static_cast<uint32_t>(row);
  }
  std::vector<uint32_t> rows;
  for (uint32_t row : firstRow) {
    if (row != kUnseen) rows.push_back(row);
  }
  return rows;
}

// The first row of each run is kept as the runs are found, without a list of where they start.
std::vector<uint32_t> RecordOrder::sortedDistinctRows(size_t count) const {
  if (std::optional<std::vector<uint32_t>> rows = denseDistinctRows(count)) return *rows;
  Sorted sorted = sortWithRuns(count, true);
  size_t kept = 0;
  for (size_t k = 0; k < count; ++k) {
    if (sorted.startsRun[k]) sorted.rows[kept++] = sorted.rows[k];
  }
  sorted.rows.resize(kept);
  return std::move(sorted.rows);
}

std::vector<uint32_t> RecordOrder::distinctRows(const std::vector<uint32_t>& sorted) const {
  std::vector<uint32_t> kept;
  kept.reserve(sorted.size());
  for (size_t k = 0; k < sorted.size(); ++k) {
    if (k == 0 || compareRecord(sorted[k - 1], sorted[k]) != 0) kept.push_back(sorted[k]);
  }
  return kept;
}

}  // namespace relalg
