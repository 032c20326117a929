// The slips of a selection condition that its operand's columns show: constants meant as columns
// (another case, apostrophes), columns held twice, and constants that an int column reads as
// another number. Those that only the values show are in ConstantChecks.
#ifndef RELALG_DIAGNOSTICS_CONDITIONCHECKS_H
#define RELALG_DIAGNOSTICS_CONDITIONCHECKS_H

#include <string>
#include <string_view>
#include <vector>

#include "language/SyntaxTree.h"

namespace relalg {

// A column of a table as the trace shows it.
struct ShownColumn {
  std::string name;
  std::string type;  // "int" or "char(W)"
};

// A slip at bytes of the expression line.
struct ConditionSlip {
  bool warning;  // else a note
  size_t begin;
  size_t length;
  std::string message;
};

// The column that a comparand naming none was surely meant to name: the same name in another
// case, in apostrophes, or one or two letters from it (the closest; the first of equals); or null.
const ShownColumn* meantColumn(std::string_view text, const std::vector<ShownColumn>& columns);

// The slips of the condition of a select node whose operand has the given columns.
std::vector<ConditionSlip> checkCondition(const SyntaxTree& tree, int select,
                                          const std::vector<ShownColumn>& columns);

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_CONDITIONCHECKS_H
