#include "RecordOrder.h"

#include <algorithm>
#include <numeric>

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

std::vector<uint32_t> RecordOrder::sortedRows(size_t count) const {
  std::vector<uint32_t> rows(count);
  std::iota(rows.begin(), rows.end(), 0u);
  if (keys_.empty()) return rows;
  std::stable_sort(rows.begin(), rows.end(),
                   [this](uint32_t a, uint32_t b) { return compare(a, b) < 0; });
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
