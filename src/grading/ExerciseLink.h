// An exercise link opens the browser page with the exercise's tables under an empty expression
// line, and lets a student check an expression on the data sets of the exercise without the
// reference expression: the link holds each data set's tables, the digest of the reference's
// result on it (grading/Outcome.h) and that result itself (a result on data the link shows is no
// secret), never the reference. Besides the given data sets it carries small ones that tell the
// reference apart from its likely slips (grading/SlipDataSets.h).
//
// The link is page + "#exercise=" + the base64url form of a JSON object:
//   {"compare": "set" | "bag" | "exact", "title": the exercise's title, "task": its text or "",
//    "mode": "notation" and "allow": the allowed names joined by ", ", for an exercise set in the
//            notation (absent otherwise),
//    "datasets": [{"name": the file's name or check-N, "tables": base64 of the lines below an
//                  expression line, "digest": 16 hexadecimal digits, "expected": the result's
//                  header line and first 20 record lines, "expectedRecords": how many records}]}
// The first data set is the exercise's own, shown in the editor. In notation mode the page lowers
// the student's program against a data set's tables under the allowlist, and checks its lowering.
#ifndef RELALG_GRADING_EXERCISELINK_H
#define RELALG_GRADING_EXERCISELINK_H

#include <string>
#include <string_view>
#include <vector>

#include "grading/Grader.h"

namespace relalg {

// The link to page of the exercise with its given data sets and more, under its title and task.
std::string exerciseLink(const Exercise& exercise, const std::vector<DataSet>& more,
                         std::string_view title, std::string_view task, std::string_view page);

// The base64 form of bytes: the standard alphabet with padding, or with urlSafe the alphabet of
// addresses ('-' and '_') without it.
std::string base64(std::string_view bytes, bool urlSafe);

// What the page's Check asks for one data set: the outcome of the expression on the first line
// of input over the tables below it, as JSON {"status", "stderr", "digest": null or the digest
// of its result under mode, "result": its header line and first 20 record lines, "records": how
// many records it has}.
std::string checkJson(std::string_view input, CompareMode mode);

}  // namespace relalg

#endif  // RELALG_GRADING_EXERCISELINK_H
