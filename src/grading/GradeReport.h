// The forms of a grader's reports: text for a person (per submission its verdict, the core line of
// a notation program, and for a wrong one the counterexample as an input file for relalgrun with
// the expected and the given result side by side) and JSON for programs (one object per
// submission, see relalgcheck(1)).
#ifndef RELALG_GRADING_GRADEREPORT_H
#define RELALG_GRADING_GRADEREPORT_H

#include <string>

#include "base/JsonWriter.h"
#include "grading/Grader.h"

namespace relalg {

// The report of one submission as text, ending with an empty line, in UTF-8: the input's text
// shown as its letters (a Windows-1250 counterexample converted; its own bytes are what
// SubmissionReport::savedAs holds).
std::string reportText(const SubmissionReport& report);

// Writes the report of one submission as a JSON object.
void writeReportJson(JsonWriter& json, const SubmissionReport& report);

}  // namespace relalg

#endif  // RELALG_GRADING_GRADEREPORT_H
