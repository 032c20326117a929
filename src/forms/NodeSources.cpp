#include "forms/NodeSources.h"

#include <algorithm>
#include <cassert>

namespace relalg {

NodeSources::NodeSources(std::vector<SourceStretch> stretches, std::vector<SourceGroup> groups)
    : stretches_(std::move(stretches)), groups_(std::move(groups)) {
  std::vector<int> open;
  enclosing_.reserve(stretches_.size());
  for (size_t k = 0; k < stretches_.size(); ++k) {
    const SourceStretch& stretch = stretches_[k];
    assert(k == 0 || stretches_[k - 1].begin <= stretch.begin);
    while (!open.empty() && stretches_[static_cast<size_t>(open.back())].end < stretch.end) {
      open.pop_back();
    }
    enclosing_.push_back(open.empty() ? -1 : open.back());
    open.push_back(static_cast<int>(k));
  }
}

// In pre-order, every stretch that holds a byte encloses the last stretch that starts at or
// before it: the chain of enclosing stretches from that one reaches them all.
const SourceStretch* NodeSources::of(size_t begin, size_t end) const {
  const auto after =
      std::upper_bound(stretches_.begin(), stretches_.end(), begin,
                       [](size_t at, const SourceStretch& stretch) { return at < stretch.begin; });
  int k = static_cast<int>(after - stretches_.begin()) - 1;
  while (k >= 0) {
    const SourceStretch& stretch = stretches_[static_cast<size_t>(k)];
    if (stretch.end >= std::max(end, begin + 1)) return &stretch;
    k = enclosing_[static_cast<size_t>(k)];
  }
  return nullptr;
}

}  // namespace relalg
