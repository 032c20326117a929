// The operators of the expression language over whole tables: union, minus, product, project and
// rename (selection is in TableSelect.h). Each builds a new table "result" from its operands'
// columns and leaves its operands as they were, except make_rename, which renames its operand in
// place and returns it. union and minus are merges: they walk both operands once, in step, and
// give the set union and difference of operands sorted without repeats.
#ifndef RELALG_EVALUATION_TABLEOPERATORS_H
#define RELALG_EVALUATION_TABLEOPERATORS_H

#include <memory>
#include <string_view>

#include "storage/Table.h"

namespace relalg {

std::unique_ptr<Table> make_union(const Table& left, const Table& right);
std::unique_ptr<Table> make_minus(const Table& left, const Table& right);
// Every pairing of a left record with a right record, sorted; the left columns come first.
std::unique_ptr<Table> make_product(const Table& left, const Table& right);
// The same, where an operand marked spent is one that nobody reads afterwards: where the result
// holds its values once each and in its own order, its columns move into the result, and it is
// left without columns.
std::unique_ptr<Table> make_product(Table& left, Table& right, bool leftSpent, bool rightSpent);
// The columns named in list, sorted, without repeated records.
std::unique_ptr<Table> make_project(const Table& table, std::string_view list);
// Renames table and its columns from a list of names: the table's, then one per column.
Table& make_rename(Table& table, std::string_view list);

}  // namespace relalg

#endif  // RELALG_EVALUATION_TABLEOPERATORS_H
