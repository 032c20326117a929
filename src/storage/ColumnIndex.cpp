#include "storage/ColumnIndex.h"

namespace relalg {

ColumnIndex::ColumnIndex(const Table& table) : table_(table) {
  constexpr size_t kNarrow = 16;
  if (table.columns().size() <= kNarrow) return;
  for (const auto& column : table.columns())
    firstByName_.try_emplace(column->getName(), column.get());
}

const Column* ColumnIndex::getColumnByName(std::string_view name) const {
  if (firstByName_.empty()) return table_.getColumnByName(name);
  auto found = firstByName_.find(name);
  return found == firstByName_.end() ? nullptr : found->second;
}

}  // namespace relalg
