#include "RecordOrder.h"

#include <algorithm>
#include <cstring>
#include <numeric>

using Ranks = RecordOrder::Ranks;

namespace {

// Ranks of the values of one column: equal values share a rank, and ranks order the rows as
// their values do.
using Ranks = std::vector<uint32_t>;

// Distances from the smallest value, which keep small ranges of values within one counting pass.
Ranks integerRanks(const IntColumn& column, size_t count) {
  const int32_t* values = column.data();
  const int64_t smallest = count == 0 ? 0 : *std::min_element(values, values + count);
  Ranks ranks(count);
  for (size_t row = 0; row < count; ++row) {
    ranks[row] = static_cast<uint32_t>(values[row] - smallest);
  }
  return ranks;
}

// The first eight bytes of a value as a number, padded with zero bytes, so that numbers that
// differ order their values the way the bytes do.
uint64_t prefixOf(std::string_view value) {
  uint64_t prefix = 0;
  for (size_t k = 0; k < 8; ++k) {
    prefix = prefix << 8 | (k < value.size() ? static_cast<unsigned char>(value[k]) : 0u);
  }
  return prefix;
}

// A fast hash of a value, eight bytes at a time.
uint64_t hashOf(std::string_view value) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  uint64_t hash = value.size() * kMultiplier;
  size_t pos = 0;
  for (; pos + 8 <= value.size(); pos += 8) {
    uint64_t word;
    std::memcpy(&word, value.data() + pos, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, value.data() + pos, value.size() - pos);
  hash = (hash ^ tail) * kMultiplier;
  return hash ^ (hash >> 32);
}

// Numbers each distinct value in the order of first appearance, through an open-addressing
// hash table, so that columns of few distinct values never compare their values at all.
std::vector<uint32_t> distinctIds(const StrColumn& column, size_t count,
                                  std::vector<uint32_t>& firstRows) {
  size_t capacity = 16;
  while (capacity < count * 2) capacity *= 2;
  std::vector<uint32_t> slots(capacity, 0);  // 1 + id, or 0 for a free slot
  std::vector<uint32_t> ids(count);
  for (size_t row = 0; row < count; ++row) {
    const std::string_view value = column.view(row);
    size_t slot = hashOf(value) & (capacity - 1);
    while (slots[slot] != 0 && column.view(firstRows[slots[slot] - 1]) != value) {
      slot = (slot + 1) & (capacity - 1);
    }
    if (slots[slot] == 0) {
      firstRows.push_back(static_cast<uint32_t>(row));
      slots[slot] = static_cast<uint32_t>(firstRows.size());
    }
    ids[row] = slots[slot] - 1;
  }
  return ids;
}

Ranks stringRanks(const StrColumn& column, size_t count) {
  std::vector<uint32_t> firstRows;
  std::vector<uint32_t> ids = distinctIds(column, count, firstRows);
  struct Entry {
    uint64_t prefix;
    uint32_t size;  // saturated at 9: only whether the value goes beyond its prefix matters
    uint32_t id;
  };
  std::vector<Entry> entries(firstRows.size());
  for (uint32_t id = 0; id < firstRows.size(); ++id) {
    std::string_view value = column.view(firstRows[id]);
    entries[id] = {prefixOf(value), static_cast<uint32_t>(std::min<size_t>(value.size(), 9)), id};
  }
  // Values of equal prefixes that fit in it differ only in how many zero bytes end them.
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (a.size <= 8 || b.size <= 8) return a.size < b.size;
    return column.view(firstRows[a.id]) < column.view(firstRows[b.id]);
  });
  std::vector<uint32_t> rankOfId(firstRows.size());
  for (uint32_t rank = 0; rank < entries.size(); ++rank) rankOfId[entries[rank].id] = rank;
  for (uint32_t& id : ids) id = rankOfId[id];
  return ids;
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

RecordOrder::RecordOrder(const std::vector<const Column*>& left,
                         const std::vector<const Column*>& right) {
  keys_.reserve(left.size());
  for (size_t k = 0; k < left.size(); ++k) {
    if (left[k]->getType() == Column::INTEGER) {
      keys_.push_back({static_cast<const IntColumn*>(left[k]),
                       static_cast<const IntColumn*>(right[k]), nullptr, nullptr});
    } else {
      keys_.push_back({nullptr, nullptr, static_cast<const StrColumn*>(left[k]),
                       static_cast<const StrColumn*>(right[k])});
    }
  }
}

int RecordOrder::compareKey(const Key& key, size_t i, size_t j) {
  if (key.leftInts != nullptr) {
    int a = key.leftInts->value(i);
    int b = key.rightInts->value(j);
    return (a > b) - (a < b);
  }
  int order = key.leftStrings->view(i).compare(key.rightStrings->view(j));
  return (order > 0) - (order < 0);
}

int RecordOrder::compare(size_t i, size_t j) const {
  for (const Key& key : keys_) {
    int order = compareKey(key, i, j);
    if (order != 0) return order;
  }
  return 0;
}

// Sorts by the last column first, then stably by each column before it, so that the first
// column decides and records equal in every column keep their index order.
std::vector<uint32_t> RecordOrder::sortRows(size_t count, std::vector<Ranks>& ranks) const {
  std::vector<uint32_t> rows(count);
  std::iota(rows.begin(), rows.end(), 0u);
  for (auto key = keys_.rbegin(); key != keys_.rend(); ++key) {
    ranks.push_back(key->leftInts != nullptr ? integerRanks(*key->leftInts, count)
                                             : stringRanks(*key->leftStrings, count));
    stableSortByRank(rows, ranks.back());
  }
  return rows;
}

std::vector<uint32_t> RecordOrder::sortedRows(size_t count) const {
  std::vector<Ranks> ranks;
  return sortRows(count, ranks);
}

std::vector<uint32_t> RecordOrder::sortedDistinctRows(size_t count) const {
  std::vector<Ranks> ranks;
  std::vector<uint32_t> rows = sortRows(count, ranks);
  auto equal = [&ranks](uint32_t a, uint32_t b) {
    for (const Ranks& column : ranks) {
      if (column[a] != column[b]) return false;
    }
    return true;
  };
  size_t kept = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    if (kept == 0 || !equal(rows[kept - 1], rows[k])) rows[kept++] = rows[k];
  }
  rows.resize(kept);
  return rows;
}

std::vector<uint32_t> RecordOrder::distinctRows(const std::vector<uint32_t>& sorted) const {
  std::vector<uint32_t> kept;
  kept.reserve(sorted.size());
  for (size_t k = 0; k < sorted.size(); ++k) {
    if (k == 0 || compare(sorted[k - 1], sorted[k]) != 0) kept.push_back(sorted[k]);
  }
  return kept;
}
