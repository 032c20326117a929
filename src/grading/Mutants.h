// The likely slips of a reference expression, as expressions: each mutant is the reference line
// with one part changed as students get it wrong. Comparisons: LT for LTE and back, GT for GTE and
// back, the opposite direction, EQ for NEQ and back, the comparison negated; AND and OR for each
// other or reduced to one operand, NOT dropped; a select without its condition; minus with its
// operands swapped, without its right operand, or as an intersection; a division done as a join
// (the records that have some partner instead of every one); a union reduced to one operand; a
// projection before its select; a rename of a stored table in place of a renamed copy; the wrong
// table projected; the answer on the shown tables hard-coded.
//
// An exercise link carries data sets that tell the reference apart from its mutants, so that the
// page's self-check calls none of these slips right.
#ifndef RELALG_GRADING_MUTANTS_H
#define RELALG_GRADING_MUTANTS_H

#include <string>
#include <vector>

#include "grading/DataSet.h"
#include "grading/Outcome.h"
#include "language/SyntaxTree.h"

namespace relalg {

struct Mutant {
  std::string line;  // the reference line with the slip made
  std::string slip;  // what changed, in words: "LTE for LT in LT(age, 30)"
};

// The mutants of the reference, each line once and none equal to the reference's, in the order of
// the places they change. With tables, the exercise's (its own data set's), also: a stored table
// of a projection swapped for another that has the projected columns.
std::vector<Mutant> mutantsOf(const SyntaxTree& reference,
                              const std::vector<TableData>& tables = {});

// The answer hard-coded, as students write it to fit the tables they are shown: for each stored
// table of own that has the columns of answer (the reference's result on own) and each of its
// columns, the records of that table whose value there is one of those of the records that make
// up the answer (at most 10 values), projected on the answer's columns.
std::vector<Mutant> hardCodedAnswers(const DataSet& own, const Outcome& answer);

}  // namespace relalg

#endif  // RELALG_GRADING_MUTANTS_H
