// The data sets that an exercise link carries besides the given ones: small data sets that tell
// the reference apart from its likely slips (grading/Mutants.h), so that a self-check on the link's
// data sets calls none of them right. For each slip that no data set chosen so far tells apart, a
// search of generated data sets (meeting the exercise's requirements) looks for one that does, and
// shrinks it as a counterexample is shrunk; a slip that no data set tried tells apart is counted as
// one that agrees with the reference.
#ifndef RELALG_GRADING_SLIPDATASETS_H
#define RELALG_GRADING_SLIPDATASETS_H

#include <cstddef>
#include <vector>

#include "grading/Counterexamples.h"
#include "grading/Grader.h"
#include "grading/Mutants.h"

namespace relalg {

struct SlipDataSets {
  std::vector<DataSet> dataSets;  // named check-1, check-2, ...
  size_t slips = 0;               // the mutants of the reference
  size_t told = 0;                // those that a given or a chosen data set tells apart
  std::vector<Mutant> missed;     // the others, which agreed with it on every data set tried
};

// Chooses the data sets; each slip's search has settings' tries and budget.
SlipDataSets slipDataSets(const Exercise& exercise, const GradeSettings& settings);

// Whether some data set of both lists tells the two apart.
bool toldApart(const Judge& judge, const std::vector<DataSet>& given,
               const std::vector<DataSet>& more);

}  // namespace relalg

#endif  // RELALG_GRADING_SLIPDATASETS_H
