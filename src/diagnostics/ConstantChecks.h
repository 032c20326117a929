// The slips of a selection condition that only the values of its operand show. An EQ or NEQ of a
// string column with a constant that no value equals, where a form the writer most likely meant
// equals some, gets a warning that names that form and how many records hold it:
//  - the constant with apostrophes where the values have none, or the reverse;
//  - double or typographic quotes around it;
//  - blanks dropped from it, because they stood outside apostrophes;
//  - UTF-8 letters over values in Windows-1250, or the reverse;
//  - a no-break space (or another blank that looks like one) where the value has a blank, or the
//    reverse;
//  - a constant one or two letters from the name of a column, which it surely meant;
// and a value in another case: a warning where the select's result is empty, else a note. Advice
// is given only where the data confirms it: no form is suggested that matches nothing.
#ifndef RELALG_DIAGNOSTICS_CONSTANTCHECKS_H
#define RELALG_DIAGNOSTICS_CONSTANTCHECKS_H

#include <vector>

#include "diagnostics/ConditionChecks.h"
#include "language/SyntaxTree.h"
#include "storage/Table.h"

namespace relalg {

// The slips of the condition of a select node over its operand table; resultIsEmpty tells
// whether the select kept no record.
std::vector<ConditionSlip> checkConstants(const SyntaxTree& tree, int select, const Table& operand,
                                          bool resultIsEmpty);

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_CONSTANTCHECKS_H
