// Outcome is what relalgrun would report for one expression over one data set: its exit status
// and standard error, or its result table as record lines. A grader compares the outcome of a
// submission with the reference's under a compare mode, and a digest stands for a result where
// the result itself must stay hidden (an exercise link).
#ifndef RELALG_GRADING_OUTCOME_H
#define RELALG_GRADING_OUTCOME_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/JsonWriter.h"
#include "evaluation/EvalObserver.h"
#include "grading/DataSet.h"
#include "language/SyntaxTree.h"

namespace relalg {

// set: the same records, ignoring their order, repeats and the names of the result and its
// columns, with as many columns of the same kinds (int or string); bag: the same, repeats
// counted; exact: the result table's text as the output file holds it.
enum class CompareMode { kSet, kBag, kExact };

std::optional<CompareMode> compareModeNamed(std::string_view name);
std::string_view compareModeName(CompareMode mode);

struct Outcome {
  int status = 0;         // relalgrun's exit status: 0, 1 or 3
  std::string errorText;  // what relalgrun prints on standard error
  bool outOfMemory = false;
  std::string header;                // the result's name and schema, as its header line
  std::vector<bool> integer;         // per result column: whether it holds integers
  std::vector<std::string> records;  // the result's record lines, in its order

  bool succeeded() const { return status == 0; }
};

// Evaluates tree over the tables of data as relalgrun evaluates an input of the tree's line and
// data's lines, showing each step to observer when given. Cancelled passes through, when the
// calling thread's work is cancelled.
Outcome evaluateOn(const SyntaxTree& tree, const DataSet& data, EvalObserver* observer = nullptr);

// The outcome of an evaluation that failed with the exception being handled, as relalgrun
// reports it; call it in a catch block.
Outcome failedOutcome();

// relalgrun's message of a failed outcome without its heading line, in UTF-8; the text it quotes
// stays UTF-8 where line, the expression line, is.
std::string failureMessage(const Outcome& outcome, std::string_view line);

// The English meaning of the message in relalgrun's standard error (errorText of a failed
// outcome), from the message table; empty for no failure or a message the table lacks.
std::string_view failureMeaning(std::string_view errorText);

// Whether got, a submission's outcome, gives the result of expected, the reference's: both
// succeeded and their results agree under mode.
bool sameResult(CompareMode mode, const Outcome& expected, const Outcome& got);

// A report shows this many records of a result at most.
inline constexpr size_t kReportedRecords = 20;

// Writes the outcome's result under key as the output file shows it, its header line and its
// first kReportedRecords record lines (none when it failed), and under key + "Records" how many
// records it has.
void writeResultJson(JsonWriter& json, const std::string& key, const Outcome& outcome);

// Sixteen hexadecimal digits that stand for a successful outcome's result under mode: results
// that agree under mode have the same digest.
std::string resultDigest(CompareMode mode, const Outcome& outcome);

}  // namespace relalg

#endif  // RELALG_GRADING_OUTCOME_H
