// The slips of an expression line that its parse alone shows: constructs that the evaluator
// accepts but that almost surely mean something else (a missing closing bracket, operands that
// nothing reads, brackets that do not pair up, tabs, keywords in the wrong case). Where a check
// must read the line another way than the evaluator does to say what the writer meant (brackets
// and commas inside apostrophes taken as part of a constant), that reading is a guess, and marked
// as one where it is made; the evaluation itself reads only the tree.
#ifndef RELALG_DIAGNOSTICS_EXPRESSIONCHECKS_H
#define RELALG_DIAGNOSTICS_EXPRESSIONCHECKS_H

#include <cstddef>
#include <string>
#include <vector>

#include "language/SyntaxTree.h"

namespace relalg {

// A slip at bytes of the expression line.
struct Finding {
  size_t begin;  // offset in the line of the first byte concerned
  size_t length;
  std::string message;
};

// The slips of the tree's line, in the order of its nodes, then of the line's bytes.
std::vector<Finding> checkExpression(const SyntaxTree& tree);

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_EXPRESSIONCHECKS_H
