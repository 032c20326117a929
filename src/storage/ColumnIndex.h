// ColumnIndex finds the columns of one table by name as Table::getColumnByName does, in constant
// time for tables of many columns. It borrows the table, whose columns must keep their names
// while the index is in use.
#ifndef RELALG_STORAGE_COLUMNINDEX_H
#define RELALG_STORAGE_COLUMNINDEX_H

#include <string_view>
#include <unordered_map>

#include "storage/Table.h"

namespace relalg {

class ColumnIndex {
 public:
  explicit ColumnIndex(const Table& table);
  // Returns the first column of exactly that name, or null.
  const Column* getColumnByName(std::string_view name) const;

 private:
  const Table& table_;
  std::unordered_map<std::string_view, const Column*> firstByName_;  // for wide tables only
};

}  // namespace relalg

#endif  // RELALG_STORAGE_COLUMNINDEX_H
