// The forms of a grader's reports: text for a person (per submission its verdict, the core line of
// a notation program, and for a wrong one the counterexample as an input file for relalgrun with
// the expected and the given result side by side) and JSON for programs (one object per
// submission, see relalgcheck(1)).
#ifndef RELALG_GRADING_GRADEREPORT_H
#define RELALG_GRADING_GRADEREPORT_H

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/JsonWriter.h"
#include "grading/Grader.h"

namespace relalg {

// The report of one submission as text, ending with an empty line, in UTF-8: the input's text
// shown as its letters (a Windows-1250 counterexample converted; its own bytes are what
// SubmissionReport::savedAs holds).
std::string reportText(const SubmissionReport& report);

// The points that a verdict scores, right, wrong and failed in this order (--points); a
// submission that is not graded scores none.
using Points = std::array<double, 3>;
// Reads "right=5,wrong=1,failed=0": verdicts in any order, each at most once, a verdict left out
// scoring 0, a number of points being digits with at most one decimal point and two decimals.
std::optional<Points> parsePoints(std::string_view text);
// Writes points, or the points of each verdict as an object {"right": 5, ...}.
void writePoints(JsonWriter& json, double points);
void writePoints(JsonWriter& json, const Points& points);

// Writes the report of one submission as a JSON object, with the points of its verdict when
// points are given.
void writeReportJson(JsonWriter& json, const SubmissionReport& report,
                     const std::optional<Points>& points = std::nullopt);

}  // namespace relalg

#endif  // RELALG_GRADING_GRADEREPORT_H
