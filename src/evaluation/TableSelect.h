// Selection: the records of a table for which a condition holds, in their order, and the two
// evaluators of conditions over one record, l_eval over a whole condition and lt over one
// comparison. A comparand names a column when the table has a column of exactly that name;
// otherwise it is a constant.
#ifndef RELALG_EVALUATION_TABLESELECT_H
#define RELALG_EVALUATION_TABLESELECT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "language/SyntaxTree.h"
#include "storage/Table.h"

namespace relalg {

// A new table of table's name and columns holding the records for which the condition holds.
std::unique_ptr<Table> make_select(const Table& table, std::string condition);
// The same for the condition at node condition of tree.
std::unique_ptr<Table> make_select(const Table& table, const SyntaxTree& tree, int condition);
// The indexes of the records for which the condition holds, ascending: what make_select keeps,
// for a caller that may keep them in place instead.
std::vector<uint32_t> selectedRows(const Table& table, const SyntaxTree& tree, int condition);

// Whether the condition holds for record i.
bool l_eval(const Table& table, int i, std::string condition);
// Whether operand a is less than operand b for record i; each is a column name or a constant.
bool lt(const Table& table, int i, std::string a, std::string b);

}  // namespace relalg

#endif  // RELALG_EVALUATION_TABLESELECT_H
